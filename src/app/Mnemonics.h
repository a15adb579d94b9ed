#pragma once
// Alt-key mnemonics of one window: the letters of its menu bar titles and of its buttons and
// labelled fields. Two of them on one letter means Alt+letter reaches only one (a button took
// Alt+V from the Voice menu once), so the windows are checked for clashes.
#include <QString>
#include <QStringList>

class QWidget;

namespace kantor::app {

// One line per clash in `window` ("Alt+V: menu \"Voice(&V)\", button \"&volume\""); empty when
// every mnemonic is its own. Items inside one drop-down menu are not compared: a menu keeps
// its letters, and Qt cycles through items that share one.
QStringList mnemonicClashes(const QWidget* window);

}  // namespace kantor::app
