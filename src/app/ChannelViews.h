#pragma once
// The painted parts of the channel list and the channel score windows. Each view keeps a
// small copy of what it draws (rebuilt when the song changes) so that painting only walks
// what is visible; the arithmetic behind them is in song/ScoreGeometry.h.
#include <QColor>
#include <QPolygonF>
#include <QWidget>
#include <array>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "song/PitchLine.h"
#include "song/ScoreGeometry.h"

namespace kantor {
class Hub;
}

namespace kantor::app {

// What a click or double click found in a view.
struct ViewHit {
    bool header = false;  // in the header band above the grid
    int channel = 0;      // 1-based, 0 = none
    long measure = -1;    // index into the measure table, -1 = none
    bool hasTick = false;
    uint32_t tick = 0;
    long event = -1;  // score: the note under the pointer, -1 = none
};

// The channel list's grid: sixteen channels by measures.
class ChannelGridView : public QWidget {
    Q_OBJECT
public:
    explicit ChannelGridView(Hub& hub, QWidget* parent = nullptr);

    // Copies the notes of every channel from the song and the MIDI file.
    void rebuild();
    bool channelHasNotes(int c) const { return hasNotes_[static_cast<std::size_t>(c & 15)]; }

    MeasureSpan span() const { return span_; }
    RowSpan rows() const { return rows_; }
    void setSpan(MeasureSpan s);
    void setRows(RowSpan r);
    void setPosition(uint32_t tick, bool showCursor);
    uint32_t position() const { return position_; }
    bool cursorShown() const { return showCursor_; }
    // Display settings: bar pattern 0/1, event colour area 0/1.
    void setDisplay(int barPattern, int colourArea);

    ViewHit hitAt(QPoint p) const;
    MeasureAxis axis() const;
    QRect gridRect() const;
    int headerHeight() const;

    QSize sizeHint() const override { return {760, 420}; }
    QSize minimumSizeHint() const override { return {240, 140}; }

signals:
    void clicked(const ViewHit& hit);
    void doubleClicked(const ViewHit& hit, bool ctrl);
    void wheelTurned(int steps, Qt::KeyboardModifiers mods);

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;

private:
    struct Bar {
        uint32_t start, end;
        uint8_t key;
        uint8_t sung;  // a vocal note with a syllable
    };
    Hub& hub_;
    std::array<std::vector<Bar>, 16> bars_;
    std::array<uint32_t, 16> longest_{};
    std::array<bool, 16> hasNotes_{};
    std::array<bool, 16> vox_{};
    std::array<int, 16> lowKey_{}, highKey_{};
    MeasureSpan span_{0, 16};
    RowSpan rows_{0, 16};
    uint32_t position_ = 0;
    bool showCursor_ = true;
    int barPattern_ = 0;
    int colourArea_ = 0;
};

// One channel's notes over a keyboard scale, with the words on them.
class ScoreView : public QWidget {
    Q_OBJECT
public:
    ScoreView(Hub& hub, int channel, QWidget* parent = nullptr);

    // Copies the phrase of every note and forgets the kana read so far.
    void rebuild();
    int channel() const { return channel_; }
    MeasureSpan span() const { return span_; }
    KeySpan keys() const { return keys_; }
    void setSpan(MeasureSpan s);
    void setKeys(KeySpan k);
    void setPosition(uint32_t tick, bool showCursor);
    uint32_t position() const { return position_; }
    bool cursorShown() const { return showCursor_; }
    void setSelected(long event);
    long selected() const { return selected_; }
    void setWordDisplay(WordDisplay d);
    WordDisplay wordDisplay() const { return words_; }
    // The lowest and highest key the channel uses (-1, -1 without notes).
    std::pair<int, int> keyExtent() const { return {lowKey_, highKey_}; }
    // The pitch line: the curve every sung syllable is sung with (glides, vibrato, detune,
    // the moved onset), drawn as a thin line over the notes.
    void setPitchLine(bool on);
    bool pitchLine() const { return pitchLine_; }
    // The sung syllables of the line, worked out again when the song or the expression mode
    // changed, in the order of their sound's start.
    const std::vector<SungSyllable>& pitchLineSyllables() const;
    // The points the line of syllable `i` (of pitchLineSyllables) is drawn through, in the
    // view's coordinates as they are now.
    QPolygonF pitchLinePoints(std::size_t i) const;
    static QColor pitchLineColour() { return QColor(0xd0, 0x10, 0x60); }

    ViewHit hitAt(QPoint p) const;
    MeasureAxis axis() const;
    KeyAxis keyAxis() const;
    QRect noteRect() const;
    int headerHeight() const;
    // The words shown on an event (what painting draws).
    QString wordsOf(std::size_t event) const;

    QSize sizeHint() const override { return {820, 480}; }
    QSize minimumSizeHint() const override { return {260, 160}; }

signals:
    void clicked(const ViewHit& hit);
    void doubleClicked(const ViewHit& hit, bool ctrl);
    void wheelTurned(int steps, Qt::KeyboardModifiers mods);
    void keyPressed(int key, Qt::KeyboardModifiers mods);

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    std::string kanaOf(std::size_t event, const std::string& code) const;
    void snapshot();
    void updatePitchLine() const;

    Hub& hub_;
    int channel_;
    std::vector<long> heads_;            // phrase head of every event
    std::vector<std::size_t> order_;     // events by start tick
    std::vector<uint32_t> starts_;       // their start ticks
    std::size_t snapshotSize_ = 0;       // the channel's list size when copied
    std::map<long, uint32_t> phraseEnd_;  // head -> greatest end of its notes
    uint32_t longest_ = 0;
    int lowKey_ = -1, highKey_ = -1;
    mutable std::map<std::pair<std::string, std::string>, std::string> kana_;  // (voice, code)
    MeasureSpan span_{0, 8};
    KeySpan keys_{48, 36};
    uint32_t position_ = 0;
    bool showCursor_ = true;
    long selected_ = -1;
    WordDisplay words_ = WordDisplay::Hiragana;
    bool pitchLine_ = false;
    // The pitch line, worked out on demand: its syllables by sound start, the ticks each
    // sounds from and to, and the longest of them.
    mutable bool lineStale_ = true;
    mutable ExpressionMode lineMode_ = ExpressionMode::Off;
    mutable std::vector<SungSyllable> line_;
    mutable std::vector<std::pair<uint32_t, uint32_t>> lineTicks_;
    mutable uint32_t longestLine_ = 0;
};

// The colour of a phrase group (0..5), for notes, heads and flags.
QColor phraseGroupColour(int group);

}  // namespace kantor::app
