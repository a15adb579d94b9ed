#include "app/VoiceBuildTargetDialog.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "voice/VoiceBank.h"
#include "voice/VoiceLibrary.h"

namespace kantor::app {

VoiceBuildTargetDialog::VoiceBuildTargetDialog(VoiceBank& bank, QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("Voice Data 作成"));
    bank.enumerateVoiceFiles();
    // The voices that came with the system are never replaced.
    ids_ = VoiceLibrary::offeredVoices(bank);
    auto* v = new QVBoxLayout(this);
    create_ = new QRadioButton(tr("新規作成"), this);
    replace_ = new QRadioButton(tr("入れ替え（上書き保存）"), this);
    voices_ = new QComboBox(this);
    for (const std::string& id : ids_) {
        const int i = bank.findVoiceFile(id);
        voices_->addItem(QString::fromStdString((i >= 0 ? bank.voiceFileVoiceName(i) : id) + "  (" + id + ")"));
    }
    voices_->setMinimumWidth(voices_->fontMetrics().horizontalAdvance("M") * 26);
    create_->setChecked(true);
    replace_->setEnabled(!ids_.empty());
    voices_->setEnabled(false);
    connect(replace_, &QRadioButton::toggled, voices_, &QComboBox::setEnabled);
    v->addWidget(create_);
    v->addWidget(replace_);
    v->addWidget(voices_);
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    box->button(QDialogButtonBox::Cancel)->setText(tr("ｷｬﾝｾﾙ"));
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    v->addWidget(box);
}

std::string VoiceBuildTargetDialog::replaceIdentifier() const {
    if (!replace_->isChecked()) return {};
    const int i = voices_->currentIndex();
    return i >= 0 && i < int(ids_.size()) ? ids_[std::size_t(i)] : std::string();
}

}  // namespace kantor::app
