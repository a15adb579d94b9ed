#include "app/ChannelSettingsDialogs.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "hub/Hub.h"
#include "settings/Settings.h"

namespace kantor::app {

namespace {

QButtonGroup* radios(QWidget* owner, QBoxLayout* into, const QString& title, std::initializer_list<QString> texts,
                     int checked) {
    auto* box = new QGroupBox(title, owner);
    auto* v = new QVBoxLayout(box);
    auto* group = new QButtonGroup(owner);
    int id = 0;
    for (const QString& t : texts) {
        auto* r = new QRadioButton(t, box);
        group->addButton(r, id);
        r->setChecked(id == checked);
        v->addWidget(r);
        ++id;
    }
    into->addWidget(box);
    return group;
}

void addButtons(QDialog* d, QVBoxLayout* v, const QString& cancel) {
    // Wide enough for the caption.
    d->setMinimumWidth(d->fontMetrics().horizontalAdvance(d->windowTitle()) + 120);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, d);
    buttons->button(QDialogButtonBox::Cancel)->setText(cancel);
    QObject::connect(buttons, &QDialogButtonBox::accepted, d, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, d, &QDialog::reject);
    v->addWidget(buttons);
}

}  // namespace

ChListSettingsDialog::ChListSettingsDialog(Settings& settings, QWidget* parent) : QDialog(parent), settings_(settings) {
    setWindowTitle(tr("ChListｳｨﾝﾄﾞｳの設定"));
    const SettingsBlock& b = settings.block();
    auto* v = new QVBoxLayout(this);
    bar_ = radios(this, v, tr("ﾊﾞｰ表示"), {tr("ﾊﾟﾀｰﾝ１"), tr("ﾊﾟﾀｰﾝ２")}, b.channelListBarPattern == 1 ? 1 : 0);
    area_ = radios(this, v, tr("ｲﾍﾞﾝﾄ色の範囲"), {tr("Ch全体"), tr("ｲﾍﾞﾝﾄのある範囲のみ")}, b.channelListEventColourArea == 1 ? 1 : 0);
    auto_ = new QCheckBox(tr("自動ｽｸﾛｰﾙ"), this);
    auto_->setChecked(b.channelListAutoScroll != 0);
    v->addWidget(auto_);
    addButtons(this, v, tr("ｷｬﾝｾﾙ"));
}

void ChListSettingsDialog::accept() {
    SettingsBlock& b = settings_.block();
    b.channelListBarPattern = bar_->checkedId() == 1 ? 1 : 0;
    b.channelListEventColourArea = area_->checkedId() == 1 ? 1 : 0;
    b.channelListAutoScroll = auto_->isChecked() ? 1 : 0;
    QDialog::accept();
}

ChScoreSettingsDialog::ChScoreSettingsDialog(Hub& hub, QWidget* parent) : QDialog(parent), hub_(hub) {
    setWindowTitle(tr("ChScoreｳｨﾝﾄﾞｳの設定"));
    const SettingsBlock& b = hub.settings().block();
    auto* v = new QVBoxLayout(this);
    const int mode = b.channelScoreAutoScrollMode >= 0 && b.channelScoreAutoScrollMode <= 2 ? b.channelScoreAutoScrollMode : 0;
    mode_ = radios(this, v, tr("自動ｽｸﾛｰﾙ"), {tr("常に自動ｽｸﾛｰﾙ "), tr("演奏時のみ"), tr("行わない")}, mode);
    words_ = new QCheckBox(tr("VoxWordを表示する"), this);
    words_->setChecked(b.channelScoreVoxWordDisplay != 0);
    v->addWidget(words_);
    kindBox_ = new QWidget(this);
    auto* kv = new QVBoxLayout(kindBox_);
    kv->setContentsMargins(20, 0, 0, 0);
    kind_ = radios(kindBox_, kv, QString(), {tr("ひらがな"), tr("ﾛｰﾏ字")}, b.channelScoreVoxWordDisplay == 2 ? 1 : 0);
    v->addWidget(kindBox_);
    kindBox_->setVisible(words_->isChecked());
    connect(words_, &QCheckBox::toggled, this, [this](bool on) {
        kindBox_->setVisible(on);
        adjustSize();
    });
    line_ = new QCheckBox(tr("ﾋﾟｯﾁﾗｲﾝを表示する"), this);
    line_->setToolTip(tr("歌われる音程（ビブラート、ピッチスムージング）を線でノートの上に描きます"));
    line_->setChecked(hub.scoreChoice().pitchLine);
    v->addWidget(line_);
    addButtons(this, v, tr("ｷｬﾝｾﾙ"));
}

void ChScoreSettingsDialog::accept() {
    SettingsBlock& b = hub_.settings().block();
    b.channelScoreAutoScrollMode = std::max(0, mode_->checkedId());
    b.channelScoreVoxWordDisplay = !words_->isChecked() ? 0 : kind_->checkedId() == 1 ? 2 : 1;
    if (line_->isChecked() != hub_.scoreChoice().pitchLine) {
        ScoreChoice choice = hub_.scoreChoice();
        choice.pitchLine = line_->isChecked();
        // A file that cannot be written leaves the choice for this run.
        hub_.setScoreChoice(choice);
    }
    QDialog::accept();
}

}  // namespace kantor::app
