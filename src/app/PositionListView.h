#pragma once
// The list of the lyric input and wave insertion windows: one row per entry, its position
// text centred in a column as wide as "000 : 0 : 000   " and its text after it; the selected
// row white on navy, the others black on white, rows below the last entry blank. As many
// whole rows as fit are shown; its own scroll bar moves by rows and by pages.
#include <QAbstractScrollArea>
#include <QFont>
#include <QLabel>
#include <QString>
#include <vector>

namespace kantor::app {

// The font of the lyric input and wave insertion windows: a Japanese UI face at 10 points.
QFont positionWindowFont(const QFont& base);
// The framed position text ("000 : 0 : 000") at the top of those windows.
QLabel* makePositionLabel(QWidget* parent, const QFont& font);

class PositionListView : public QAbstractScrollArea {
    Q_OBJECT
public:
    struct Row {
        QString position;
        QString text;
    };
    explicit PositionListView(QWidget* parent = nullptr);

    void setRows(std::vector<Row> rows);
    const std::vector<Row>& rows() const { return rows_; }
    void setSelected(int index);  // -1: none
    int selected() const { return selected_; }
    // The first visible row (kept within 0 .. rows - visible rows).
    void setTop(int top);
    int top() const { return top_; }
    int visibleRows() const;
    // Scrolls so that the row stands in the middle of the visible rows (not below 0).
    void centre(int index);
    // Scrolls so that the row is the first visible one when it is not visible.
    void reveal(int index);
    int rowHeight() const { return rowHeight_; }
    int positionColumnWidth() const { return columnWidth_; }
    // The row under a point of the viewport, or -1.
    int rowAt(const QPoint& p) const;
    QSize sizeHint() const override;

signals:
    void rowClicked(int index);
    void rowDoubleClicked(int index);

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void scrollContentsBy(int dx, int dy) override;
    void changeEvent(QEvent* e) override;

private:
    void measure();
    void updateScrollBar();

    std::vector<Row> rows_;
    int selected_ = -1;
    int top_ = 0;
    int rowHeight_ = 16;
    int columnWidth_ = 100;
    bool syncing_ = false;
};

}  // namespace kantor::app
