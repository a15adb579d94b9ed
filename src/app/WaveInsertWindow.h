#pragma once
// "Waveﾌｧｲﾙの挿入": the song's inserted wave files beside their positions. On opening (and
// whenever a song is opened) the inserted files are checked and each problem is shown.
// "Waveﾌｧｲﾙ(&W)" inserts a file at the position, "取消(&C)" removes the selected entry.
#include <QLabel>
#include <QPushButton>
#include <QWidget>

#include "app/AppContext.h"
#include "app/PositionListView.h"
#include "app/UpDownSpin.h"
#include "audio/WaveInsertion.h"

namespace kantor::app {

class WaveInsertWindow : public QWidget, public HubListener {
    Q_OBJECT
public:
    explicit WaveInsertWindow(AppContext& ctx, QWidget* parent = nullptr);
    ~WaveInsertWindow() override;

    // Reads the song again and checks its inserted files.
    void reload();
    void insertFile();
    void removeEntry();
    void selectRow(int index);

    uint32_t currentPosition() const { return current_; }
    QString positionText() const { return position_->text(); }
    UpDownSpin* spin() const { return spin_; }
    PositionListView* list() const { return list_; }

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void songChanged() override { reload(); }
    void wavesChanged() override;
    void positionNotify(PositionReceiver r, PositionCode c, uint32_t tick, const LyricLine* line) override;
    void loadState();
    void checkFiles();
    void refreshList();
    void moveTo(uint32_t tick, bool post);
    uint16_t outputBits() const;

    AppContext& ctx_;
    QLabel* position_;
    UpDownSpin* spin_;
    PositionListView* list_;
    WaveSteps steps_;
    uint32_t current_ = 0;
    bool editing_ = false;
};

}  // namespace kantor::app
