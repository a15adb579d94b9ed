#pragma once
// The user guide pages installed with the program, opened in the desktop's browser.
#include <QString>
#include <QStringList>
#include <string>

namespace kantor::app {

enum class HelpPage { Guide, ReadMe, About };

// The folders searched for the pages, in order: installed beside the program
// (share/doc/kantor/help), the build tree's help folder (the pages with the pictures the build
// made) and the source's docs/help (the pages without pictures).
QStringList helpFolders(const std::string& installFolder);

// The file URL of a page in the first of the folders that holds it; empty when none does.
// With English chosen (kantor::language()) the guide is its English contents, en/index.html,
// where the folder has them.
QString helpPageUrl(const QStringList& folders, HelpPage page);
QString helpPageUrl(const std::string& installFolder, HelpPage page);

}  // namespace kantor::app
