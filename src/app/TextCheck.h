#pragma once
// Checks of what a window shows, used by the screenshot mode: texts that do not fit their
// control (a label or button narrower than its text), and, with English chosen, Japanese
// text left in the window's own controls (titles, labels, buttons, group boxes, menus, tabs,
// table headers). Lyrics, voice names and other song data in lists and views are not checked.
#include <QString>
#include <QStringList>

class QWidget;

namespace kantor::app {

// True when the text has kana or kanji (full- or half-width).
bool hasJapanese(const QString& text);
// "what: text" for each control text with Japanese in it.
QStringList japaneseTexts(const QWidget* window);
// "what: text" for each label or button whose text is wider than the control.
QStringList cutTexts(const QWidget* window);

}  // namespace kantor::app
