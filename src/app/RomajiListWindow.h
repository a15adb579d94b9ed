#pragma once
// "入力ﾛｰﾏ字一覧": every syllable code a voice can sing with its kana, five entries a row,
// painted directly in one scrolled area.
#include <QAbstractScrollArea>
#include <QPointer>
#include <QWidget>

#include "app/AppContext.h"
#include "voice/RomajiList.h"

namespace kantor::app {

class RomajiListView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit RomajiListView(QWidget* parent = nullptr);
    void setEntries(std::vector<RomajiEntry> entries);
    const std::vector<RomajiEntry>& entries() const { return entries_; }
    // The first visible entry: a multiple of five.
    int firstEntry() const { return top_ * kRomajiPerRow; }
    int visibleRows() const;
    int charWidth() const { return charWidth_; }
    int rowHeight() const { return rowHeight_; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void scrollContentsBy(int dx, int dy) override;
    void changeEvent(QEvent* e) override;

private:
    void measure();
    void updateScrollBar();
    std::vector<RomajiEntry> entries_;
    int top_ = 0;  // first visible row
    int charWidth_ = 8;
    int rowHeight_ = 16;
};

class RomajiListWindow : public QWidget {
    Q_OBJECT
public:
    // The program's one list (the note voice window, the phrase quick input and the panel
    // open it): made, or restored and raised, showing `voice`. It is modeless; while a
    // modal dialog is up it belongs to that dialog, so that it can still be scrolled, and
    // it goes back to the outermost window of `parent` when the dialog closes.
    static RomajiListWindow* open(AppContext& ctx, const std::string& voice, QWidget* parent);
    // The list open() made, while it is open; null otherwise.
    static RomajiListWindow* current();

    explicit RomajiListWindow(AppContext& ctx, QWidget* parent = nullptr);
    // Shows the codes of a voice (loaded first when it is not). A voice that cannot be loaded
    // shows the voice bank's text under "Error" and leaves the list empty.
    void showVoice(const std::string& name);
    RomajiListView* view() const { return view_; }

protected:
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* o, QEvent* e) override;

private:
    // Shown under another parent at the same place.
    void moveUnder(QWidget* parent);
    AppContext& ctx_;
    RomajiListView* view_;
    QPointer<QWidget> home_;
};

}  // namespace kantor::app
