#pragma once
// The user guide pages installed with the program, opened in the desktop's browser.
#include <QString>
#include <string>

namespace kantor::app {

enum class HelpPage { Guide, ReadMe, About };

// The file URL of a page: installed beside the program (share/doc/kantor/help) or, in a
// build tree, in the source's docs/help. Empty when neither holds it.
QString helpPageUrl(const std::string& installFolder, HelpPage page);

}  // namespace kantor::app
