#include "app/HelpPages.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace kantor::app {

QStringList helpFolders(const std::string& installFolder) {
    const QString bin = QString::fromStdString(installFolder);
    return {bin + "/../share/doc/kantor/help", QStringLiteral(KANTOR_HELP_BUILD_DIR),
            QStringLiteral(KANTOR_HELP_SOURCE_DIR)};
}

QString helpPageUrl(const QStringList& folders, HelpPage page) {
    const char* name = page == HelpPage::ReadMe ? "ReadMe.html" : page == HelpPage::Guide ? "index.html" : "about.html";
    for (const QString& f : folders) {
        QFileInfo fi(QDir(f).filePath(name));
        if (fi.isFile()) return QUrl::fromLocalFile(fi.canonicalFilePath()).toString();
    }
    return {};
}

QString helpPageUrl(const std::string& installFolder, HelpPage page) {
    return helpPageUrl(helpFolders(installFolder), page);
}

}  // namespace kantor::app
