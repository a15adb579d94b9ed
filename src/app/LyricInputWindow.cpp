#include "app/LyricInputWindow.h"
#include "app/PositionListView.h"

#include <QCloseEvent>
#include <algorithm>
#include <memory>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "app/WindowPlacement.h"
#include "base/Codepage.h"

namespace kantor::app {

namespace {
QString q(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

LyricInputWindow::LyricInputWindow(AppContext& ctx, QWidget* parent) : QWidget(parent, Qt::Window), ctx_(ctx) {
    setWindowTitle(tr("歌詞入力"));
    setAttribute(Qt::WA_DeleteOnClose);
    const QFont font = positionWindowFont(this->font());
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(6, 6, 6, 6);
    v->setSpacing(4);
    auto* top = new QHBoxLayout();
    position_ = makePositionLabel(this, font);
    spin_ = new UpDownSpin(this);
    edit_ = new QLineEdit(this);
    edit_->setFont(font);
    edit_->setMinimumWidth(QFontMetrics(font).horizontalAdvance(QString(20, QChar(u'あ'))));
    top->addWidget(position_);
    top->addWidget(spin_);
    top->addWidget(edit_, 1);
    v->addLayout(top);
    auto* buttons = new QHBoxLayout();
    auto* in = new QPushButton("List&In", this);
    auto* out = new QPushButton("List&Out", this);
    auto* del = new QPushButton(tr("削除(&D)"), this);
    in->setObjectName("listIn");
    out->setObjectName("listOut");
    del->setObjectName("delete");
    buttons->addWidget(in);
    buttons->addWidget(out);
    buttons->addStretch(1);
    buttons->addWidget(del);
    v->addLayout(buttons);
    list_ = new PositionListView(this);
    list_->setFont(font);
    v->addWidget(list_, 1);

    // The line's field holds 63 bytes of cp932 and its zero: typing past it is undone, as a
    // length-limited edit refuses it.
    auto last = std::make_shared<QString>();
    connect(edit_, &QLineEdit::textChanged, this, [this, last](const QString& t) {
        if (lyricTextFits(t.toStdString()) || t.isEmpty()) {
            *last = t;
            return;
        }
        const int pos = std::max(0, edit_->cursorPosition() - int(t.size() - last->size()));
        edit_->setText(*last);
        edit_->setCursorPosition(pos);
    });
    connect(in, &QPushButton::clicked, this, [this] { listIn(); });
    connect(edit_, &QLineEdit::returnPressed, this, [this] { listIn(); });
    connect(out, &QPushButton::clicked, this, [this] { listOut(); });
    connect(del, &QPushButton::clicked, this, [this] { deleteLine(); });
    connect(spin_, &UpDownSpin::moved, this, [this](int s) { moveTo(steps_.tickOfSpin(s), true); });
    connect(list_, &PositionListView::rowClicked, this, [this](int i) { selectRow(i); });
    connect(list_, &PositionListView::rowDoubleClicked, this, [this](int i) {
        selectRow(i);
        listOut();
    });

    ctx_.hub.addListener(this);
    reload();
    resize(sizeHint());
    restorePlacement(this, ctx_.hub.settings(), WindowKind::LyricInput, 0, true, DefaultPlace::Centred);
}

LyricInputWindow::~LyricInputWindow() { ctx_.hub.removeListener(this); }

void LyricInputWindow::refreshList() {
    std::vector<PositionListView::Row> rows;
    for (const auto& l : ctx_.hub.song().lyricLines())
        rows.push_back(l ? PositionListView::Row{q(ctx_.hub.positionText(l->position)), q(l->text)}
                         : PositionListView::Row{});
    list_->setRows(std::move(rows));
}

void LyricInputWindow::reload() {
    Hub& hub = ctx_.hub;
    steps_ = hub.hasMidi() ? LyricSteps::of(hub.tempoMap()) : LyricSteps{};
    spin_->setRange(steps_.spinMax);
    current_ = steps_.step == 0 ? 0 : steps_.round(hub.currentPosition());
    if (steps_.step != 0 && current_ != hub.currentPosition()) hub.postSongPosition(current_);
    spin_->setValue(steps_.spinOf(current_));
    position_->setText(q(hub.positionText(current_)));
    refreshList();
    const long at = lyricLineAtOrBefore(hub.song(), current_);
    list_->setSelected(-1);
    if (at >= 0) list_->centre(static_cast<int>(at));
    else list_->setTop(0);
    if (at >= 0 && hub.song().lyricLines()[static_cast<std::size_t>(at)]->position == current_) {
        list_->setSelected(static_cast<int>(at));
        edit_->setText(q(hub.song().lyricLines()[static_cast<std::size_t>(at)]->text));
    } else {
        edit_->clear();
    }
}

void LyricInputWindow::moveTo(uint32_t tick, bool post) {
    current_ = steps_.round(tick);
    spin_->setValue(steps_.spinOf(current_));
    position_->setText(q(ctx_.hub.positionText(current_)));
    if (post) {
        editing_ = true;
        ctx_.hub.postSongPosition(current_);
        editing_ = false;
    }
}

void LyricInputWindow::listIn() {
    Hub& hub = ctx_.hub;
    if (!hub.hasMidi()) return;
    const LyricPutResult r = putLyric(hub.song(), current_, edit_->text().toStdString(), [this] {
        return ctx_.prompt.askYesNo(lyrictext::kConfirmCaption, lyrictext::kAskReplace) == PromptAnswer::Yes;
    });
    if (!r.changed()) return;
    editing_ = true;
    hub.lyricsEdited();
    editing_ = false;
    refreshList();
    list_->setSelected(static_cast<int>(r.index));
    list_->reveal(static_cast<int>(r.index));
    edit_->clear();
}

void LyricInputWindow::listOut() {
    const auto& lines = ctx_.hub.song().lyricLines();
    const int sel = list_->selected();
    if (sel < 0 || static_cast<std::size_t>(sel) >= lines.size() || !lines[static_cast<std::size_t>(sel)]) {
        list_->setSelected(-1);
        return;
    }
    const LyricLine& l = *lines[static_cast<std::size_t>(sel)];
    edit_->setText(q(l.text));
    moveTo(l.position, true);
    list_->reveal(sel);
}

void LyricInputWindow::deleteLine() {
    const int sel = list_->selected();
    if (sel < 0) {
        ctx_.prompt.notice(lyrictext::kNoticeCaption, lyrictext::kNoSelection);
        return;
    }
    if (!deleteLyric(ctx_.hub.song(), sel)) return;
    editing_ = true;
    ctx_.hub.lyricsEdited();
    editing_ = false;
    list_->setSelected(-1);
    refreshList();
}

void LyricInputWindow::selectRow(int index) {
    const auto& lines = ctx_.hub.song().lyricLines();
    if (index < 0 || static_cast<std::size_t>(index) >= lines.size() || !lines[static_cast<std::size_t>(index)]) return;
    list_->setSelected(index);
    moveTo(lines[static_cast<std::size_t>(index)]->position, true);
}

void LyricInputWindow::lyricsChanged() {
    if (editing_) return;
    refreshList();
}

void LyricInputWindow::positionNotify(PositionReceiver r, PositionCode, uint32_t tick, const LyricLine*) {
    if (r != PositionReceiver::MainPanel || editing_ || steps_.step == 0) return;
    // The song position moved (played, or set elsewhere): the window follows on its grid.
    moveTo(tick, false);
}

void LyricInputWindow::closeEvent(QCloseEvent* e) {
    storePlacement(this, ctx_.hub.settings(), WindowKind::LyricInput);
    e->accept();
}

}  // namespace kantor::app
