#pragma once
// "ChScore ( n )": one MIDI channel's notes over a keyboard scale with the words sung on
// them, the phrases, the song position and the start–stop range. A click selects a note and
// moves the position; the arrow keys move the selection (Left/Right the next note, Up/Down
// the next phrase head, Home/End the ends); the wheel scrolls, Ctrl+wheel zooms, Shift+wheel
// moves over the keys. Made and owned by the channel list.
#include <QLabel>
#include <QMenu>
#include <QScrollBar>
#include <QToolButton>
#include <map>

#include "app/AppContext.h"
#include "app/ChannelViews.h"
#include "app/score/ScoreEditController.h"

namespace kantor::app {

class ChannelListWindow;

class ChannelScoreWindow : public QWidget {
    Q_OBJECT
public:
    // Its context menu (menu 194).
    enum Command {
        ChannelDefaults = 32798,
        LyricInsert = 32804,
        WaveInsert = 32805,
        PhraseWordList = 32811,
        PhraseBatch = 32807,
        NoteBatch = 32809,
    };
    enum Control { HScroll = 1044, VScroll = 1043, FewerMeasures = 1046, MoreMeasures = 1047, FewerKeys = 1049, MoreKeys = 1048 };

    // `channel` 0 to 15.
    ChannelScoreWindow(AppContext& ctx, ChannelListWindow& list, int channel);
    ~ChannelScoreWindow() override;

    int channel() const { return channel_; }
    ScoreView* view() const { return view_; }
    QScrollBar* measureBar() const { return hbar_; }
    QScrollBar* keyBar() const { return vbar_; }
    QLabel* statusLine() const { return status_; }
    // Writing notes: the edit mode, the grid and the selection (app/score/ScoreEditController.h).
    ScoreEditController* editor() const { return edit_; }

    // Re-reads the channel (after an edit or a new song) and the display settings.
    void refresh();
    void applySettings();
    // The position moved: `code` 0 for playback, otherwise who set it (the panel 50, the
    // channel list 60, a score its channel number). Follows it as the auto scroll says.
    void showPosition(uint32_t tick, int code);
    // Shows measure `measure` (index) first and `tick` as the position.
    void scrollTo(long measure, uint32_t tick);
    // The zoom and scroll buttons.
    bool press(int control);
    // Selects a note (list index) as a click on it would: the note voice hook first, and
    // when it accepts, the selection, the view and the position. False when refused.
    bool selectNote(long event);
    // Shows a note as selected without asking the note voice window (it chose the note):
    // the selection, the view and the position follow.
    void showNote(long event);
    // Runs a context menu command; false when it cannot run now.
    bool runCommand(int command);
    QMenu* contextMenu();
    void handleWheel(int steps, Qt::KeyboardModifiers mods);
    void handleKey(int key);

protected:
    void closeEvent(QCloseEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;

private:
    void onClick(const ViewHit& hit);
    void setSpan(MeasureSpan s);
    void setKeys(KeySpan k);
    void syncBars();
    void showStatus();
    // The measure zoom to `count` measures around the selected note, else the position.
    void zoomMeasures(int count);
    // After a selection the note voice window may have come up: the score keeps the keyboard.
    void keepKeyboard(bool hadKeyboard);

    AppContext& ctx_;
    ChannelListWindow& list_;
    int channel_;
    ScoreView* view_;
    QScrollBar* hbar_;
    QScrollBar* vbar_;
    QLabel* status_;
    ScoreEditController* edit_ = nullptr;
    QMenu* menu_ = nullptr;
    std::map<int, QToolButton*> buttons_;
    bool syncing_ = false;
};

}  // namespace kantor::app
