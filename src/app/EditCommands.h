#pragma once
// The editing windows as the channel list, the score windows and the note voice window open
// them: each runs its modal window over the song and returns true when the song changed
// (the change is then one undo step and the song is marked modified).
#include <QWidget>
#include <cstddef>
#include <functional>

#include "app/AppContext.h"

namespace kantor::app::edit {

// "ｿﾝｸﾞ・ﾃﾞﾌｫﾙﾄ設定".
bool songSettings(AppContext& ctx, QWidget* parent);
// "ﾁｬﾝﾈﾙ・ﾃﾞﾌｫﾙﾄ設定" of channel c (0-15).
bool channelSettings(AppContext& ctx, int c, QWidget* parent);
// "ﾌﾚｰｽﾞ設定" of the phrase note `event` belongs to (a warning when it has no head).
bool phraseSettings(AppContext& ctx, int c, std::size_t event, QWidget* parent);
// "ノート長さ・位置" of one note.
bool noteLengthPosition(AppContext& ctx, int c, std::size_t event, QWidget* parent);
// "ﾉｰﾄ一括変更" and "ﾌﾚｰｽﾞ一括変更": refused ("注意") while a window on the same data is open.
bool noteBatch(AppContext& ctx, int c, QWidget* parent);
bool phraseBatch(AppContext& ctx, int c, QWidget* parent);
// "ﾌﾚｰｽﾞ簡易入力" of the phrase note `event` belongs to.
bool quickInput(AppContext& ctx, int c, std::size_t event, QWidget* parent);
// "ﾌﾚｰｽﾞ･ﾜｰﾄﾞ一覧": the phrases' words, only to look at.
void phraseWordList(AppContext& ctx, int c, QWidget* parent);

// Ctrl+Z and Ctrl+Y in a window: undo and redo of the song's edits, then `after`.
void installUndoKeys(QWidget* w, AppContext& ctx, std::function<void()> after = {});

// The title of a window working on channel c (0-15): text + " ( %d )".
QString channelTitle(const QString& text, int c);

}  // namespace kantor::app::edit
