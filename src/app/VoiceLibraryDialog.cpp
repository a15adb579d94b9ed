#include "app/VoiceLibraryDialog.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QVBoxLayout>

#include "base/Translation.h"
#include "voice/VoiceBank.h"
#include "voice/VoiceLibrary.h"

namespace kantor::app {
namespace {
QString q(const std::string& s) { return QString::fromStdString(s); }
// The file dialog's filter, in the toolkit's form.
QString filter() {
    return QCoreApplication::translate("kantor::app::VoiceLibraryDialog", "My Kantorellion Voice Dataﾌｧｲﾙ (*.vxb)");
}

const char* titleOf(VoiceLibraryDialog::Mode m) {
    switch (m) {
        case VoiceLibraryDialog::Mode::Export: return librarytext::kWindowExport;
        case VoiceLibraryDialog::Mode::Import: return librarytext::kWindowImport;
        case VoiceLibraryDialog::Mode::Delete: return librarytext::kWindowDelete;
    }
    return "";
}
}  // namespace

VoiceLibraryDialog::VoiceLibraryDialog(AppContext& ctx, Mode mode, const std::string& preselect, QWidget* parent)
    : QDialog(parent), ctx_(ctx) {
    setWindowTitle(q(translated(titleOf(mode))));
    VoiceBank& bank = ctx_.hub.voices();
    bank.enumerateVoiceFiles();
    ids_ = VoiceLibrary::offeredVoices(bank);
    auto* v = new QVBoxLayout(this);
    auto* form = new QFormLayout();
    combo_ = new QComboBox(this);
    combo_->setMinimumWidth(combo_->fontMetrics().horizontalAdvance("M") * 28);
    // By name, with the identifier where two voices share one.
    const std::vector<VoiceChoice> choices = voiceChoices(bank);
    for (const std::string& id : ids_) combo_->addItem(q(voiceLabel(choices, id)), bank.findVoiceFile(id));
    form->addRow(tr("Voice： "), combo_);
    v->addLayout(form);
    for (QLabel*& l : lines_) {
        l = new QLabel(this);
        l->setWordWrap(true);
        l->setMinimumHeight(l->fontMetrics().height());
        v->addWidget(l);
    }
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    box->button(QDialogButtonBox::Cancel)->setText(tr("ｷｬﾝｾﾙ"));
    if (mode == Mode::Import) box->button(QDialogButtonBox::Cancel)->setEnabled(false);
    v->addWidget(box);
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(combo_, &QComboBox::currentIndexChanged, this, [this] { showVoice(); });
    int at = 0;
    for (std::size_t i = 0; i < ids_.size(); ++i)
        if (ids_[i] == preselect) at = static_cast<int>(i);
    if (!ids_.empty()) combo_->setCurrentIndex(at);
    showVoice();
    setMinimumWidth(420);
}

std::string VoiceLibraryDialog::identifier() const {
    const int i = combo_->currentIndex();
    return i >= 0 && i < static_cast<int>(ids_.size()) ? ids_[static_cast<std::size_t>(i)] : std::string();
}

void VoiceLibraryDialog::showVoice() {
    const VoiceBank& bank = ctx_.hub.voices();
    const int i = combo_->currentIndex() >= 0 ? combo_->currentData().toInt() : -1;
    if (i < 0) {
        for (QLabel* l : lines_) l->clear();
        return;
    }
    lines_[0]->setText(q(bank.voiceFileComment(i)));
    lines_[1]->setText(q(bank.voiceFileComment2(i)));
    lines_[2]->setText(q(bank.voiceFileDescription(i)));
}

bool exportVoiceCommand(AppContext& ctx, QWidget* parent) {
    if (!ctx.hub.stop()) return false;
    VoiceLibraryDialog d(ctx, VoiceLibraryDialog::Mode::Export, {}, parent);
    if (d.exec() != QDialog::Accepted) return false;
    const std::string id = d.identifier();
    if (id.empty()) return false;
    const std::string target = ctx.files.saveFile(parent, filter(), {}, "vxb");
    if (target.empty()) return false;
    VoiceLibrary library(ctx.hub.folders().voiceFolder(), &ctx.prompt);
    // The file dialog has asked before overwriting.
    if (library.exportVoice(id, target, false) == Outcome::Failed) {
        ctx.prompt.notice("Error", library.lastError());
        return false;
    }
    return true;
}

bool importVoiceCommand(AppContext& ctx, QWidget* parent) {
    if (!ctx.hub.stop()) return false;
    const std::string source = ctx.files.openFile(parent, filter(), ctx.hub.folders().documentsFolder());
    if (source.empty()) return false;
    VoiceLibrary library(ctx.hub.folders().voiceFolder(), &ctx.prompt);
    std::string id;
    const Outcome o = library.importVoice(source, id);
    if (o == Outcome::Failed) ctx.prompt.notice("Error", library.lastError());
    if (o != Outcome::Done) return false;
    ctx.hub.voicesChanged();
    VoiceLibraryDialog d(ctx, VoiceLibraryDialog::Mode::Import, id, parent);
    d.exec();
    return true;
}

bool deleteVoiceCommand(AppContext& ctx, QWidget* parent) {
    if (!ctx.hub.stop()) return false;
    VoiceLibraryDialog d(ctx, VoiceLibraryDialog::Mode::Delete, {}, parent);
    if (d.exec() != QDialog::Accepted) return false;
    const std::string id = d.identifier();
    if (id.empty()) return false;
    VoiceLibrary library(ctx.hub.folders().voiceFolder(), &ctx.prompt);
    if (!library.deleteVoice(id, &ctx.hub.voices())) {
        ctx.prompt.notice("Error", library.lastError());
        return false;
    }
    ctx.hub.voicesChanged();
    return true;
}

}  // namespace kantor::app
