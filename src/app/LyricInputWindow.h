#pragma once
// "歌詞入力": the song's lyric lines beside their positions. The position (with its spin)
// moves on the lyric grid and moves the song position; List&In enters the edit's text at the
// position (asking before replacing a line), List&Out takes a line back into the edit,
// "削除(&D)" deletes the selected line. During playback the position follows the song.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

#include "app/AppContext.h"
#include "app/PositionListView.h"
#include "app/UpDownSpin.h"
#include "song/LyricList.h"

namespace kantor::app {

class LyricInputWindow : public QWidget, public HubListener {
    Q_OBJECT
public:
    explicit LyricInputWindow(AppContext& ctx, QWidget* parent = nullptr);
    ~LyricInputWindow() override;

    // Reads the song again: grid, spin range, position, list, selection and edit.
    void reload();
    void listIn();
    void listOut();
    void deleteLine();
    // A click on a row of the list.
    void selectRow(int index);

    uint32_t currentPosition() const { return current_; }
    QString positionText() const { return position_->text(); }
    QLineEdit* edit() const { return edit_; }
    UpDownSpin* spin() const { return spin_; }
    PositionListView* list() const { return list_; }
    const LyricSteps& steps() const { return steps_; }

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void songChanged() override { reload(); }
    void lyricsChanged() override;
    void positionNotify(PositionReceiver r, PositionCode c, uint32_t tick, const LyricLine* line) override;
    void moveTo(uint32_t tick, bool post);
    void refreshList();

    AppContext& ctx_;
    QLabel* position_;
    UpDownSpin* spin_;
    QLineEdit* edit_;
    PositionListView* list_;
    LyricSteps steps_;
    uint32_t current_ = 0;
    bool editing_ = false;
};

}  // namespace kantor::app
