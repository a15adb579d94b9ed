#pragma once
// "音源ﾌｫﾙﾀﾞのｲﾝﾎﾟｰﾄ (oto.ini)": imports a voice bank folder in the oto.ini form as a new
// voice of the voice folder, or as a voice data project for hand work in the voice data
// maker, with a progress bar and a summary of what was made and what was skipped (with
// the bank's readme, its terms of use, below it).
#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <string>

#include "app/AppContext.h"

namespace kantor::app {

class BankImportDialog : public QDialog {
    Q_OBJECT
public:
    explicit BankImportDialog(AppContext& ctx, QWidget* parent = nullptr);

    QLineEdit* folderEdit() const { return folder_; }
    QLineEdit* nameEdit() const { return name_; }
    QRadioButton* projectChoice() const { return asProject_; }
    QProgressBar* progress() const { return progress_; }
    QPlainTextEdit* summary() const { return summary_; }
    QPushButton* importButton() const { return import_; }
    // The identifier of the voice made by the last import ("" when none).
    const std::string& identifier() const { return identifier_; }

    // Runs the import with what the window holds (the import button's action). A project
    // asks for its file through the file chooser. True when a voice or project was made.
    bool runImport();

    // After a voice is made with a song open: asks whether the song should sing with it, and
    // makes it the song's default voice (one undoable step) on Yes. True when it did.
    bool offerVoiceForSong(const std::string& voiceName);

private:
    void browse();

    AppContext& ctx_;
    QLineEdit* folder_;
    QLineEdit* name_;
    QRadioButton* asVoice_;
    QRadioButton* asProject_;
    QProgressBar* progress_;
    QPlainTextEdit* summary_;
    QPushButton* import_;
    std::string identifier_;
};

// The voice menu's command: stops playback, then runs the window.
bool importBankCommand(AppContext& ctx, QWidget* parent);

// Writes a small bank of three syllables (and one line whose WAV file is missing) into
// `folder`, for the screenshots and the window's test.
bool writeExampleBank(const std::string& folder);

}  // namespace kantor::app
