#include "app/HelpPages.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include "base/Translation.h"

namespace kantor::app {

QStringList helpFolders(const std::string& installFolder) {
    const QString bin = QString::fromStdString(installFolder);
    return {bin + "/../share/doc/kantor/help", QStringLiteral(KANTOR_HELP_BUILD_DIR),
            QStringLiteral(KANTOR_HELP_SOURCE_DIR)};
}

QString helpPageUrl(const QStringList& folders, HelpPage page, Language language) {
    const char* name = page == HelpPage::ReadMe ? "ReadMe.html" : page == HelpPage::Guide ? "index.html" : "about.html";
    // With English chosen the guide opens at its English contents; the page that offers both
    // languages stays for Japanese (and for a folder without the English pages).
    QStringList names;
    if (page == HelpPage::Guide && language == Language::English) names << "en/index.html";
    names << name;
    for (const QString& n : names)
        for (const QString& f : folders) {
            QFileInfo fi(QDir(f).filePath(n));
            if (fi.isFile()) return QUrl::fromLocalFile(fi.canonicalFilePath()).toString();
        }
    return {};
}

QString helpPageUrl(const QStringList& folders, HelpPage page) { return helpPageUrl(folders, page, language()); }

QString helpPageUrl(const std::string& installFolder, HelpPage page) {
    return helpPageUrl(helpFolders(installFolder), page);
}

}  // namespace kantor::app
