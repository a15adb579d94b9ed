// The song windows with English chosen: the main panel's menus, the channel windows' menus,
// the editing dialogs and the small settings dialogs show English, keep an Alt letter for each
// menu, and what they ask through the message boxes is English too. The whole program runs in
// English (the windows' translation is installed once, as `kantor --lang en` does).
#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <fstream>

#include "app/ChannelListWindow.h"
#include "app/ChannelScoreWindow.h"
#include "app/EditCommands.h"
#include "app/EditDialogs.h"
#include "app/KantorApp.h"
#include "app/MidiOutputDialog.h"
#include "app/Mnemonics.h"
#include "app/Resources.h"
#include "app/SoundQualityDialog.h"
#include "app/TextCheck.h"
#include "app/TitleInfoWindow.h"
#include "base/Translation.h"
#include "midi/SmfWriter.h"
#include "song/TestPrompt.h"
#include "support/ScratchFolders.h"
#include "support/TempDir.h"

using namespace kantor;
using namespace kantor::app;

namespace {

// A song of eight notes whose first channel sings, one phrase from its first note.
struct Session {
    test::ScratchFolders scratch;
    test::TempDir dir;
    test::RecordingPrompt prompt;
    ScriptedFileChooser files;
    std::unique_ptr<KantorApp> app;
    Session() {
        AppOptions o;
        o.hub.audio = HubOptions::Audio::Off;
        o.prompt = &prompt;
        o.files = &files;
        o.panelDelayMs = 0;
        o.openUrl = [](const QString&) {};
        app = std::make_unique<KantorApp>(std::move(o));
        SmfTrack t;
        t.tempo(0, 500000).timeSignature(0, 4, 2);
        for (int i = 0; i < 8; ++i) t.note(uint32_t(i) * 480, uint32_t(i) * 480 + 400, 0, 60 + i, 100);
        t.endOfTrack(8 * 480 + 1920);
        const auto bytes = buildSmf(0, 480, {t});
        std::ofstream(dir.file("a.mid"), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    MainPanel& panelWithSong() {
        MainPanel& p = *app->showPanel();
        if (!hub().hasMidi()) {
            hub().openMidi(dir.file("a.mid"));
            hub().session().makeVoxChannel(0);
            hub().song().makePhraseHead(0, 0);
            hub().setModified(false);
            p.refresh();
        }
        return p;
    }
    Hub& hub() { return app->hub(); }
    AppContext& ctx() { return app->context(); }
};

QStringList texts(const QMenu* menu) {
    QStringList out;
    for (const QAction* a : menu->actions())
        if (!a->isSeparator()) out << a->text();
    return out;
}

// Japanese left in a window's own texts, one line each (empty when there is none).
QString japanese(const QWidget* w) { return japaneseTexts(w).join("\n"); }

}  // namespace

class SongWindowsEnglishTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        setLanguage(Language::English);
        QVERIFY(installEnglishTexts());
    }

    // The panel's menu bar and every item under it are English, with the letters and
    // shortcuts the Japanese menus have, and no two Alt letters of the panel clash.
    void theMainPanelsMenusAreEnglish() {
        Session s;
        MainPanel& p = s.panelWithSong();
        QStringList bar;
        for (const QAction* a : p.menuBar()->actions()) bar << a->text();
        QCOMPARE(bar, (QStringList{"&File", "&Window", "&Settings", "&Voice", "&Help"}));
        QCOMPARE(p.action(MainPanel::SaveAs)->text(), QString("Save &As..."));
        QCOMPARE(p.action(MainPanel::Save)->shortcut(), QKeySequence("Ctrl+S"));
        QCOMPARE(p.action(MainPanel::MuteSolo)->text(), QString("&Mute && Solo"));
        QCOMPARE(p.action(MainPanel::LyricWindow)->shortcut(), QKeySequence("Ctrl+R"));
        QCOMPARE(p.recentMenu()->title(), QString("Recent &Files"));
        // The panel's own texts (the windows it opened check their own).
        for (const QWidget* w : {static_cast<QWidget*>(p.menuBar()), p.centralWidget()})
            QVERIFY2(japanese(w).isEmpty(), qPrintable(japanese(w)));
        const QStringList clashes = mnemonicClashes(&p);
        QVERIFY2(clashes.isEmpty(), qPrintable(clashes.join("\n")));
    }

    // What the panel asks goes to the message boxes in English.
    void thePanelAsksInEnglish() {
        Session s;
        MainPanel& p = s.panelWithSong();
        s.hub().setModified(true);
        s.prompt.answer = PromptAnswer::Cancel;
        s.prompt.shown.clear();
        QVERIFY(!p.savePrompt());
        QCOMPARE(s.prompt.shown.size(), std::size_t(1));
        QCOMPARE(s.prompt.shown[0].kind, std::string("yesnocancel"));
        QCOMPARE(s.prompt.shown[0].caption, std::string("Confirm"));
        QCOMPARE(s.prompt.shown[0].text, std::string("Save the song data?"));
        s.hub().setModified(false);
    }

