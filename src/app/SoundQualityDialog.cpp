#include "app/SoundQualityDialog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>

#include "app/ChannelViews.h"
#include "hub/Hub.h"

namespace kantor::app {

SoundQualityDialog::SoundQualityDialog(uint16_t qualityCode, bool keepFormants, QWidget* parent, bool autoExpression)
    : QDialog(parent) {
    setWindowTitle(tr("音質設定"));
    auto* v = new QVBoxLayout(this);
    auto group = [&](const char* title, std::initializer_list<const char*> items) {
        auto* box = new QGroupBox(title, this);
        auto* h = new QHBoxLayout(box);
        auto* g = new QButtonGroup(this);
        int id = 0;
        for (const char* item : items) {
            auto* r = new QRadioButton(item, box);
            g->addButton(r, id++);
            h->addWidget(r);
        }
        h->addStretch(1);
        v->addWidget(box);
        return g;
    };
    bits_ = group("Bit", {"16 bit", "8 bit"});
    rate_ = group("Sampling", {"11 kHz", "22 kHz", "44 kHz"});
    channels_ = group("Channel", {"Mono", "Stereo"});
    bits_->button(1)->setEnabled(false);
    channels_->button(1)->setEnabled(false);
    bits_->button(0)->setChecked(true);
    channels_->button(0)->setChecked(true);
    rate_->button(std::min(qualityCode / 4, 2))->setChecked(true);
    auto* pitch = new QGroupBox(tr("音程"), this);
    auto* ph = new QHBoxLayout(pitch);
    formants_ = new QCheckBox(tr("フォルマントを保つ (PSOLA)"), pitch);
    formants_->setToolTip(tr("音程を変えても声の響き（フォルマント）を変えずに歌います。"
                             "切ると見本の音声を速く・遅く読んで音程を合わせます（従来の方式）。"));
    formants_->setChecked(keepFormants);
    ph->addWidget(formants_);
    ph->addStretch(1);
    v->addWidget(pitch);
    // Auto expression: a group of its own; what it does is the box's tooltip.
    auto* expression = new QGroupBox(tr("表情"), this);
    expression->setObjectName("expressionGroup");
    auto* eh = new QVBoxLayout(expression);
    expression_ = new QCheckBox(tr("表情をつける"), expression);
    const QString what = tr("ノート設定のないノートに、自然なビブラート（400ms以上のノート）、"
                            "つながったノートの間のなめらかな音程の移り、やわらかい立ち上がりをつけます。");
    expression_->setToolTip(what);
    expression_->setChecked(autoExpression);
    eh->addWidget(expression_);
    v->addWidget(expression);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Cancel)->setText(tr("ｷｬﾝｾﾙ"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    v->addWidget(buttons);
}

void applySoundQuality(AppContext& ctx, const SoundQualityDialog& d) {
    Hub& hub = ctx.hub;
    hub.settings().setOutputQualityCode(d.qualityCode());
    if (Transport* t = hub.transport()) t->setQualityCode(hub.settings().outputQualityCode());
    const ExpressionMode expression = d.autoExpression() ? ExpressionMode::Auto : ExpressionMode::Off;
    std::string error;
    if (expression != hub.expressionMode()) {
        if (!hub.setExpressionMode(expression, &error)) ctx.prompt.notice("Error", error);
        // The scores' pitch lines follow the new mode.
        for (QWidget* top : QApplication::topLevelWidgets())
            for (ScoreView* v : top->findChildren<ScoreView*>()) v->update();
    }
    const PitchMode mode = d.keepFormants() ? PitchMode::KeepFormants : PitchMode::Resample;
    if (mode == hub.pitchMode()) return;
    if (!hub.setPitchMode(mode, &error)) ctx.prompt.notice("Error", error);
}

bool editSoundQuality(AppContext& ctx, QWidget* parent) {
    Hub& hub = ctx.hub;
    SoundQualityDialog d(hub.settings().outputQualityCode(), hub.pitchMode() == PitchMode::KeepFormants, parent,
                         hub.expressionMode() == ExpressionMode::Auto);
    if (d.exec() != QDialog::Accepted) return false;
    applySoundQuality(ctx, d);
    return true;
}

uint16_t SoundQualityDialog::qualityCode() const { return static_cast<uint16_t>(4 * std::max(0, rate_->checkedId())); }

}  // namespace kantor::app
