#include "app/LanguageMenu.h"

#include <QActionGroup>
#include <QMenu>

#include "app/AppContext.h"
#include "base/Translation.h"
#include "platform/Folders.h"
#include "settings/LanguageChoice.h"

namespace kantor::app {

LanguageMenu::LanguageMenu(AppContext& ctx, QMenu* parent) : QObject(parent), ctx_(ctx) {
    menu_ = parent->addMenu(tr("言語 (Language)"));
    menu_->setObjectName("languageMenu");
    auto* group = new QActionGroup(menu_);
    const Language kept =
        LanguageChoice::load(LanguageChoice::pathBeside(ctx_.hub.folders().settingsFilePath())).language;
    // Each language is named in itself, so that a user who cannot read the other finds it.
    QAction* japanese = menu_->addAction(QString::fromUtf8("日本語"));
    QAction* english = menu_->addAction("English");
    for (QAction* a : {japanese, english}) {
        a->setCheckable(true);
        a->setProperty("languageName", true);
        group->addAction(a);
    }
    (kept == Language::English ? english : japanese)->setChecked(true);
    connect(japanese, &QAction::triggered, this, [this] { choose(false); });
    connect(english, &QAction::triggered, this, [this] { choose(true); });
}

void LanguageMenu::choose(bool english) {
    LanguageChoice c;
    c.language = english ? Language::English : Language::Japanese;
    std::string error;
    // The settings folder may not exist yet (nothing was saved so far).
    if (!makeFolders(ctx_.hub.folders().localDataFolder(), &error) ||
        !c.save(LanguageChoice::pathBeside(ctx_.hub.folders().settingsFilePath()), &error)) {
        ctx_.prompt.warning(tr("警告").toStdString(), error);
        return;
    }
    if (c.language == language()) return;
    // Told in the chosen language, which is the one the user reads.
    ctx_.prompt.notice(english ? "Language" : "言語",
                       english ? "English will be used from the next start of the program."
                               : "次回の起動から日本語で表示します。");
}

}  // namespace kantor::app
