// Where the ﾍﾙﾌﾟ menu finds the user guide: installed pages first, then the build tree's pages
// with the pictures the build drew, then the source's pages.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include "app/HelpPages.h"

using namespace kantor::app;

namespace {

void touch(const QString& path) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("<html></html>");
}

QString localFile(const QString& url) { return QUrl(url).toLocalFile(); }

}  // namespace

class HelpPagesTest : public QObject {
    Q_OBJECT
private slots:
    // The installed pages come first, so an installed program never shows a build tree's
    // pages when both are there; the build tree's pages (with pictures) before the source's.
    void foldersInOrder() {
        const QStringList f = helpFolders("/opt/k/bin");
        QCOMPARE(f.size(), 3);
        QCOMPARE(f[0], QString("/opt/k/bin/../share/doc/kantor/help"));
        QCOMPARE(f[1], QString(KANTOR_HELP_BUILD_DIR));
        QCOMPARE(f[2], QString(KANTOR_HELP_SOURCE_DIR));
    }

    // Each page is taken from the first folder that holds it; none found is an empty URL.
    void firstFolderHoldingThePage() {
        QTemporaryDir a, b;
        touch(a.filePath("ReadMe.html"));
        touch(b.filePath("ReadMe.html"));
        touch(b.filePath("index.html"));
        const QStringList folders = {a.filePath("missing"), a.path(), b.path()};
        QCOMPARE(localFile(helpPageUrl(folders, HelpPage::ReadMe)), QFileInfo(a.filePath("ReadMe.html")).canonicalFilePath());
        QCOMPARE(localFile(helpPageUrl(folders, HelpPage::Guide)), QFileInfo(b.filePath("index.html")).canonicalFilePath());
        QVERIFY(helpPageUrl(folders, HelpPage::About).isEmpty());
        QVERIFY(helpPageUrl(QStringList{}, HelpPage::Guide).isEmpty());
        // A folder named like the page is no page.
        QTemporaryDir c;
        QDir(c.path()).mkdir("about.html");
        QVERIFY(helpPageUrl(QStringList{c.path()}, HelpPage::About).isEmpty());
    }

    // In English the guide opens at its English contents, wherever they are found first.
    void englishOpensTheEnglishContents() {
        QTemporaryDir a, b;
        touch(a.filePath("index.html"));
        touch(b.filePath("index.html"));
        touch(b.filePath("en/index.html"));
        const QStringList folders = {a.path(), b.path()};
        QCOMPARE(localFile(helpPageUrl(folders, HelpPage::Guide, kantor::Language::English)),
                 QFileInfo(b.filePath("en/index.html")).canonicalFilePath());
        QCOMPARE(localFile(helpPageUrl(folders, HelpPage::Guide, kantor::Language::Japanese)),
                 QFileInfo(a.filePath("index.html")).canonicalFilePath());
        // Without English pages, the page that offers both.
        QCOMPARE(localFile(helpPageUrl(QStringList{a.path()}, HelpPage::Guide, kantor::Language::English)),
                 QFileInfo(a.filePath("index.html")).canonicalFilePath());
    }

    // A program run from the build tree opens the build's guide, whose pictures the build drew
    // beside the pages (the folder the pages' ../shots/ names).
    void buildTreeGuideHasItsPictures() {
        if (!QFile::exists(QString(KANTOR_HELP_BUILD_DIR) + "/index.html"))
            QSKIP("the guide is copied into the build tree by the kantor-guide target");
        const QString page = localFile(helpPageUrl(helpFolders("/nonexistent/bin"), HelpPage::Guide));
        QCOMPARE(page, QFileInfo(QString(KANTOR_HELP_BUILD_DIR) + "/index.html").canonicalFilePath());
        QVERIFY(QFile::exists(QFileInfo(page).path() + "/ja/index.html"));
        QVERIFY(QFile::exists(QFileInfo(page).path() + "/en/index.html"));
        if (!QDir(QFileInfo(page).path() + "/shots").exists()) QSKIP("a build without the guide's pictures");
        QVERIFY(QFile::exists(QFileInfo(page).path() + "/shots/main-panel.png"));
    }
};

QTEST_MAIN(HelpPagesTest)
#include "HelpPagesTest.moc"