    // The channel list's and the score's own menus and tooltips.
    void theChannelWindowsAreEnglish() {
        Session s;
        s.panelWithSong();
        auto* list = qobject_cast<ChannelListWindow*>(s.app->showPanel()->openWindow(MainPanel::ChannelList));
        QVERIFY(list);
        QCOMPARE(texts(list->contextMenu()),
                 (QStringList{"Song &Defaults...", "Insert &Lyrics...", "Insert &Wave Files...", "Phrase W&ord List..."}));
        ChannelScoreWindow* score = list->openScore(0, 0, 0);
        QVERIFY(score);
        const QStringList items = texts(score->contextMenu());
        QCOMPARE(items.size(), 6);
        QCOMPARE(items.first(), QString("Channel &Defaults..."));
        QCOMPARE(items.last(), QString("Change All &Notes..."));
        for (QWidget* w : {static_cast<QWidget*>(list), static_cast<QWidget*>(score)}) {
            QVERIFY2(japanese(w).isEmpty(), qPrintable(japanese(w)));
            for (const QToolButton* b : w->findChildren<QToolButton*>())
                QVERIFY2(!hasJapanese(b->toolTip()), qPrintable(b->toolTip()));
        }
        score->close();
        list->close();
    }

    // The editing dialogs: titles with the channel, labels, choices and buttons in English; the
    // phrase batch change still finds its boxes by their Japanese names.
    void theEditingDialogsAreEnglish() {
        Session s;
        s.panelWithSong();
        PhraseBatchDialog phrases(s.ctx(), 0);
        QCOMPARE(phrases.windowTitle(), QString("Change All Phrases ( 1 )"));
        QVERIFY(phrases.box("外部ｴﾌｪｸﾀ"));
        QCOMPARE(phrases.box("外部ｴﾌｪｸﾀ")->text(), QString("Effects"));
        QVERIFY(!phrases.box("ラップ")->isEnabled());
        NoteBatchDialog notes(s.ctx(), 0, 1000);
        QCOMPARE(notes.defaultBox(0)->text(), QString("Vibrato"));
        QCOMPARE(notes.initialLabel()->text(), QString("Initial (1.000)"));
        NoteLengthPosDialog lengthPos(s.ctx(), 0, 0);
        QCOMPARE(lengthPos.windowTitle(), QString("Note Length and Position ( 1 )"));
        QuickInputDialog quick(s.ctx(), 0, 0);
        PhraseWordDialog words(s.ctx(), 0, true);
        SettingsEdit phrase;
        QVERIFY(SettingsEdit::forPhrase(s.hub().song(), 0, 0, phrase));
        VoiceSettingsDialog phraseSettings(s.ctx(), phrase);
        QCOMPARE(phraseSettings.windowTitle(), QString("Phrase Settings ( 1 )"));
        QCOMPARE(phraseSettings.effectButton()->text(), QString("Effects..."));
        for (QDialog* d : std::initializer_list<QDialog*>{&phrases, &notes, &lengthPos, &quick, &words, &phraseSettings}) {
            d->show();
            QVERIFY2(japanese(d).isEmpty(), qPrintable(d->windowTitle() + "\n" + japanese(d)));
            QVERIFY2(cutTexts(d).isEmpty(), qPrintable(cutTexts(d).join("\n")));
            for (const QPushButton* b : d->findChildren<QPushButton*>())
                QVERIFY2(b->text() != "ｷｬﾝｾﾙ", qPrintable(d->windowTitle()));
        }
        lengthPos.reject();
        quick.reject();
    }

    // The small dialogs of the panel and the title window.
    void theSettingsDialogsAreEnglish() {
        Session s;
        s.panelWithSong();
        SoundQualityDialog quality(4);
        QCOMPARE(quality.windowTitle(), QString("Sound Quality"));
        MidiOutputDialog output(s.ctx());
        QCOMPARE(output.windowTitle(), QString("MIDI Output"));
        TitleInputDialog title(s.hub().song().titleInfo());
        QCOMPARE(title.windowTitle(), QString("Edit Title Information"));
        for (QDialog* d : std::initializer_list<QDialog*>{&quality, &output, &title}) {
            d->show();
            QVERIFY2(japanese(d).isEmpty(), qPrintable(d->windowTitle() + "\n" + japanese(d)));
            QVERIFY2(cutTexts(d).isEmpty(), qPrintable(cutTexts(d).join("\n")));
        }
    }
};

QTEST_MAIN(SongWindowsEnglishTest)
#include "SongWindowsEnglishTest.moc"
