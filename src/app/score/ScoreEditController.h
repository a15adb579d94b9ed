#pragma once
// Writing notes in a score window (song/NoteEdits.h through Hub::editNotes). In the edit
// mode ("ノート編集", a button of the score's tool bar) the mouse draws a note on empty space
// (its length dragged out on the grid chosen beside the button), drags a note in time and
// key, stretches its end (the last few pixels), splits it with Alt+click, selects several
// with Shift or Ctrl (click, or a rubber band on empty space). The keys: Delete deletes the
// selection, Left/Right move it by a grid step, Up/Down and Alt+Up/Down by a semitone, J joins
// the selected note with the next, S splits it at the song position. Outside the edit mode
// Alt+Up/Down still transpose the selected note. A drag only redraws: the files are written
// once, on release.
#include <QComboBox>
#include <QObject>
#include <QPointer>
#include <QToolButton>
#include <QWidget>
#include <set>

#include "app/AppContext.h"

namespace kantor::app {

class ScoreView;

class ScoreEditController : public QObject {
    Q_OBJECT
public:
    // The grid choices, in the tool bar's order: note values, then off.
    enum Grid { Quarter, Eighth, Sixteenth, ThirtySecond, EighthTriplet, SixteenthTriplet, Off };

    ScoreEditController(AppContext& ctx, ScoreView* view, QWidget* window);
    ~ScoreEditController() override;

    // The tool bar (the mode button and the grid), for the window to lay out.
    QWidget* toolBar() const { return bar_; }
    QToolButton* modeButton() const { return mode_; }
    QComboBox* gridBox() const { return grid_; }

    bool editMode() const;
    void setEditMode(bool on);
    void setGrid(Grid g);
    // The grid step in ticks (1 when off).
    uint32_t gridTicks() const;
    // The selected notes (indexes in the channel's order).
    const std::set<std::size_t>& selection() const { return selection_; }
    void setSelection(std::set<std::size_t> s);
    // After the song changed: drops selected notes that are gone.
    void songChanged();

    // The edits the keys and the mouse run (also for tests); false when refused.
    bool moveSelection(int64_t ticks, int semitones);
    bool deleteSelection();
    bool joinSelected();
    bool splitSelectedAt(uint32_t tick);
    // The drag going on, for the overlay: the notes' rectangles as they would land.
    struct Preview {
        bool active = false;
        std::vector<QRectF> notes;
        QRect band;  // the rubber band
    };
    Preview preview() const;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    enum class Drag { None, Draw, Move, Stretch, Band };
    bool mousePress(QMouseEvent* e);
    void mouseMove(QMouseEvent* e);
    void mouseRelease(QMouseEvent* e);
    bool keyPress(QKeyEvent* e);
    uint32_t snap(uint32_t tick) const;
    bool tickAt(int x, uint32_t& tick) const;
    // Finds notes again after an edit by start and key.
    void reselect(const std::vector<std::pair<uint32_t, int>>& notes);
    QRectF rectOf(uint32_t start, uint32_t end, int key) const;

    AppContext& ctx_;
    ScoreView* view_;
    QWidget* window_;
    QWidget* bar_;
    QToolButton* mode_;
    QComboBox* grid_;
    QWidget* overlay_;
    std::set<std::size_t> selection_;
    Drag drag_ = Drag::None;
    QPoint pressAt_;
    QPoint now_;
    uint32_t pressTick_ = 0;
    int pressKey_ = 0;
    long grabbed_ = -1;
};

}  // namespace kantor::app
