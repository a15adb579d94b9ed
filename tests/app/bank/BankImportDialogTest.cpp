// The window that imports a voice bank in the oto.ini form, on the offscreen platform: a
// voice made with its progress and summary, a project saved where the file chooser says,
// and the messages of a missing or unusable folder.
#include <QTest>
#include <filesystem>

#include "app/BankImportDialog.h"
#include "app/KantorApp.h"
#include "app/MainPanel.h"
#include "base/FileIO.h"
#include "song/TestPrompt.h"
#include "support/ScratchFolders.h"
#include "support/TempDir.h"
#include "voicemaker/VoiceProject.h"

using namespace kantor;
using namespace kantor::app;

class BankImportDialogTest : public QObject {
    Q_OBJECT
    test::ScratchFolders scratch;
    test::TempDir dir;
    test::RecordingPrompt prompt;
    ScriptedFileChooser files;
    std::unique_ptr<KantorApp> app;

private slots:
    void initTestCase() {
        AppOptions o;
        o.hub.audio = HubOptions::Audio::Off;
        o.prompt = &prompt;
        o.files = &files;
        o.panelDelayMs = 0;
        o.openUrl = [](const QString&) {};
        app = std::make_unique<KantorApp>(std::move(o));
        app->hub().startUp();
        QVERIFY(writeExampleBank(dir.file("bank")));
    }

    void makesAVoiceWithASummary() {
        BankImportDialog d(app->context());
        d.folderEdit()->setText(QString::fromStdString(dir.file("bank")));
        QVERIFY(d.runImport());
        QVERIFY(!d.identifier().empty());
        const std::string voice = joinPath(app->hub().folders().voiceFolder(), d.identifier() + ".vxb");
        QVERIFY(fileExists(voice));
        QVERIFY(fileExists(joinPath(app->hub().folders().voiceFolder(), d.identifier() + ".readme.txt")));
        QCOMPARE(d.progress()->value(), d.progress()->maximum());
        const QString text = d.summary()->toPlainText();
        QVERIFY2(text.contains("音源名: 見本"), qPrintable(text));
        QVERIFY2(text.contains("作成したサンプル: 3（1音高）"), qPrintable(text));
        QVERIFY2(text.contains("oto.ini:4: WAVファイルがない"), qPrintable(text));
        QVERIFY2(text.contains("この音源は見本です。"), qPrintable(text));
        QVERIFY(d.importButton()->isEnabled());
    }

    void savesAProjectWhereTheChooserSays() {
        BankImportDialog d(app->context());
        d.folderEdit()->setText(QString::fromStdString(dir.file("bank")));
        d.nameEdit()->setText("Alto");
        d.projectChoice()->setChecked(true);
        files.answers = {dir.file("alto.vxbprj")};
        QVERIFY(d.runImport());
        VoiceProject p;
        QVERIFY(p.load(dir.file("alto.vxbprj")));
        QCOMPARE(p.voiceName, std::string("Alto"));
        QCOMPARE(p.items.size(), std::size_t(3));
        // Cancelling the file chooser does nothing.
        files.answers.clear();
        QVERIFY(!d.runImport());
    }

    void refusesAMissingOrUnusableFolder() {
        BankImportDialog d(app->context());
        prompt.shown.clear();
        QVERIFY(!d.runImport());
        QCOMPARE(prompt.shown.back().caption, std::string("ERROR"));
        d.folderEdit()->setText(QString::fromStdString(dir.file("no-such-bank")));
        QVERIFY(!d.runImport());
        QCOMPARE(prompt.shown.back().caption, std::string("Error"));
        QVERIFY(d.summary()->toPlainText().contains("フォルダではありません。"));
    }

    void theVoiceMenuOffersIt() {
        MainPanel* panel = app->showPanel();
        bool found = false;
        for (QAction* a : panel->findChildren<QAction*>()) found = found || a->text().contains("oto.ini");
        QVERIFY(found);
    }
};

QTEST_MAIN(BankImportDialogTest)
#include "BankImportDialogTest.moc"
