#pragma once
// The user guide pages installed with the program, opened in the desktop's browser.
#include <QString>
#include <QStringList>
#include <string>

#include "base/Translation.h"

namespace kantor::app {

enum class HelpPage { Guide, ReadMe, About };

// The folders searched for the pages, in order: installed beside the program
// (share/doc/kantor/help), the build tree's help folder (the pages with the pictures the build
// made) and the source's docs/help (the pages without pictures).
QStringList helpFolders(const std::string& installFolder);

// The file URL of a page in the first of the folders that holds it; empty when none does.
// In the running program's language (the guide opens at en/index.html in English).
QString helpPageUrl(const QStringList& folders, HelpPage page);
QString helpPageUrl(const QStringList& folders, HelpPage page, Language language);
QString helpPageUrl(const std::string& installFolder, HelpPage page);

}  // namespace kantor::app
