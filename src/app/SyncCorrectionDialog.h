#pragma once
// "MidiとWaveの同期補正": the user sets the MIDI–wave delay correction by ear, with a test
// pattern of drum clicks through the MIDI output and clicks or voices through the wave
// output, on devices of its own. OK keeps the value in the settings; ｷｬﾝｾﾙ leaves it.
#include <QButtonGroup>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <memory>

#include "app/AppContext.h"
#include "app/UpDownSpin.h"
#include "audio/SyncCorrection.h"

namespace kantor::app {

class SyncCorrectionDialog : public QDialog {
    Q_OBJECT
public:
    explicit SyncCorrectionDialog(AppContext& ctx, QWidget* parent = nullptr);
    ~SyncCorrectionDialog() override;

    void accept() override;
    void reject() override;
    // One step of the spin control (+1 or -1).
    void step(int delta);
    void play();
    void stopPattern();

    QString valueText() const { return value_->text(); }
    QPushButton* playButton() const { return play_; }
    SyncCorrection* model() const { return model_.get(); }

private:
    void follow();
    void finish();

    AppContext& ctx_;
    std::shared_ptr<DeviceSet> devices_;
    std::unique_ptr<MidiStream> stream_;
    std::unique_ptr<WaveOut> waveOut_;
    std::unique_ptr<SyncCorrection> model_;
    QLabel* value_;
    UpDownSpin* spin_;
    QButtonGroup* midiSound_;
    QButtonGroup* waveSound_;
    QPushButton* play_;
    QPushButton* stop_;
    QTimer follow_;
    bool finished_ = false;
};

}  // namespace kantor::app
