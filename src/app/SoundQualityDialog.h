#pragma once
// "音質設定": the sample format of the rendered vocal and the wave output. Only 16-bit mono
// can be mixed and sung, so the dialog offers 16 bit at 11, 22 or 44 kHz; 8 bit and stereo
// are shown and fixed. Below them, how the vocal reaches the notes' pitch: resampled as
// designed, or with the formants kept ("フォルマントを保つ (PSOLA)", PitchMode::KeepFormants);
// and "表情をつける" (ExpressionMode::Auto): natural vibrato, glides and attack for notes
// without expression settings of their own.
#include <QButtonGroup>
#include <QCheckBox>
#include <QDialog>
#include <cstdint>

#include "app/AppContext.h"

namespace kantor::app {

class SoundQualityDialog : public QDialog {
    Q_OBJECT
public:
    SoundQualityDialog(uint16_t qualityCode, bool keepFormants = false, QWidget* parent = nullptr,
                       bool autoExpression = false);
    // The quality code chosen: 4 × rate index (16 bit, mono).
    uint16_t qualityCode() const;
    // Whether the formants are to be kept.
    bool keepFormants() const { return formants_->isChecked(); }
    QButtonGroup* rates() const { return rate_; }
    QCheckBox* formants() const { return formants_; }
    bool autoExpression() const { return expression_->isChecked(); }
    QCheckBox* expression() const { return expression_; }

private:
    QButtonGroup* bits_ = nullptr;
    QButtonGroup* rate_ = nullptr;
    QButtonGroup* channels_ = nullptr;
    QCheckBox* formants_ = nullptr;
    QCheckBox* expression_ = nullptr;
};

// Takes the dialog's choices: the output quality, the expression mode (the scores' pitch
// lines follow it) and the pitch mode; failures are shown under "Error".
void applySoundQuality(AppContext& ctx, const SoundQualityDialog& d);
// Opens the dialog on the current choices and takes them on OK (from the settings menu and
// the note settings window). True when OK was pressed.
bool editSoundQuality(AppContext& ctx, QWidget* parent);

}  // namespace kantor::app
