#include "app/Resources.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QPointer>
#include <QTranslator>
#include <QtCore/qglobal.h>

#include "base/Translation.h"

static void initAppResources() {
    Q_INIT_RESOURCE(app);
    Q_INIT_RESOURCE(kantor_i18n);
}

namespace kantor::app {

bool installQtTranslations() {
    static QPointer<QTranslator> qt;
    if (qt) return true;
    auto* t = new QTranslator(QCoreApplication::instance());
    if (!t->load(QLocale(QLocale::Japanese, QLocale::Japan), "qtbase", "_", QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete t;
        return false;
    }
    QCoreApplication::installTranslator(t);
    qt = t;
    return true;
}

bool installEnglishTexts() {
    static QPointer<QTranslator> english;
    if (english) return true;
    initResources();
    auto* t = new QTranslator(QCoreApplication::instance());
    if (!t->load(":/i18n/kantor_en.qm")) {
        delete t;
        return false;
    }
    QCoreApplication::installTranslator(t);
    english = t;
    return true;
}

bool installInterfaceLanguage() {
    if (kantor::language() == Language::English) return installEnglishTexts();
    return installQtTranslations();
}

void initResources() {
    static bool done = false;
    if (!done) initAppResources();
    done = true;
}

}  // namespace kantor::app
