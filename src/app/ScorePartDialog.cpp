#include "app/ScorePartDialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QVBoxLayout>

namespace kantor::app {

ScorePartDialog::ScorePartDialog(const std::string& scoreName, std::vector<MusicXmlPart> parts, QWidget* parent)
    : QDialog(parent), parts_(std::move(parts)) {
    setWindowTitle(tr("MusicXMLの読み込み"));
    auto* v = new QVBoxLayout(this);
    auto* title = new QLabel(tr("%1 の歌うパートを選んでください。").arg(QString::fromStdString(scoreName)), this);
    title->setWordWrap(true);
    v->addWidget(title);
    list_ = new QTreeWidget(this);
    list_->setObjectName("parts");
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setHeaderLabels({tr("パート"), tr("音符"), tr("歌詞")});
    int chosen = -1;
    for (std::size_t i = 0; i < parts_.size(); ++i) {
        const MusicXmlPart& p = parts_[i];
        const QString name = QString::fromStdString(p.name.empty() ? p.id : p.name);
        QString lyrics = tr("なし");
        if (p.verses.size() == 1) {
            lyrics = tr("あり");
        } else if (p.verses.size() > 1) {
            QStringList numbers;
            for (int n : p.verses) numbers << QString::number(n);
            lyrics = tr("あり（%1番）").arg(numbers.join(","));
        }
        auto* item = new QTreeWidgetItem(list_, {QString("%1. %2").arg(i + 1).arg(name), QString::number(p.scoreNotes), lyrics});
        item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        if (chosen < 0 && !p.verses.empty()) chosen = static_cast<int>(i);
    }
    list_->header()->setStretchLastSection(false);
    list_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    list_->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    list_->header()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
    const int rows = static_cast<int>(std::min<std::size_t>(parts_.size(), 8));
    list_->setMinimumHeight(list_->header()->sizeHint().height() + fontMetrics().height() * 3 / 2 * std::max(rows, 2) + 8);
    list_->setMinimumWidth(fontMetrics().horizontalAdvance(QString(34, QChar('M'))));
    v->addWidget(list_, 1);

    auto* row = new QHBoxLayout();
    verseLabel_ = new QLabel(tr("歌う歌詞:"), this);
    verse_ = new QComboBox(this);
    verse_->setObjectName("verse");
    verseLabel_->setBuddy(verse_);
    row->addWidget(verseLabel_);
    row->addWidget(verse_);
    row->addStretch(1);
    v->addLayout(row);
    repeats_ = new QCheckBox(tr("繰り返しを演奏する（反復・番号括弧・D.C.・D.S.）"), this);
    repeats_->setChecked(true);
    v->addWidget(repeats_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Cancel)->setText(tr("ｷｬﾝｾﾙ"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    v->addWidget(buttons);

    connect(list_, &QTreeWidget::currentItemChanged, this, [this] { partChosen(); });
    connect(list_, &QTreeWidget::itemDoubleClicked, this, &QDialog::accept);
    if (list_->topLevelItemCount() > 0) list_->setCurrentItem(list_->topLevelItem(std::max(chosen, 0)));
    partChosen();
}

bool ScorePartDialog::worthAsking(const std::vector<MusicXmlPart>& parts) {
    return parts.size() > 1 || (parts.size() == 1 && parts[0].verses.size() > 1);
}

void ScorePartDialog::partChosen() {
    const int row = list_->currentItem() ? list_->indexOfTopLevelItem(list_->currentItem()) : -1;
    verse_->clear();
    if (row >= 0)
        for (int n : parts_[static_cast<std::size_t>(row)].verses) verse_->addItem(tr("%1番").arg(n), n);
    const bool several = verse_->count() > 1;
    verse_->setVisible(several);
    verseLabel_->setVisible(several);
}

MusicXmlOptions ScorePartDialog::options() const {
    MusicXmlOptions o;
    const int row = list_->currentItem() ? list_->indexOfTopLevelItem(list_->currentItem()) : -1;
    o.part = row + 1;
    o.verse = verse_->count() > 1 ? verse_->currentData().toInt() : 0;
    o.repeats = repeats_->isChecked();
    return o;
}

}  // namespace kantor::app
