#pragma once
// The English interface for one test: the windows' texts and the core's language, both back
// to Japanese at the end so that the other tests see the program's own texts.
#include <QCoreApplication>
#include <QTranslator>

#include "app/Resources.h"
#include "base/Translation.h"

namespace kantor::app {

struct EnglishScope {
    QTranslator translator;
    bool loaded = false;
    EnglishScope() {
        initResources();
        loaded = translator.load(":/i18n/kantor_en.qm") && QCoreApplication::installTranslator(&translator);
        setLanguage(Language::English);
    }
    ~EnglishScope() {
        QCoreApplication::removeTranslator(&translator);
        setLanguage(Language::Japanese);
    }
};

}  // namespace kantor::app
