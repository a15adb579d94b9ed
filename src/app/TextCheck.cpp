#include "app/TextCheck.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTabBar>
#include <QTableWidget>
#include <QTextDocument>
#include <QTreeWidget>

namespace kantor::app {

namespace {

QString plain(const QString& text, Qt::TextFormat format) {
    if (format == Qt::RichText || (format == Qt::AutoText && Qt::mightBeRichText(text))) {
        QTextDocument d;
        d.setHtml(text);
        return d.toPlainText();
    }
    return text;
}

QString what(const QObject* o) {
    QString name = o->objectName();
    return QString(o->metaObject()->className()) + (name.isEmpty() ? QString() : "#" + name);
}

void addMenu(const QMenu* menu, const QString& path, QStringList& out) {
    for (const QAction* a : menu->actions()) {
        // A language's own name ("日本語") stays as it is in every language.
        if (a->property("languageName").toBool()) continue;
        if (hasJapanese(a->text())) out << "menu " + path + " > " + a->text();
        if (a->menu()) addMenu(a->menu(), path + " > " + a->text(), out);
    }
}

}  // namespace

bool hasJapanese(const QString& text) {
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if ((u >= 0x3040 && u <= 0x30ff) || (u >= 0x4e00 && u <= 0x9fff) || (u >= 0xff61 && u <= 0xff9f) ||
            (u >= 0x3000 && u <= 0x303f) || (u >= 0xff01 && u <= 0xff20))
            return true;
    }
    return false;
}

QStringList japaneseTexts(const QWidget* window) {
    QStringList out;
    if (hasJapanese(window->windowTitle())) out << "title: " + window->windowTitle();
    for (const QLabel* l : window->findChildren<QLabel*>()) {
        if (!l->isVisibleTo(window)) continue;
        const QString t = plain(l->text(), l->textFormat());
        if (hasJapanese(t)) out << what(l) + ": " + t;
    }
    for (const QAbstractButton* b : window->findChildren<QAbstractButton*>())
        if (b->isVisibleTo(window) && hasJapanese(b->text())) out << what(b) + ": " + b->text();
    for (const QGroupBox* g : window->findChildren<QGroupBox*>())
        if (g->isVisibleTo(window) && hasJapanese(g->title())) out << what(g) + ": " + g->title();
    for (const QTabBar* t : window->findChildren<QTabBar*>())
        for (int i = 0; i < t->count(); ++i)
            if (hasJapanese(t->tabText(i))) out << "tab: " + t->tabText(i);
    for (const QTableWidget* t : window->findChildren<QTableWidget*>())
        for (int i = 0; i < t->columnCount(); ++i)
            if (const QTableWidgetItem* h = t->horizontalHeaderItem(i); h && hasJapanese(h->text()))
                out << "column: " + h->text();
    for (const QTreeWidget* t : window->findChildren<QTreeWidget*>())
        if (const QTreeWidgetItem* h = t->headerItem())
            for (int i = 0; i < t->columnCount(); ++i)
                if (hasJapanese(h->text(i))) out << "column: " + h->text(i);
    for (const QMenuBar* bar : window->findChildren<QMenuBar*>())
        for (const QAction* a : bar->actions()) {
            if (hasJapanese(a->text())) out << "menu " + a->text();
            if (a->menu()) addMenu(a->menu(), a->text(), out);
        }
    return out;
}

QStringList cutTexts(const QWidget* window) {
    QStringList out;
    for (const QLabel* l : window->findChildren<QLabel*>()) {
        if (!l->isVisibleTo(window) || l->wordWrap() || l->text().isEmpty() || !l->pixmap().isNull()) continue;
        const QString t = plain(l->text(), l->textFormat());
        int widest = 0;
        for (const QString& line : t.split('\n'))
            widest = std::max(widest, l->fontMetrics().horizontalAdvance(QString(line).remove('&')));
        const QMargins m = l->contentsMargins();
        if (widest > l->width() - m.left() - m.right() + 1) out << what(l) + ": " + t;
    }
    for (const QAbstractButton* b : window->findChildren<QAbstractButton*>()) {
        if (!b->isVisibleTo(window) || b->text().isEmpty()) continue;
        // The text's own width plus what the style puts around it (indicator, margins).
        const QString t = QString(b->text()).replace("&&", "\x01").remove('&').replace("\x01", "&");
        const int textWidth = b->fontMetrics().horizontalAdvance(t);
        const int need = std::min(b->sizeHint().width(), textWidth + 8 + (b->icon().isNull() ? 0 : b->iconSize().width()));
        if (need > b->width() && textWidth > b->width() - 16) out << what(b) + ": " + b->text();
    }
    return out;
}

}  // namespace kantor::app
