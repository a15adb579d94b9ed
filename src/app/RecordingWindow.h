#pragma once
// "レコーディング": records the chosen items one after another through the wave input,
// guided by a count-in and a guide tone, or plays recorded items back against the guide.
// Shows the input level while recording, so that the user sees the microphone works.
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <memory>

#include "app/AppContext.h"
#include "voicemaker/RecordingRun.h"

namespace kantor::app {

class RecordingWindow : public QDialog {
    Q_OBJECT
public:
    RecordingWindow(AppContext& ctx, VoiceProject& project, QWidget* parent = nullptr);
    ~RecordingWindow() override;

    void record();
    void play();
    void stop();
    void selectAll();
    void reverse();
    void moveSelected(int direction);
    void chooseGuide();
    // The window's run (null without devices).
    RecordingRun* run() const { return run_.get(); }
    QListWidget* list() const { return list_; }
    // Polls the run: the current line, redrawn lines, errors, the level meter, the buttons.
    void follow();

signals:
    // An item's data changed (the maker window redraws its list).
    void itemsChanged();

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void fill();
    std::vector<int> selectedLines() const;
    void enableButtons();
    void finish();

    AppContext& ctx_;
    VoiceProject& project_;
    std::shared_ptr<DeviceSet> devices_;
    std::unique_ptr<MidiStream> stream_;
    std::unique_ptr<WaveIn> waveIn_;
    std::unique_ptr<WaveOut> waveOut_;
    std::unique_ptr<RecordingRun> run_;
    // The list's lines in the project's order (the window may show them reversed).
    std::vector<int> order_;
    QListWidget* list_;
    QPushButton* all_;
    QPushButton* reverse_;
    QPushButton* up_;
    QPushButton* down_;
    QPushButton* rec_;
    QPushButton* play_;
    QPushButton* stop_;
    QComboBox* input_;
    QProgressBar* meter_;
    QLabel* status_;
    QTimer follow_;
    int lastLine_ = -1;
    bool finished_ = false;
};

}  // namespace kantor::app
