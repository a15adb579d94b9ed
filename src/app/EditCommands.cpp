#include "app/EditCommands.h"

#include <QShortcut>

#include "app/EditDialogs.h"

namespace kantor::app::edit {

QString channelTitle(const QString& text, int c) { return QString("%1 ( %2 )").arg(text).arg((c & 15) + 1); }

void installUndoKeys(QWidget* w, AppContext& ctx, std::function<void()> after) {
    auto* undo = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z), w);
    auto* redo = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Y), w);
    for (QShortcut* s : {undo, redo}) s->setContext(Qt::WindowShortcut);
    QObject::connect(undo, &QShortcut::activated, w, [&ctx, after] {
        if (ctx.hub.undo() && after) after();
    });
    QObject::connect(redo, &QShortcut::activated, w, [&ctx, after] {
        if (ctx.hub.redo() && after) after();
    });
}

bool songSettings(AppContext& ctx, QWidget* parent) {
    if (!ctx.hub.hasMidi()) return false;
    EditWindowOpen open(ctx.hub.editWindows(), EditWindows::SongDefaults, 0);
    VoiceSettingsDialog d(ctx, SettingsEdit::forSong(ctx.hub.song()), parent);
    return d.exec() == QDialog::Accepted && d.stored();
}

bool channelSettings(AppContext& ctx, int c, QWidget* parent) {
    if (!ctx.hub.hasMidi()) return false;
    EditWindowOpen open(ctx.hub.editWindows(), EditWindows::ChannelDefaults, c);
    VoiceSettingsDialog d(ctx, SettingsEdit::forChannel(ctx.hub.song(), c), parent);
    return d.exec() == QDialog::Accepted && d.stored();
}

bool phraseSettings(AppContext& ctx, int c, std::size_t event, QWidget* parent) {
    PhraseSpan span;
    SettingsEdit e;
    if (!ctx.hub.song().phraseOfNote(c, event, span) || !SettingsEdit::forPhrase(ctx.hub.song(), c, span.head, e)) {
        ctx.prompt.warning(edittext::kWarning, edittext::kNoPhraseHead);
        return false;
    }
    EditWindowOpen open(ctx.hub.editWindows(), EditWindows::PhraseSettings, c);
    VoiceSettingsDialog d(ctx, e, parent);
    return d.exec() == QDialog::Accepted && d.stored();
}

bool noteLengthPosition(AppContext& ctx, int c, std::size_t event, QWidget* parent) {
    if (!ctx.hub.song().event(c, event)) return false;
    EditWindowOpen open(ctx.hub.editWindows(), EditWindows::NoteLengthPos, c);
    NoteLengthPosDialog d(ctx, c, event, parent);
    return d.exec() == QDialog::Accepted;
}

namespace {
bool conflict(AppContext& ctx, int c) {
    const std::string m = ctx.hub.editWindows().batchConflict(c);
    if (m.empty()) return false;
    ctx.prompt.notice(edittext::kNotice, m);
    return true;
}
}  // namespace

bool noteBatch(AppContext& ctx, int c, QWidget* parent) {
    if (conflict(ctx, c)) return false;
    EditWindowOpen open(ctx.hub.editWindows(), EditWindows::NoteBatch, c);
    NoteBatchDialog d(ctx, c, 1000, parent);
    return d.exec() == QDialog::Accepted;
}

bool phraseBatch(AppContext& ctx, int c, QWidget* parent) {
    if (conflict(ctx, c)) return false;
    EditWindowOpen open(ctx.hub.editWindows(), EditWindows::PhraseBatch, c);
    PhraseBatchDialog d(ctx, c, parent);
    return d.exec() == QDialog::Accepted;
}

bool quickInput(AppContext& ctx, int c, std::size_t event, QWidget* parent) {
    PhraseSpan span;
    if (!ctx.hub.song().phraseOfNote(c, event, span)) {
        ctx.prompt.warning(edittext::kWarning, edittext::kNoPhraseHead);
        return false;
    }
    EditWindowOpen open(ctx.hub.editWindows(), EditWindows::QuickInput, c);
    QuickInputDialog d(ctx, c, span.head, parent);
    return d.exec() == QDialog::Accepted;
}

void phraseWordList(AppContext& ctx, int c, QWidget* parent) {
    PhraseWordDialog d(ctx, c, false, parent);
    d.exec();
}

}  // namespace kantor::app::edit
