#include "app/HelpPages.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace kantor::app {

QString helpPageUrl(const std::string& installFolder, HelpPage page) {
    const char* name = page == HelpPage::ReadMe ? "ReadMe.html" : page == HelpPage::Guide ? "index.html" : "about.html";
    const QString bin = QString::fromStdString(installFolder);
    const QStringList folders = {bin + "/../share/doc/kantor/help", QStringLiteral(KANTOR_HELP_SOURCE_DIR)};
    for (const QString& f : folders) {
        QFileInfo fi(QDir(f).filePath(name));
        if (fi.isFile()) return QUrl::fromLocalFile(fi.canonicalFilePath()).toString();
    }
    return {};
}

}  // namespace kantor::app
