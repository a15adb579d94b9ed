#include "app/Resources.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QPointer>
#include <QTranslator>
#include <QtCore/qglobal.h>

static void initAppResources() { Q_INIT_RESOURCE(app); }

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

void initResources() {
    static bool done = false;
    if (!done) initAppResources();
    done = true;
}

}  // namespace kantor::app
