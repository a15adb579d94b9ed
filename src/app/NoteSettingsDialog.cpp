#include "app/NoteSettingsDialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

#include "app/SoundQualityDialog.h"
#include "hub/Hub.h"

namespace kantor::app {

NoteSettingsDialog::NoteSettingsDialog(AppContext& ctx, int c, std::size_t event, QWidget* parent)
    : QDialog(parent), ctx_(ctx), c_(c), event_(event) {
    setWindowTitle(tr("ノート設定( %1 )").arg(event + 1));
    const Song& song = ctx_.hub.song();
    const VoxEvent* e = song.event(c, event);
    NoteExpression n;
    SyllableExpression s;
    if (e) {
        if (const NoteSettings* rec = song.noteSettings(c, e->noteSettingsIndex))
            n = NoteExpression::decode(*rec).value_or(NoteExpression{});
        for (int k = 0; k < VoxEvent::kSlots; ++k) {
            const SyllableSettings* rec = song.syllableSettings(c, e->syllableSettingsIndex[std::size_t(k)]);
            if (e->syllableLength[std::size_t(k)] != 0 && rec) {
                s = SyllableExpression::decode(*rec).value_or(SyllableExpression{});
                break;
            }
        }
    }
    own_ = n;
    ownSyllable_ = s;
    auto* v = new QVBoxLayout(this);
    // Where the automatic expression is switched: a line of its state and the way there.
    auto* autoLine = new QHBoxLayout();
    autoState_ = new QLabel(this);
    autoLine->addWidget(autoState_);
    autoLine->addStretch(1);
    auto* toQuality = new QPushButton(tr("音質の設定..."), this);
    toQuality->setAutoDefault(false);
    connect(toQuality, &QPushButton::clicked, this, [this] {
        if (editSoundQuality(ctx_, this)) showInherited();
    });
    autoLine->addWidget(toQuality);
    v->addLayout(autoLine);
    form_ = new ExpressionForm(n, s, {}, {}, this);
    v->addWidget(form_);
    showInherited();

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Cancel)->setText(tr("ｷｬﾝｾﾙ"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    v->addWidget(buttons);
}

// --- What the note sings where a box is ticked -----------------------------------------------

void NoteSettingsDialog::showInherited() {
    const Hub& hub = ctx_.hub;
    const Song& song = hub.song();
    // The channel's default, else the song's, else (with the automatic expression on) the
    // natural values, marked "自動": the values the note is sung with.
    NoteExpression inherited = noteDefaultsOf(song.channelDefaults(c_));
    inherited.inheritFrom(noteDefaultsOf(song.songDefaults()));
    SyllableExpression inheritedSyllable = syllableDefaultsOf(song.channelDefaults(c_));
    inheritedSyllable.inheritFrom(syllableDefaultsOf(song.songDefaults()));
    const bool on = hub.expressionMode() == ExpressionMode::Auto;
    uint16_t autoBits = 0;
    if (const VoxEvent* e = song.event(c_, event_); e && on) {
        const uint32_t ms = hub.tempoMap().millisecondsBetween(e->startTick, std::max(e->startTick, e->endTick));
        const NoteExpression natural = naturalExpression(ms);
        autoBits = static_cast<uint16_t>(natural.set & ~inherited.set);
        inherited.inheritFrom(natural);
    }
    // The values the window shows now stay; only what the ticked boxes stand for changes.
    const NoteExpression own = form_ ? form_->noteValues() : own_;
    const SyllableExpression ownSyllable = form_ ? form_->syllableValues() : ownSyllable_;
    form_->setValues(own, ownSyllable, inherited, inheritedSyllable);
    form_->setAutoValues(static_cast<uint16_t>(autoBits & ~own.set));
    autoState_->setText(tr("表情をつける: %1").arg(on ? tr("入") : tr("切")));
}

void NoteSettingsDialog::accept() {
    Hub& hub = ctx_.hub;
    const NoteExpression n = noteValues();
    const SyllableExpression s = syllableValues();
    std::string error;
    hub.history().begin(hub.song(), c_);
    const bool ok = setNoteExpression(hub.song(), c_, event_, event_, n, uint16_t(~n.set & 0x7F), error) &&
                    setSyllableExpression(hub.song(), c_, event_, event_, s, uint16_t(~s.set & 0x3), error);
    const bool changed = hub.history().end(hub.song());
    if (changed) hub.edited(c_);
    if (!ok) {
        ctx_.prompt.warning(tr("警告").toStdString(), error);
        return;
    }
    QDialog::accept();
}

}  // namespace kantor::app
