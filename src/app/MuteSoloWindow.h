#pragma once
// "Mute & Solo": four switches per MIDI channel in use — "Midi Mute", "Vox Mute", "Midi Solo"
// and "Vox Solo" — over the song's own channel flags. A click toggles a switch the channel
// offers; a double click on a row's label clears the row. The transport reads the flags when
// the next play starts, and the song file keeps them.
#include <QWidget>

#include "app/AppContext.h"
#include "song/MuteSoloGrid.h"

namespace kantor::app {

// The grid: a label column, one column per shown channel under its number, four rows.
class MuteSoloView : public QWidget {
    Q_OBJECT
public:
    explicit MuteSoloView(QWidget* parent = nullptr);
    void setState(const MuteSoloGrid& grid, const ChannelFlags& flags);
    // The cell under a point: row 0..3 and channel (0-based); false outside the grid. A point
    // in the label column gives channel -1.
    bool cellAt(const QPoint& p, int& row, int& channel) const;
    QRect cellRect(int row, int channel) const;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

signals:
    void cellClicked(int row, int channel);
    void labelDoubleClicked(int row);

protected:
    void paintEvent(QPaintEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void changeEvent(QEvent* e) override;

private:
    void measure();
    MuteSoloGrid grid_;
    ChannelFlags flags_;
    int labelWidth_ = 80;
    int columnWidth_ = 24;
    int rowHeight_ = 18;
    int headerHeight_ = 18;
};

class MuteSoloWindow : public QWidget, public HubListener {
    Q_OBJECT
public:
    explicit MuteSoloWindow(AppContext& ctx, QWidget* parent = nullptr);
    ~MuteSoloWindow() override;

    // Availability and shown range again (after a song or MIDI file was opened).
    void refresh();
    // What a click and a double click on a label do.
    void toggle(int row, int channel);
    void clearRow(int row);
    const MuteSoloGrid& grid() const { return grid_; }
    MuteSoloView* view() const { return view_; }

protected:
    void closeEvent(QCloseEvent* e) override;
    // A channel may have become a vocal track while the window was in the background.
    void changeEvent(QEvent* e) override;

private:
    void songChanged() override { refresh(); }
    void channelFlagsChanged() override { view_->setState(grid_, ctx_.hub.song().channelFlags()); }
    AppContext& ctx_;
    MuteSoloGrid grid_;
    MuteSoloView* view_;
};

}  // namespace kantor::app
