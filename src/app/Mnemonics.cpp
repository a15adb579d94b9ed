#include "app/Mnemonics.h"

#include <QAbstractButton>
#include <QAction>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QMap>
#include <QMenuBar>
#include <QWidget>

namespace kantor::app {

namespace {

// The visible widgets of `window` itself, not of the dialogs it parents.
bool ownsVisible(const QWidget* window, const QWidget* w) {
    return w->window() == window && w->isVisibleTo(window);
}

void note(QMap<int, QStringList>& users, const QString& kind, const QString& text) {
    const QKeySequence key = QKeySequence::mnemonic(text);
    if (key.isEmpty()) return;
    users[key[0].toCombined()].append(QStringLiteral("%1 \"%2\"").arg(kind, text));
}

}  // namespace

QStringList mnemonicClashes(const QWidget* window) {
    QMap<int, QStringList> users;
    for (const QMenuBar* bar : window->findChildren<QMenuBar*>())
        if (ownsVisible(window, bar))
            for (const QAction* a : bar->actions())
                if (a->isVisible()) note(users, "menu", a->text());
    for (const QAbstractButton* b : window->findChildren<QAbstractButton*>())
        if (ownsVisible(window, b)) note(users, "button", b->text());
    for (const QLabel* l : window->findChildren<QLabel*>())
        if (ownsVisible(window, l) && l->buddy()) note(users, "label", l->text());
    for (const QGroupBox* g : window->findChildren<QGroupBox*>())
        if (ownsVisible(window, g) && g->isCheckable()) note(users, "group", g->title());

    QStringList clashes;
    for (auto it = users.cbegin(); it != users.cend(); ++it)
        if (it.value().size() > 1)
            clashes.append(QKeySequence(it.key()).toString() + ": " + it.value().join(", "));
    return clashes;
}

}  // namespace kantor::app
