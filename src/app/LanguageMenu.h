#pragma once
// The settings menu's "言語 (Language)" submenu: 日本語 or English, kept in language.conf
// beside the settings file. The windows are built in one language, so the choice takes effect
// the next time the program starts; the user is told so.
#include <QObject>

class QMenu;

namespace kantor::app {

struct AppContext;

class LanguageMenu : public QObject {
    Q_OBJECT
public:
    // Adds the submenu to `parent` (the settings menu).
    LanguageMenu(AppContext& ctx, QMenu* parent);
    QMenu* menu() const { return menu_; }
    // Keeps the choice and tells the user when it differs from the running language.
    void choose(bool english);

private:
    AppContext& ctx_;
    QMenu* menu_;
};

}  // namespace kantor::app
