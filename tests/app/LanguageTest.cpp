// The interface language in the windows: the settings menu's choice, the English texts
// compiled into the program, and the checks the screenshot mode makes of what windows show.
#include <QAction>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtTest>

#include "app/LanguageMenu.h"
#include "app/Resources.h"
#include "app/ScratchApp.h"
#include "app/TextCheck.h"
#include "base/Translation.h"
#include "settings/LanguageChoice.h"

using namespace kantor;
using namespace kantor::app;

class LanguageTest : public QObject {
    Q_OBJECT
private slots:
    void theMenuKeepsTheChoiceBesideTheSettings() {
        ScratchApp scratch(HubOptions::Audio::Null);
        QMenu settings;
        LanguageMenu languages(scratch.app().context(), &settings);
        const QList<QAction*> actions = languages.menu()->actions();
        QCOMPARE(actions.size(), 2);
        QVERIFY(actions[0]->isChecked());  // Japanese until chosen otherwise
        const std::string path = LanguageChoice::pathBeside(scratch.hub().folders().settingsFilePath());
        actions[1]->trigger();
        QCOMPARE(LanguageChoice::load(path).language, Language::English);
        // The running program keeps its language until it starts again.
        QCOMPARE(language(), Language::Japanese);
        QMenu again;
        LanguageMenu reopened(scratch.app().context(), &again);
        QVERIFY(reopened.menu()->actions()[1]->isChecked());
        reopened.menu()->actions()[0]->trigger();
        QCOMPARE(LanguageChoice::load(path).language, Language::Japanese);
    }

    void theEnglishTextsAreCompiledIn() {
        QVERIFY(QFile::exists(":/i18n/kantor_en.qm"));
        QVERIFY(installEnglishTexts());
        QVERIFY(installEnglishTexts());  // once is enough; a second call changes nothing
    }

    void japaneseLeftInAWindowIsFound() {
        QWidget w;
        w.setWindowTitle("Settings");
        auto* layout = new QVBoxLayout(&w);
        layout->addWidget(new QLabel("Tuning (A=)", &w));
        layout->addWidget(new QLabel("ﾌﾚｰｽﾞ音量(%)", &w));
        layout->addWidget(new QPushButton("OK", &w));
        auto* bar = new QMenuBar(&w);
        QMenu* file = bar->addMenu("&File");
        file->addAction("上書き保存(&S)");
        QMenu* lang = file->addMenu("Language");
        QAction* own = lang->addAction(QString::fromUtf8("日本語"));
        own->setProperty("languageName", true);
        w.show();
        const QStringList found = japaneseTexts(&w);
        QCOMPARE(found.size(), 2);
        QVERIFY(found.join("\n").contains("ﾌﾚｰｽﾞ音量(%)"));
        QVERIFY(found.join("\n").contains("上書き保存(&S)"));
        QVERIFY(!hasJapanese("Phrase volume (%)"));
        QVERIFY(hasJapanese("ｷｬﾝｾﾙ"));
        QVERIFY(hasJapanese("あ"));
    }

    void aTextTooWideForItsControlIsFound() {
        QWidget w;
        auto* narrow = new QPushButton("A rather long English caption", &w);
        narrow->setGeometry(0, 0, 40, 24);
        auto* wide = new QPushButton("OK", &w);
        wide->setGeometry(0, 30, 80, 24);
        auto* label = new QLabel("Another long label that cannot fit", &w);
        label->setGeometry(0, 60, 50, 20);
        w.resize(200, 100);
        w.show();
        const QStringList cut = cutTexts(&w);
        QCOMPARE(cut.size(), 2);
        QVERIFY(cut.join("\n").contains("A rather long English caption"));
        QVERIFY(cut.join("\n").contains("Another long label"));
    }
};

QTEST_MAIN(LanguageTest)
#include "LanguageTest.moc"
