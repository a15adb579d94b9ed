#include "app/BankImportDialog.h"

#include <QApplication>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <cmath>
#include <filesystem>

#include "base/Codepage.h"
#include "base/FileIO.h"
#include "base/Translation.h"
#include "import/BankImporter.h"
#include "song/SongEdits.h"
#include "sound/SoundFormat.h"
#include "sound/WavFile.h"

namespace kantor::app {
namespace {

constexpr const char* kProjectFilter = QT_TRANSLATE_NOOP("kantor::app::BankImportDialog", "Vxb作成ﾌﾟﾛｼﾞｪｸﾄ･ﾌｧｲﾙ (*.vxbprj)");

QString q(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

BankImportDialog::BankImportDialog(AppContext& ctx, QWidget* parent) : QDialog(parent), ctx_(ctx) {
    setWindowTitle(tr("音源ﾌｫﾙﾀﾞのｲﾝﾎﾟｰﾄ (oto.ini)"));
    auto* form = new QFormLayout;
    folder_ = new QLineEdit;
    folder_->setMinimumWidth(360);
    auto* browse = new QPushButton(tr("参照..."));
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(folder_, 1);
    folderRow->addWidget(browse);
    form->addRow(tr("音源ﾌｫﾙﾀﾞ："), folderRow);
    name_ = new QLineEdit;
    name_->setMaxLength(60);
    name_->setPlaceholderText(tr("character.txt の名前 (なければﾌｫﾙﾀﾞ名)"));
    form->addRow(tr("Voice名："), name_);
    asVoice_ = new QRadioButton(tr("Voice として追加"));
    asProject_ = new QRadioButton(tr("Voice Data 作成ﾌﾟﾛｼﾞｪｸﾄとして保存"));
    asVoice_->setChecked(true);
    auto* choice = new QVBoxLayout;
    choice->addWidget(asVoice_);
    choice->addWidget(asProject_);
    form->addRow(tr("作成："), choice);

    progress_ = new QProgressBar;
    progress_->setRange(0, 1);
    progress_->setValue(0);
    summary_ = new QPlainTextEdit;
    summary_->setReadOnly(true);
    summary_->setMinimumHeight(220);
    // Long lines (a skipped line of the bank, its reason) wrap: no sideways scrolling.
    summary_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    summary_->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);

    import_ = new QPushButton(tr("ｲﾝﾎﾟｰﾄ"));
    import_->setDefault(true);
    auto* close = new QPushButton(tr("閉じる"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(import_);
    buttons->addWidget(close);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(progress_);
    layout->addWidget(new QLabel(tr("結果：")));
    layout->addWidget(summary_, 1);
    layout->addLayout(buttons);

    connect(browse, &QPushButton::clicked, this, &BankImportDialog::browse);
    connect(import_, &QPushButton::clicked, this, [this] { runImport(); });
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
}

void BankImportDialog::browse() {
    const QString dir = QFileDialog::getExistingDirectory(this, tr("音源ﾌｫﾙﾀﾞ"), folder_->text());
    if (!dir.isEmpty()) folder_->setText(dir);
}

bool BankImportDialog::runImport() {
    const std::string folder = folder_->text().trimmed().toStdString();
    if (folder.empty()) {
        ctx_.prompt.notice("ERROR", tr("音源ﾌｫﾙﾀﾞが選択されていません。").toStdString());
        return false;
    }
    std::string projectPath;
    if (asProject_->isChecked()) {
        projectPath = ctx_.files.saveFile(this, tr(kProjectFilter), "", "vxbprj");
        if (projectPath.empty()) return false;
    }
    if (!ctx_.hub.stop()) return false;
    identifier_.clear();
    summary_->clear();
    import_->setEnabled(false);
    progress_->setRange(0, 1);
    progress_->setValue(0);
    auto onProgress = [this](int done, int total) {
        progress_->setRange(0, std::max(total, 1));
        progress_->setValue(done);
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        return true;
    };
    BankImporter importer;
    BankSummary summary;
    const std::string name = name_->text().trimmed().toStdString();
    bool ok;
    if (projectPath.empty()) {
        ok = importer.importVoice(folder, name, ctx_.hub.folders().voiceFolder(), identifier_, summary,
                                  &ctx_.hub.voices(), onProgress);
    } else {
        // The save dialog has asked before an existing file is replaced.
        ok = importer.importProject(folder, name, projectPath, summary, onProgress, true);
    }
    import_->setEnabled(true);
    QString text = q(summary.text());
    if (!ok) {
        progress_->setValue(0);
        summary_->setPlainText(tr("ｲﾝﾎﾟｰﾄできませんでした: %1").arg(q(translated(importer.lastError()))) + "\n\n" + text);
        ctx_.prompt.notice("Error", translated(importer.lastError()));
        return false;
    }
    progress_->setValue(progress_->maximum());
    text += projectPath.empty() ? tr("音源の識別子: %1").arg(q(identifier_)) + "\n" : tr("ﾌﾟﾛｼﾞｪｸﾄ: %1").arg(q(projectPath)) + "\n";
    if (!summary.readme.empty()) text += "\n---- readme.txt ----\n" + q(summary.readme);
    summary_->setPlainText(text);
    if (projectPath.empty()) {
        ctx_.hub.voicesChanged();
        offerVoiceForSong(summary.voiceName);
    }
    return true;
}

// --- The new voice for the open song ---------------------------------------------------------

bool BankImportDialog::offerVoiceForSong(const std::string& voiceName) {
    Hub& hub = ctx_.hub;
    if (!hub.hasMidi() || identifier_.empty()) return false;
    const QString name = q(voiceName.empty() ? identifier_ : voiceName);
    if (ctx_.prompt.askYesNo(tr("確認").toStdString(), tr("新しい音源「%1」をこのソングで使いますか？").arg(name).toStdString()) !=
        PromptAnswer::Yes)
        return false;
    // The song's default voice, as the song settings would set it (undone as one step).
    SettingsEdit edit = SettingsEdit::forSong(hub.song());
    edit.values().voiceName = identifier_;
    std::string error;
    bool stored = false;
    hub.history().begin(hub.song(), EditHistory::kSongDefaults);
    const bool ok = edit.apply(hub.song(), hub.voices(), error, stored);
    hub.history().end(hub.song());
    if (!ok) {
        ctx_.prompt.notice("Error", error);
        return false;
    }
    if (stored) hub.edited(EditHistory::kSongDefaults);
    return stored;
}

bool importBankCommand(AppContext& ctx, QWidget* parent) {
    if (!ctx.hub.stop()) return false;
    BankImportDialog d(ctx, parent);
    d.exec();
    return !d.identifier().empty();
}

bool writeExampleBank(const std::string& folder) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) return false;
    auto text = [&](const std::string& name, const std::string& utf8) {
        const std::string t = utf8ToCp932(utf8);
        return writeFileAtomically(joinPath(folder, name), std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(t.data()), t.size()));
    };
    const char* kana[3] = {"あ", "か", "さ"};
    std::string oto;
    for (int k = 0; k < 3; ++k) {
        // 50 ms of silence, 60 ms of quiet noise, then 600 ms of a vowel at 261.6 Hz.
        std::vector<uint8_t> bytes;
        std::vector<int16_t> x(31311, 0);
        uint32_t seed = 7u + uint32_t(k);
        for (std::size_t i = 2205; i < 4851; ++i) {
            seed = seed * 1664525u + 1013904223u;
            x[i] = int16_t(int(seed >> 20) - 2048);
        }
        for (std::size_t i = 4851; i < x.size(); ++i) {
            const double t = double(i - 4851) / 44100.0;
            x[i] = int16_t(std::lround(12000 * std::sin(2 * M_PI * 261.6 * t) + 4000 * std::sin(4 * M_PI * 261.6 * t)));
        }
        bytes = wavHeader(kMono16, 44100, uint32_t(x.size() * 2));
        for (int16_t v : x) {
            bytes.push_back(uint8_t(uint16_t(v)));
            bytes.push_back(uint8_t(uint16_t(v) >> 8));
        }
        if (!writeFileAtomically(joinPath(folder, std::string(kana[k]) + ".wav"), bytes)) return false;
        oto += std::string(kana[k]) + ".wav=" + kana[k] + ",40,150,-500,70,20\r\n";
    }
    oto += "ぬ.wav=ぬ,40,150,-500,70,20\r\n";
    return text("oto.ini", oto) && text("character.txt", "name=見本\r\n") &&
           text("readme.txt", "この音源は見本です。自由に使えます。\r\n");
}

}  // namespace kantor::app
