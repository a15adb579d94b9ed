#include "app/TitleInfoWindow.h"

#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QPushButton>
#include <QVBoxLayout>
#include <cstring>

#include "app/WindowPlacement.h"

namespace kantor::app {

namespace {
QString q(const std::string& s) { return QString::fromStdString(s); }
}  // namespace

TitleInfoWindow::TitleInfoWindow(AppContext& ctx, QWidget* parent) : QWidget(parent, Qt::Window), ctx_(ctx) {
    setWindowTitle(tr("ﾀｲﾄﾙ情報"));
    setAttribute(Qt::WA_DeleteOnClose);
    auto* v = new QVBoxLayout(this);
    title_ = new QLabel(this);
    QFont f = title_->font();
    f.setPointSizeF(f.pointSizeF() * 1.4);
    f.setBold(true);
    title_->setFont(f);
    title_->setWordWrap(true);
    v->addWidget(title_);
    auto* g = new QGridLayout();
    g->setHorizontalSpacing(10);
    for (int i = 0; i < 3; ++i) {
        labels_[i] = new QLabel(this);
        values_[i] = new QLabel(this);
        g->addWidget(labels_[i], i, 0, Qt::AlignRight);
        g->addWidget(values_[i], i, 1);
    }
    g->setColumnStretch(1, 1);
    v->addLayout(g);
    for (int i = 0; i < 3; ++i) {
        extra_[i] = new QLabel(this);
        v->addWidget(extra_[i]);
    }
    auto* c = new QHBoxLayout();
    commentLabel_ = new QLabel(this);
    comment_ = new QLabel(this);
    comment_->setWordWrap(true);
    c->addWidget(commentLabel_, 0, Qt::AlignTop);
    c->addWidget(comment_, 1);
    v->addLayout(c);
    songPath_ = new QLabel(this);
    midiPath_ = new QLabel(this);
    for (QLabel* l : {songPath_, midiPath_}) {
        l->setTextInteractionFlags(Qt::TextSelectableByMouse);
        l->setStyleSheet("color: palette(dark);");
        v->addWidget(l);
    }
    auto* row = new QHBoxLayout();
    row->addStretch(1);
    auto* edit = new QPushButton(tr("入力/変更(&I)"), this);
    connect(edit, &QPushButton::clicked, this, [this] { editTitle(); });
    row->addWidget(edit);
    v->addLayout(row);
    setMinimumWidth(380);
    ctx_.hub.addListener(this);
    refresh();
    adjustSize();
    restorePlacement(this, ctx_.hub.settings(), WindowKind::TitleInfo, 0, false, DefaultPlace::Centred);
}

TitleInfoWindow::~TitleInfoWindow() { ctx_.hub.removeListener(this); }

void TitleInfoWindow::refresh() {
    const TitleInfo& t = ctx_.hub.song().titleInfo();
    title_->setText(q(t.title));
    const std::string* labels[3] = {&t.lyricistLabel, &t.composerLabel, &t.arrangerLabel};
    const std::string* values[3] = {&t.lyricist, &t.composer, &t.arranger};
    const std::string* extra[3] = {&t.extraLine1, &t.extraLine2, &t.extraLine3};
    for (int i = 0; i < 3; ++i) {
        labels_[i]->setText(q(*labels[i]));
        values_[i]->setText(q(*values[i]));
        extra_[i]->setText(q(*extra[i]));
        extra_[i]->setVisible(!extra[i]->empty());
    }
    commentLabel_->setText(q(t.commentLabel));
    comment_->setText(q(t.comment));
    const std::string song = ctx_.hub.song().songPath();
    // Long paths keep both ends in view; the whole path is in the tooltip.
    auto show = [](QLabel* l, const QString& prefix, const QString& path) {
        const QString text = prefix + (path.isEmpty() ? QString("-") : path);
        const int room = l->width() > 40 ? l->width() - 4 : 520;  // before the first layout: a guess
        l->setText(l->fontMetrics().elidedText(text, Qt::ElideMiddle, room));
        l->setToolTip(path);
    };
    show(songPath_, "Uta : ", q(song));
    show(midiPath_, "Midi : ", q(ctx_.hub.midiPath()));
}

QString TitleInfoWindow::shownText() const {
    QStringList parts;
    for (const QLabel* l : findChildren<QLabel*>()) parts << l->text();
    return parts.join('\n');
}

bool TitleInfoWindow::editTitle() {
    if (!ctx_.hub.hasMidi()) return false;
    TitleInputDialog d(ctx_.hub.song().titleInfo(), this);
    if (d.exec() != QDialog::Accepted) return false;
    ctx_.hub.song().titleInfo() = d.result();
    ctx_.hub.titleChanged();
    refresh();
    return true;
}

void TitleInfoWindow::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    refresh();  // the paths are elided to the width they now have
}

