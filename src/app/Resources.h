#pragma once
// The program's icons are compiled into its library; this makes them reachable (":/icons/").
namespace kantor::app {
void initResources();
// Qt's own Japanese texts (the standard buttons, the file dialogs), from the translations
// that Debian's qt6-translations-l10n installs: the program speaks Japanese whatever the
// locale. False when they are not installed (the standard texts then stay English).
bool installQtTranslations();
// The windows' English texts (kantor_en.qm, compiled into the program). Qt's own texts are
// English already. False when the translation cannot be loaded.
bool installEnglishTexts();
// The texts of the language chosen for this process (kantor::language()): the windows' English,
// or Qt's Japanese for the standard buttons and dialogs.
bool installInterfaceLanguage();
}
