#include "app/NoteSettingsDialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

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
    // What the note sings when a box is ticked: the channel's default, else the song's.
    NoteExpression inherited = noteDefaultsOf(song.channelDefaults(c));
    inherited.inheritFrom(noteDefaultsOf(song.songDefaults()));
    SyllableExpression inheritedSyllable = syllableDefaultsOf(song.channelDefaults(c));
    inheritedSyllable.inheritFrom(syllableDefaultsOf(song.songDefaults()));
    auto* v = new QVBoxLayout(this);
    form_ = new ExpressionForm(n, s, inherited, inheritedSyllable, this);
    v->addWidget(form_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Cancel)->setText(tr("ｷｬﾝｾﾙ"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    v->addWidget(buttons);
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