void TitleInfoWindow::closeEvent(QCloseEvent* e) {
    storePlacement(this, ctx_.hub.settings(), WindowKind::TitleInfo);
    e->accept();
}

TitleInputDialog::TitleInputDialog(const TitleInfo& info, QWidget* parent) : QDialog(parent), info_(info) {
    setWindowTitle(tr("ﾀｲﾄﾙ情報入力＆変更"));
    auto* form = new QFormLayout();
    form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
    const auto& fields = TitleInfo::editFields();
    for (std::size_t i = 0; i < fields.size(); ++i) {
        auto* e = new QLineEdit(q(info.*(fields[i].member)), this);
        e->setObjectName(fields[i].name);
        const std::size_t limit = fields[i].limit;
        // Typing that would pass the limit (or bring a character the file cannot hold) is
        // undone, as a length-limited edit box refuses it.
        auto last = std::make_shared<QString>(e->text());
        connect(e, &QLineEdit::textEdited, this, [e, limit, last](const QString& t) {
            if (TitleInfo::fitsEditLimit(t.toStdString(), limit)) {
                *last = t;
            } else {
                const int pos = std::max(0, e->cursorPosition() - int(t.size() - last->size()));
                e->setText(*last);
                e->setCursorPosition(pos);
            }
        });
        const int chars = static_cast<int>(limit);
        e->setMinimumWidth(e->fontMetrics().horizontalAdvance(QString(std::min(chars, 40), QChar(u'あ'))) / 2 + 20);
        edits_[i] = e;
    }
    // The label beside its value, as the title window shows them.
    form->addRow(tr("ﾀｲﾄﾙ"), edits_[0]);
    for (int k = 0; k < 3; ++k) {
        auto* row = new QHBoxLayout();
        edits_[1 + 2 * k]->setMaximumWidth(110);
        row->addWidget(edits_[1 + 2 * k]);
        row->addWidget(edits_[2 + 2 * k], 1);
        form->addRow(k == 0 ? tr("作詞") : k == 1 ? tr("作曲") : tr("編曲"), row);
    }
    form->addRow("1", edits_[7]);
    form->addRow("2", edits_[8]);
    form->addRow("3", edits_[9]);
    auto* row = new QHBoxLayout();
    edits_[10]->setMaximumWidth(110);
    row->addWidget(edits_[10]);
    row->addWidget(edits_[11], 1);
    form->addRow(tr("ｺﾒﾝﾄ"), row);
    auto* v = new QVBoxLayout(this);
    v->addLayout(form);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Cancel)->setText(tr("ｷｬﾝｾﾙ"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    v->addWidget(buttons);
}

QLineEdit* TitleInputDialog::field(const char* name) const {
    const auto& fields = TitleInfo::editFields();
    for (std::size_t i = 0; i < fields.size(); ++i)
        if (std::strcmp(fields[i].name, name) == 0) return edits_[i];
    return nullptr;
}

TitleInfo TitleInputDialog::result() const {
    TitleInfo t = info_;
    const auto& fields = TitleInfo::editFields();
    for (std::size_t i = 0; i < fields.size(); ++i) {
        std::string text = edits_[i]->text().toStdString();
        if (!TitleInfo::fitsEditLimit(text, fields[i].limit)) text = t.*(fields[i].member);
        t.*(fields[i].member) = text;
    }
    return t;
}

}  // namespace kantor::app
