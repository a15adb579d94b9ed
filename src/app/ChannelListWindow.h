#pragma once
// "ChList": the sixteen MIDI channels by measures. A click moves the song position, a double
// click on a channel with notes opens its score (making the channel a vocal channel first),
// a double click on the header opens the lyric input (with Ctrl the wave insertion). It owns
// the channel score windows and passes the song position on to them.
#include <QGridLayout>
#include <QMenu>
#include <QPointer>
#include <QScrollBar>
#include <QToolButton>
#include <array>
#include <functional>
#include <map>

#include "app/AppContext.h"
#include "app/ChannelViews.h"

namespace kantor::app {

class ChannelScoreWindow;
class MainPanel;

// What the channel windows hand on to windows made elsewhere; set by the program.
struct ChannelWindowHooks {
    // A click or an arrow key asks to put the selection on a note of a vocal channel (0-15,
    // list index): the note voice window opens on it, or selects it when open. False when
    // the note voice window refuses the note (a dialog of it is up, or its values do not
    // commit); the score then keeps its old selection.
    std::function<bool(int channel, std::size_t event)> noteSelected;
    // The editing commands of the context menus by command number (song and channel
    // defaults, phrase and word list, batch changes), with the channel (0-15, -1 from the
    // channel list) and the selected note (-1 none). A command without one is disabled.
    std::map<int, std::function<void(int channel, long event)>> commands;
};

class ChannelListWindow : public QWidget, public HubListener {
    Q_OBJECT
public:
    // Its context menu (menu 199) and the accelerator to the main panel.
    enum Command { SongDefaults = 32837, LyricInsert = 32802, WaveInsert = 32803, PhraseWordList = 32812, ShowPanel = 32789 };
    enum Control { HScroll = 1044, VScroll = 1043, FewerMeasures = 1046, MoreMeasures = 1047, FewerRows = 1049, MoreRows = 1048 };
    // Who set a position, as the score windows are told (besides 0 for playback and a score's
    // channel number).
    static constexpr int kFromPanel = 50;
    static constexpr int kFromList = 60;

    ChannelListWindow(AppContext& ctx, MainPanel* panel, QWidget* parent = nullptr);
    ~ChannelListWindow() override;

    ChannelWindowHooks& hooks() { return hooks_; }
    ChannelGridView* view() const { return view_; }
    QScrollBar* measureBar() const { return hbar_; }
    QScrollBar* rowBar() const { return vbar_; }
    ChannelScoreWindow* scoreWindow(int c) const;
    MainPanel* panel() const { return panel_; }

    // The zoom and scroll buttons.
    bool press(int control);
    // A click and a double click on the grid, as the mouse gives them.
    void click(const ViewHit& hit);
    void doubleClick(const ViewHit& hit, bool ctrl);
    // Opens (or raises) the score of channel c (0-15) at a measure with a position; null
    // when the channel has no MIDI notes or cannot become a vocal channel.
    // `evenEmpty`: a channel without notes gets a score too, to write notes into.
    ChannelScoreWindow* openScore(int c, long measure, uint32_t tick, bool evenEmpty = false);
    // After channel c became a Vox channel: offers the MIDI file's lyrics for it, if any.
    void offerMidiLyrics(int c);
    // A score window set the position (channel 1-16).
    void scorePositionSet(int channel, uint32_t tick);
    // Runs a context menu command of this window or a score (channel 0-15, or -1); false when
    // nothing could run.
    bool runCommand(int command, int channel, long event);
    bool canRun(int command) const;
    QMenu* contextMenu();
    // The display settings changed: this window and every score repaint.
    void applySettings();
    // Re-reads the song after an edit made elsewhere.
    void refresh();
    void handleWheel(int steps, Qt::KeyboardModifiers mods);

protected:
    void closeEvent(QCloseEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    void changeEvent(QEvent* e) override;

private:
    void songChanged() override;
    void modifiedChanged() override { refresh(); }
    // An edit, an undo or a redo changed a channel's records: the list and its scores redraw.
    void songEdited(int channel) override;
    void positionNotify(PositionReceiver r, PositionCode c, uint32_t tick, const LyricLine* line) override;
    void betweenChanged(uint32_t start, uint32_t stop) override;

    void showPosition(uint32_t tick, int code);
    void setSpan(MeasureSpan s);
    void setRows(RowSpan r);
    void syncBars();

    AppContext& ctx_;
    MainPanel* panel_;
    ChannelWindowHooks hooks_;
    ChannelGridView* view_;
    QScrollBar* hbar_;
    QScrollBar* vbar_;
    std::map<int, QToolButton*> buttons_;
    std::array<QPointer<ChannelScoreWindow>, 16> scores_{};
    QMenu* menu_ = nullptr;
    bool syncing_ = false;
};

// The small arrow icons of the zoom buttons, drawn here: `kind` 0 fewer measures, 1 more
// measures, 2 fewer rows or keys, 3 more rows or keys.
QIcon zoomIcon(int kind);

// Lays out a channel window: the view with its vertical scroll bar, and below them the
// horizontal scroll bar followed by the four zoom buttons (in zoomIcon's order, with their
// tooltips), which call `press` with their control number. Row 2 of the grid is free.
QGridLayout* layOutChannelWindow(QWidget* window, QWidget* view, QScrollBar* h, QScrollBar* v,
                                 const std::array<std::pair<int, QString>, 4>& zoomButtons,
                                 const std::function<void(int)>& press, std::map<int, QToolButton*>& buttons);

}  // namespace kantor::app
