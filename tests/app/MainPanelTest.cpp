// The desktop program on the offscreen platform: the main panel's states and commands with
// scripted dialogs, start-up and first run, window places, and a whole session as a user
// would have it: the demo song played on the null device and exported to WAV.
#include <QAction>
#include <QElapsedTimer>
#include <QMenu>
#include <QDialog>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <QTreeWidget>
#include <QComboBox>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "app/ChannelListWindow.h"
#include "app/ChannelScoreWindow.h"
#include "app/EffectorWindow.h"
#include "app/KantorApp.h"
#include "app/Mnemonics.h"
#include "app/MidiOutputDialog.h"
#include "app/QtPrompt.h"
#include "app/Resources.h"
#include "app/ScorePartDialog.h"
#include "app/SoundQualityDialog.h"
#include "app/SyncCorrectionDialog.h"
#include "app/TitleInfoWindow.h"
#include "app/WaveVolumeWindow.h"
#include "base/FileIO.h"
#include "midi/SmfWriter.h"
#include "platform/InstanceLock.h"
#include "settings/RenderChoice.h"
#include "settings/StartupTexts.h"
#include "voicemaker/MakerTexts.h"
#include "song/TestPrompt.h"
#include "support/CliRun.h"
#include "support/ScratchFolders.h"
#include "support/SyntheticVoice.h"
#include "support/TempDir.h"

using namespace kantor;
using namespace kantor::app;

namespace {

void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::vector<uint8_t> smallMidi(int notes) {
    SmfTrack t;
    t.tempo(0, 500000).timeSignature(0, 4, 2);
    for (int i = 0; i < notes; ++i) t.note(uint32_t(i) * 480, uint32_t(i) * 480 + 400, 0, 60, 100);
    t.endOfTrack(uint32_t(notes) * 480 + 1920);
    return buildSmf(0, 480, {t});
}

// A program with scripted answers in scratch folders.
struct Session {
    test::ScratchFolders scratch;
    test::TempDir dir;
    test::RecordingPrompt prompt;
    ScriptedFileChooser files;
    QStringList opened;
    std::unique_ptr<KantorApp> app;
    explicit Session(HubOptions::Audio audio = HubOptions::Audio::Off, bool firstStartOpensDemo = false) {
        AppOptions o;
        o.hub.audio = audio;
        o.firstStartOpensDemo = firstStartOpensDemo;
        o.prompt = &prompt;
        o.files = &files;
        o.panelDelayMs = 0;
        o.openUrl = [this](const QString& url) { opened << url; };
        app = std::make_unique<KantorApp>(std::move(o));
        writeBytes(dir.file("a.mid"), smallMidi(8));
    }
    MainPanel& panel() {
        MainPanel* p = app->showPanel();
        return *p;
    }
    int count(const std::string& text) const {
        int n = 0;
        for (const auto& s : prompt.shown) n += s.text == text;
        return n;
    }
};

std::string makertextDuplicate() { return makertext::kDuplicateItem; }

}  // namespace

class MainPanelTest : public QObject {
    Q_OBJECT
private slots:
    void withoutASongEverythingThatNeedsOneIsDisabled() {
        Session s;
        MainPanel& p = s.panel();
        for (int c : {MainPanel::Save, MainPanel::SaveAs, MainPanel::ChannelList, MainPanel::TitleWindow,
                      MainPanel::MuteSolo, MainPanel::WaveVolumeWindow, MainPanel::LyricWindow})
            QVERIFY2(!p.action(c)->isEnabled(), qPrintable(QString::number(c)));
        for (int b : {MainPanel::TitleButton, MainPanel::MuteButton, MainPanel::VolumeButton, MainPanel::LyricButton,
                      MainPanel::WaveButton})
            QVERIFY(!p.button(b)->isEnabled());
        QCOMPARE(p.positionText(), QString("000 : 0 : 000"));
        QCOMPARE(p.startText(), QString("000 : 0 : 000"));
        QCOMPARE(p.stopText(), QString("000 : 0 : 000"));
        QCOMPARE(p.windowTitle(), QString("My Kantorellion"));
        // The effector settings stay in the menu: the program has the effector window.
        QVERIFY(p.settingsMenu()->actions().contains(p.action(MainPanel::EffectSettings)));
        // Setting positions without a song shows the empty position.
        p.run(MainPanel::SetStart);
        QCOMPARE(p.startText(), QString("000 : 0 : 000"));
    }

    // Alt+letter reaches every menu of the panel: no button takes a menu's letter (the
    // volume button once took Alt+V from the Voice menu).
    void everyMenuLetterReachesItsMenu() {
        Session s;
        MainPanel& p = s.panel();
        QVERIFY(s.app->hub().openMidi(s.dir.file("a.mid")));
        p.refresh();
        const QStringList clashes = mnemonicClashes(&p);
        QVERIFY2(clashes.isEmpty(), qPrintable(clashes.join("\n")));
        QCOMPARE(QKeySequence::mnemonic(p.button(MainPanel::VolumeButton)->text()), QKeySequence("Alt+O"));

        // The check itself: a button on a menu's letter and two buttons on one letter are found,
        // letters of a dialog the window parents are that dialog's own.
        QMainWindow w;
        w.menuBar()->addMenu("Voice(&V)")->addAction("x(&V)");
        auto* central = new QWidget(&w);
        w.setCentralWidget(central);
        auto* volume = new QPushButton("&volume", central);
        new QPushButton("&mute", central);
        QDialog dialog(&w);
        new QPushButton("&Video", &dialog);
        QCOMPARE(mnemonicClashes(&w).size(), 1);
        QVERIFY(mnemonicClashes(&w).first().contains("&volume"));
        volume->setText("&mix");
        QCOMPARE(mnemonicClashes(&w).size(), 1);
        volume->setText("v&olume");
        QVERIFY(mnemonicClashes(&w).isEmpty());
    }

    void openingASongEnablesTheWindowsAndSetsTheCounters() {
        Session s;
        MainPanel& p = s.panel();
        s.files.answers = {s.dir.file("a.mid")};
        p.run(MainPanel::NewSong);
        QVERIFY(s.app->hub().hasMidi());
        QVERIFY(p.action(MainPanel::Save)->isEnabled());
        QVERIFY(p.button(MainPanel::TitleButton)->isEnabled());
        QVERIFY(p.button(MainPanel::WaveButton)->isEnabled());
        QCOMPARE(p.positionText(), QString("001 : 1 : 000"));
        QCOMPARE(p.stopText(), QString::fromStdString(s.app->hub().positionText(s.app->hub().range().stop)));
        QCOMPARE(p.steps().step, 480u);
        // Set start one tick before a step boundary: it rounds to the boundary.
        s.app->hub().setCurrentPosition(959);
        p.positionSpin()->stepBy(2);  // 2 steps: tick 960
        QCOMPARE(p.positionText(), QString::fromStdString(s.app->hub().positionText(960)));
        p.run(MainPanel::SetStart);
        QCOMPARE(s.app->hub().range().start, 960u);
        // A start at or after the stop sends the stop to the last measure.
        p.stopSpin()->stepBy(-1000);
        QCOMPARE(s.app->hub().range().start, 0u);
        p.startSpin()->stepBy(3);
        QCOMPARE(s.app->hub().range().start, 1440u);
        QCOMPARE(s.app->hub().range().stop, p.steps().rangeMax);
    }

    void theSavePromptsThreeAnswers() {
        Session s;
        MainPanel& p = s.panel();
        QVERIFY(s.app->hub().openMidi(s.dir.file("a.mid")));
        s.app->hub().setModified(true);
        writeBytes(s.dir.file("b.mid"), smallMidi(4));

        // Cancel: the song stays open and unchanged.
        s.prompt.answer = PromptAnswer::Cancel;
        s.files.answers = {s.dir.file("b.mid")};
        p.run(MainPanel::NewSong);
        QCOMPARE(s.count("歌声データを保存しますか？"), 1);
        QCOMPARE(s.app->hub().midiPath(), s.dir.file("a.mid"));
        QVERIFY(s.app->hub().song().modified());
        QCOMPARE(s.files.asked, 0);

        // Yes: saved under a name in the MIDI file's folder, then the command goes on.
        s.prompt.answer = PromptAnswer::Yes;
        s.files.answers = {s.dir.file("a.uta"), s.dir.file("b.mid")};
        p.run(MainPanel::NewSong);
        QVERIFY(fileExists(s.dir.file("a.uta")));
        QCOMPARE(s.app->hub().midiPath(), s.dir.file("b.mid"));

        // No: the edits go, the command goes on.
        s.app->hub().setModified(true);
        s.prompt.answer = PromptAnswer::No;
        s.files.answers = {s.dir.file("a.uta")};
        p.run(MainPanel::OpenSong);
        QCOMPARE(s.app->hub().song().songPath(), s.dir.file("a.uta"));
    }

    void aSaveOutsideTheMidiFolderIsRefusedUntilCancelled() {
        Session s;
        MainPanel& p = s.panel();
        QVERIFY(s.app->hub().openMidi(s.dir.file("a.mid")));
        test::TempDir other;
        s.files.answers = {other.file("x.uta"), other.file("y.uta")};  // then cancel
        QVERIFY(!p.saveAsDialog());
        QCOMPARE(s.count("Midiﾌｧｲﾙと同じﾌｫﾙﾀﾞに格納してください。"), 2);
        QCOMPARE(s.files.asked, 3);
        QVERIFY(!fileExists(other.file("x.uta")));
        // Save without a name asks for one.
        s.files.answers = {s.dir.file("named.uta")};
        p.run(MainPanel::Save);
        QVERIFY(fileExists(s.dir.file("named.uta")));
        QCOMPARE(QString::fromStdString(s.app->hub().settings().recentFile(0)),
                 QString::fromStdString(s.dir.file("named.uta")));
    }

    void recentFilesKeepFourAndAFailedOpenDoesNotMove() {
        Session s;
        MainPanel& p = s.panel();
        for (int i = 0; i < 5; ++i) {
            writeBytes(s.dir.file("m" + std::to_string(i) + ".mid"), smallMidi(2));
            QVERIFY(s.app->hub().openMidi(s.dir.file("m" + std::to_string(i) + ".mid")));
        }
        p.rebuildRecent();
        QCOMPARE(p.recentMenu()->actions().size(), 4);
        QCOMPARE(p.recentMenu()->actions()[0]->text(), "&1 " + QString::fromStdString(s.dir.file("m4.mid")));
        QCOMPARE(p.recentMenu()->actions()[3]->text(), "&4 " + QString::fromStdString(s.dir.file("m1.mid")));
        // Reopening the third moves it to the top without dropping any.
        p.run(103);
        QCOMPARE(QString::fromStdString(s.app->hub().settings().recentFile(0)),
                 QString::fromStdString(s.dir.file("m2.mid")));
        QCOMPARE(QString::fromStdString(s.app->hub().settings().recentFile(3)),
                 QString::fromStdString(s.dir.file("m1.mid")));
        // An entry whose file is gone fails with the reader's text and stays where it is.
        std::remove(s.dir.file("m1.mid").c_str());
        s.prompt.shown.clear();
        p.run(104);
        QCOMPARE(int(s.prompt.shown.size()), 1);
        QCOMPARE(QString::fromStdString(s.prompt.shown[0].caption), QString("Error"));
        QCOMPARE(QString::fromStdString(s.app->hub().settings().recentFile(3)),
                 QString::fromStdString(s.dir.file("m1.mid")));
        QCOMPARE(s.app->hub().midiPath(), s.dir.file("m2.mid"));
    }

    void firstRunShowsTheNoticeOnce() {
        Session s(HubOptions::Audio::Off, true);
        s.app->showPanel();
        QCOMPARE(s.count(text::kFirstRunNotice), 1);
        // The first start opens the demo song that the new settings name first, where it is.
        const std::string demo = s.app->hub().settings().recentFile(0);
        QVERIFY(!demo.empty());
        if (fileExists(demo)) QCOMPARE(s.app->hub().midiPath(), demo.substr(0, demo.size() - 3) + "mid");
        s.app->panel()->close();
        Session* again = nullptr;
        (void)again;
        // The settings file now exists: a second start shows nothing.
        AppOptions o;
        test::RecordingPrompt prompt2;
        ScriptedFileChooser files2;
        o.prompt = &prompt2;
        o.files = &files2;
        o.firstStartOpensDemo = true;
        KantorApp second(std::move(o));
        second.showPanel();
        for (const auto& shown : prompt2.shown) QVERIFY(shown.text != text::kFirstRunNotice);
        QVERIFY(!second.hub().hasMidi());
    }

    void windowPlacesAreStoredAndKeptOnTheDesktop() {
        Session s;
        MainPanel& p = s.panel();
        p.move(123, 145);
        QApplication::processEvents();
        p.close();
        const WindowRect r = s.app->hub().settings().windowRect(WindowKind::MainPanel);
        QCOMPARE(r.left, 123);
        QCOMPARE(r.top, 145);
        // A stored negative top comes back at 0.
        Settings& st = s.app->hub().settings();
        st.setWindowRect(WindowKind::TitleInfo, {40, -30, 440, 270});
        QVERIFY(s.app->hub().openMidi(s.dir.file("a.mid")));
        TitleInfoWindow w(s.app->context());
        QCOMPARE(w.pos().y(), 0);
        QCOMPARE(w.pos().x(), 40);
    }

    void droppingAFileOpensIt() {
        Session s;
        MainPanel& p = s.panel();
        QVERIFY(!p.openDropped({QUrl::fromLocalFile(QString::fromStdString(s.dir.file("notes.txt")))}));
        QVERIFY(p.openDropped({QUrl::fromLocalFile(QString::fromStdString(s.dir.file("notes.txt"))),
                               QUrl::fromLocalFile(QString::fromStdString(s.dir.file("a.mid")))}));
        QVERIFY(s.app->hub().hasMidi());
        QCOMPARE(s.app->hub().midiPath(), s.dir.file("a.mid"));
    }

    void scoresAreImportedAndLyricsExportedFromTheFileMenu() {
        Session s;
        const std::string score = s.dir.file("s.musicxml");
        std::ofstream(score) << R"(<score-partwise><part-list><score-part id="P1"/></part-list><part id="P1">)"
                                R"(<measure number="1"><attributes><divisions>1</divisions></attributes>)"
                                R"(<note><pitch><step>A</step><octave>4</octave></pitch><duration>2</duration>)"
                                R"(<lyric><text>らー</text></lyric></note>)"
                                R"(<note><pitch><step>B</step><octave>4</octave></pitch><duration>2</duration></note>)"
                                R"(</measure></part></score-partwise>)";
        MainPanel& p = s.panel();
        s.prompt.shown.clear();  // the first start's notice
        // Written after the first start, which puts the built-in voices in place.
        test::writeSyntheticVoice(s.scratch.folder("voices"), "MaleVox", {{"RA", "ら", 64}, {"A", "あ", 64}});
        QVERIFY(!p.action(MainPanel::ExportLyricsMidi)->isEnabled());  // nothing open yet
        // Dropped on the panel, the score asks where the song goes and becomes the open song.
        s.files.answers = {s.dir.file("s.uta")};
        QVERIFY(p.openDropped({QUrl::fromLocalFile(QString::fromStdString(score))}));
        QVERIFY2(s.prompt.shown.empty(), s.prompt.shown.empty() ? "" : s.prompt.shown[0].text.c_str());
        QCOMPARE(s.app->hub().song().songPath(), s.dir.file("s.uta"));
        QCOMPARE(s.app->hub().midiPath(), s.dir.file("s.mid"));
        const VoxEvent* e = s.app->hub().song().event(0, 0);
        QVERIFY(e);
        QCOMPARE(e->codeText(0), std::string("RA"));
        QCOMPARE(e->codeText(1), std::string("A"));
        // ﾌｧｲﾙ → the MIDI file with its lyrics.
        QVERIFY(p.action(MainPanel::ExportLyricsMidi)->isEnabled());
        s.files.answers = {s.dir.file("out.mid")};
        QVERIFY(p.run(MainPanel::ExportLyricsMidi));
        // The user hears that the file is written, and nothing else.
        QCOMPARE(s.prompt.shown.size(), std::size_t(1));
        QVERIFY(s.prompt.shown[0].text.find("out.mid") != std::string::npos);
        std::vector<uint8_t> bytes;
        QCOMPARE(int(readWholeFile(s.dir.file("out.mid"), bytes)), int(ReadStatus::Ok));
        QVERIFY(std::string(bytes.begin(), bytes.end()).find("らあ") != std::string::npos);
        // A karaoke file opens like a MIDI file; a score that cannot be read says why.
        writeBytes(s.dir.file("k.kar"), smallMidi(4));
        QVERIFY(p.openDropped({QUrl::fromLocalFile(QString::fromStdString(s.dir.file("k.kar")))}));
        QCOMPARE(s.app->hub().midiPath(), s.dir.file("k.kar"));
        std::ofstream(s.dir.file("bad.xml")) << "<html/>";
        s.prompt.shown.clear();
        s.files.answers = {s.dir.file("bad.xml"), s.dir.file("bad.uta")};
        QVERIFY(p.run(MainPanel::ImportScore));
        QCOMPARE(s.prompt.shown.size(), std::size_t(1));
        QVERIFY(s.prompt.shown[0].text.find("bad.xml: MusicXMLの楽譜ではありません") != std::string::npos);
        QVERIFY(!std::filesystem::exists(s.dir.file("bad.uta")));
    }

    // A score of several parts asks which part sings, and which verse, before anything is written.
    void aScoreOfSeveralPartsAsksForThePartAndTheVerse() {
        Session s;
        const std::string score = s.dir.file("duet.musicxml");
        auto part = [](const char* id, const std::string& notes) {
            return std::string("<part id=\"") + id + "\"><measure number=\"1\"><attributes><divisions>1</divisions>"
                   "</attributes>" + notes + "</measure></part>";
        };
        auto note = [](const char* step, const std::string& lyrics) {
            return std::string("<note><pitch><step>") + step + "</step><octave>4</octave></pitch><duration>2</duration>" +
                   lyrics + "</note>";
        };
        std::ofstream(score) << R"(<score-partwise><part-list><score-part id="P1"><part-name>Piano</part-name></score-part>)"
                                R"(<score-part id="P2"><part-name>Voice</part-name></score-part></part-list>)" +
                                    part("P1", note("C", "") + note("D", "")) +
                                    part("P2", note("A", R"(<lyric number="1"><text>ら</text></lyric><lyric number="2"><text>あ</text></lyric>)") +
                                                   note("B", R"(<lyric number="1"><text>あ</text></lyric><lyric number="2"><text>ら</text></lyric>)")) +
                                    "</score-partwise>";
        MainPanel& p = s.panel();
        s.prompt.shown.clear();
        test::writeSyntheticVoice(s.scratch.folder("voices"), "MaleVox", {{"RA", "ら", 64}, {"A", "あ", 64}});
        QStringList rows;
        bool verseShown = false;
        auto answer = [&](bool accept) {
            QTimer::singleShot(0, [&, accept] {
                auto* d = qobject_cast<ScorePartDialog*>(QApplication::activeModalWidget());
                if (!d) return;
                rows.clear();
                for (int i = 0; i < d->partList()->topLevelItemCount(); ++i) {
                    const QTreeWidgetItem* item = d->partList()->topLevelItem(i);
                    rows << item->text(0) + "|" + item->text(1) + "|" + item->text(2);
                }
                verseShown = d->verses()->isVisibleTo(d);
                d->verses()->setCurrentIndex(1);
                if (accept) d->accept();
                else d->reject();
            });
        };
        answer(false);  // cancelled: nothing asked further, nothing written
        s.files.answers = {score};
        QVERIFY(p.run(MainPanel::ImportScore));
        QCOMPARE(rows, QStringList({"1. Piano|2|なし", "2. Voice|2|あり（1,2番）"}));
        QVERIFY(verseShown);
        QVERIFY(!std::filesystem::exists(s.dir.file("duet.uta")));
        answer(true);
        s.files.answers = {score, s.dir.file("duet.uta")};
        QVERIFY(p.run(MainPanel::ImportScore));
        QVERIFY2(s.prompt.shown.empty(), s.prompt.shown.empty() ? "" : s.prompt.shown[0].text.c_str());
        QCOMPARE(s.app->hub().song().songPath(), s.dir.file("duet.uta"));
        const VoxEvent* e = s.app->hub().song().event(1, 0);  // the voice, on channel 2, verse 2
        QVERIFY(e);
        QCOMPARE(e->codeText(0), std::string("A"));
    }

    // Every way of opening a song or a MIDI file opens the channel list, and the old song's
    // score windows go with the old list: the command line, drag and drop, the recent files,
    // "ﾌｧｲﾙ" → open song and open MIDI.
    void everyOpenShowsTheChannelListAndDropsTheOldScores() {
        Session s;
        writeBytes(s.dir.file("b.mid"), smallMidi(4));
        {
            // The command line.
            AppOptions o;
            test::RecordingPrompt prompt;
            ScriptedFileChooser files;
            o.prompt = &prompt;
            o.files = &files;
            o.panelDelayMs = 0;
            o.startFile = s.dir.file("a.mid");
            KantorApp started(std::move(o));
            MainPanel* p = started.showPanel();
            QWidget* list = p->window(MainPanel::ChannelList);
            QVERIFY(list && list->isVisible());
            p->close();
        }
        MainPanel& p = s.panel();
        s.prompt.answer = PromptAnswer::No;  // the save question: go on without saving
        auto list = [&p] { return qobject_cast<ChannelListWindow*>(p.window(MainPanel::ChannelList)); };
        auto scoreOfOldSong = [&]() -> QPointer<ChannelScoreWindow> {
            ChannelListWindow* l = list();
            return l ? l->openScore(0, 0, 0) : nullptr;
        };
        auto listShownWithoutScores = [&] {
            QApplication::processEvents();
            ChannelListWindow* l = list();
            return l && l->isVisible() && !l->scoreWindow(0);
        };
        // Drag and drop.
        QVERIFY(p.openDropped({QUrl::fromLocalFile(QString::fromStdString(s.dir.file("a.mid")))}));
        QVERIFY(listShownWithoutScores());
        QPointer<ChannelScoreWindow> old = scoreOfOldSong();
        QVERIFY(old && old->isVisible());
        QVERIFY(p.openDropped({QUrl::fromLocalFile(QString::fromStdString(s.dir.file("b.mid")))}));
        QVERIFY(listShownWithoutScores());
        QVERIFY(!old);
        // The recent files: entry 2 is a.mid.
        old = scoreOfOldSong();
        list()->close();
        QApplication::processEvents();
        QVERIFY(!old);
        p.run(102);
        QCOMPARE(s.app->hub().midiPath(), s.dir.file("a.mid"));
        QVERIFY(listShownWithoutScores());
        // "ﾌｧｲﾙ" → open song, on a song saved from a.mid.
        old = scoreOfOldSong();
        QVERIFY(s.app->hub().session().saveSong(s.app->hub().midiPath(), s.dir.file("a.uta")));
        s.files.answers = {s.dir.file("a.uta")};
        p.run(MainPanel::OpenSong);
        QCOMPARE(s.app->hub().song().songPath(), s.dir.file("a.uta"));
        QVERIFY(listShownWithoutScores());
        QVERIFY(!old);
        // "ﾌｧｲﾙ" → open MIDI.
        old = scoreOfOldSong();
        s.files.answers = {s.dir.file("b.mid")};
        p.run(MainPanel::NewSong);
        QCOMPARE(s.app->hub().midiPath(), s.dir.file("b.mid"));
        QVERIFY(listShownWithoutScores());
        QVERIFY(!old);
    }

    // The standard buttons speak Japanese beside the program's own texts, the [OK]/[ｷｬﾝｾﾙ]
    // question has those two buttons, and the effect libraries' error box the stop icon.
    void standardTextsAndQuestionButtons() {
        QVERIFY(installQtTranslations());
        QMessageBox box(QMessageBox::Question, "t", "x", QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(box.button(QMessageBox::Yes)->text().remove('&').remove(QRegularExpression("\\(.*\\)")), QString("はい"));
        QCOMPARE(noticeIcon("外部ｴﾌｪｸﾀ・ｴﾗｰ"), QMessageBox::Critical);
        QCOMPARE(noticeIcon("Error"), QMessageBox::Critical);
        QCOMPARE(noticeIcon("確認"), QMessageBox::Information);
        QtPrompt prompt;
        QStringList buttons;
        QTimer::singleShot(0, [&] {
            auto* shown = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!shown) return;
            for (QAbstractButton* b : shown->buttons()) buttons << b->text();
            shown->button(QMessageBox::Cancel)->click();
        });
        QCOMPARE(int(prompt.askOkCancel("確認", makertextDuplicate())), int(PromptAnswer::Cancel));
        buttons.sort();
        QCOMPARE(buttons.size(), 2);
        QVERIFY(buttons.contains("ｷｬﾝｾﾙ"));
        QVERIFY(buttons.contains("OK"));
    }

    void soundQualityAndMidiOutputDialogs() {
        SoundQualityDialog q(4);
        QCOMPARE(int(q.qualityCode()), 4);
        q.rates()->button(2)->click();
        QCOMPARE(int(q.qualityCode()), 8);
        SoundQualityDialog odd(11);  // an 8-bit stereo code shows as 16-bit mono at its rate
        QCOMPARE(int(odd.qualityCode()), 8);
        QVERIFY(!odd.keepFormants());

        Session s;
        s.app->hub().startUp();
        MidiOutputDialog d(s.app->context());
        QVERIFY(d.embedded()->isChecked());
        d.alsa()->setChecked(true);
        d.port()->setText("not a port");
        d.accept();  // refused with a warning, the choice unchanged
        QCOMPARE(s.count("ALSA のポートは「クライアント:ポート」で入力してください。（例 128:0）"), 1);
        QVERIFY(s.app->hub().midiOutput().embedded());
        d.port()->setText("128:0");
        d.accept();
        QCOMPARE(QString::fromStdString(s.app->hub().midiOutput().alsaPort), QString("128:0"));
        QCOMPARE(QString::fromStdString(MidiOutputChoice::load(s.app->hub().midiOutputPath()).alsaPort),
                 QString("128:0"));
    }

    void soundQualityKeepsTheFormantsChoiceAndAppliesIt() {
        Session s;
        s.app->hub().startUp();
        MainPanel& p = s.panel();
        Hub& hub = s.app->hub();
        QCOMPARE(hub.pitchMode(), PitchMode::Resample);
        QVERIFY(hub.openMidi(s.dir.file("a.mid")));
        {
            // The dialog shows the hub's choice; OK applies the box and keeps it in render.conf.
            SoundQualityDialog d(hub.settings().outputQualityCode(), hub.pitchMode() == PitchMode::KeepFormants);
            QVERIFY(!d.formants()->isChecked());
            QCOMPARE(d.formants()->text(), QString("フォルマントを保つ (PSOLA)"));
            d.formants()->click();
            QVERIFY(d.keepFormants());
            p.applySoundQuality(d);
        }
        QCOMPARE(hub.pitchMode(), PitchMode::KeepFormants);
        QCOMPARE(hub.engine().pitchMode(), PitchMode::KeepFormants);
        QVERIFY(RenderChoice::load(hub.renderChoicePath()).keepFormants);
        // A song opened afterwards renders the same way; the next start reads the choice.
        QVERIFY(hub.openMidi(s.dir.file("a.mid")));
        QCOMPARE(hub.engine().pitchMode(), PitchMode::KeepFormants);
        {
            test::RecordingPrompt prompt;
            Hub next(prompt);
            next.startUp();
            QCOMPARE(next.engine().pitchMode(), PitchMode::KeepFormants);
        }
        {
            SoundQualityDialog d(hub.settings().outputQualityCode(), hub.pitchMode() == PitchMode::KeepFormants);
            QVERIFY(d.formants()->isChecked());
            d.formants()->click();
            p.applySoundQuality(d);
        }
        QCOMPARE(hub.engine().pitchMode(), PitchMode::Resample);
        QVERIFY(!RenderChoice::load(hub.renderChoicePath()).keepFormants);
        {
            // "表情をつける" likewise, kept beside the pitch mode.
            SoundQualityDialog d(hub.settings().outputQualityCode(), false, nullptr, false);
            QCOMPARE(d.expression()->text(), QString("表情をつける"));
            d.expression()->click();
            p.applySoundQuality(d);
        }
        QCOMPARE(hub.expressionMode(), ExpressionMode::Auto);
        QCOMPARE(hub.engine().expressionMode(), ExpressionMode::Auto);
        QVERIFY(RenderChoice::load(hub.renderChoicePath()).autoExpression);
        QVERIFY(!RenderChoice::load(hub.renderChoicePath()).keepFormants);
        {
            test::RecordingPrompt prompt;
            Hub next(prompt);
            next.startUp();
            QCOMPARE(next.engine().expressionMode(), ExpressionMode::Auto);
        }
        for (const auto& shown : s.prompt.shown) QVERIFY2(shown.caption != "Error", shown.text.c_str());
    }

    void syncCorrectionKeepsItsValueOnlyOnOk() {
        Session s(HubOptions::Audio::Virtual);
        s.app->hub().startUp();
        if (!s.app->hub().rig()) QSKIP("no SoundFont");
        {
            SyncCorrectionDialog d(s.app->context());
            QCOMPARE(d.valueText(), QString("0 msec"));
            d.step(1);
            QCOMPARE(d.valueText(), QString("+1 msec"));
            d.step(-2);
            QCOMPARE(d.valueText(), QString("-1  msec"));
            d.reject();  // ｷｬﾝｾﾙ: the stored value stays
        }
        QCOMPARE(s.app->hub().settings().midiDelayCorrection(), 0);
        {
            SyncCorrectionDialog d(s.app->context());
            for (int i = 0; i < 600; ++i) d.step(1);  // stops at +500
            QCOMPARE(d.valueText(), QString("+500 msec"));
            d.play();
            QVERIFY(!d.playButton()->isEnabled());
            d.stopPattern();
            d.accept();
        }
        QCOMPARE(s.app->hub().settings().midiDelayCorrection(), 500);
        // Without devices the value can still be read.
        Session off;
        SyncCorrectionDialog d(off.app->context());
        QCOMPARE(d.valueText(), QString("0 msec"));
        QVERIFY(!d.playButton()->isEnabled());
    }

    void effectorWindowRegistersAndChooses() {
        Session s;
        s.app->hub().startUp();
        const std::string echo = std::string(KANTOR_EFFECTS_DIR) + "/echo/echo.ncp";
        {
            EffectorWindow w(s.app->context());
            QCOMPARE(w.windowTitle(), QString("外部エフェクタの設定"));
            s.files.answers = {echo, echo};
            w.registerFile();
            w.registerFile();  // the same path again: selected, not added
            QCOMPARE(w.plugins()->count(), 1);
            QVERIFY(w.effects()->count() >= 3);
            QVERIFY(!w.chosen()->isEnabled());
            w.accept();
        }
        QCOMPARE(int(s.app->hub().settings().pluginFiles().size()), 1);
        EffectorWindow w(s.app->context(), std::array<int32_t, 3>{});
        QCOMPARE(w.windowTitle(), QString("外部エフェクタの選択"));
        w.plugins()->setCurrentRow(0);
        w.effects()->setCurrentRow(1);
        w.model().choose();
        w.accept();
        QCOMPARE(w.references()[0] & 0xFFFF, 1);
        QVERIFY((w.references()[0] >> 16) != 0);
        QCOMPARE(w.references()[1], 0);
    }

    void singleInstance() {
        test::TempDir dir;
        InstanceLock first, second;
        QCOMPARE(int(first.acquire(dir.path())), int(InstanceLock::Result::Acquired));
        QCOMPARE(int(second.acquire(dir.path())), int(InstanceLock::Result::AlreadyRunning));
    }

    void titleAndVolumeWindows() {
        Session s;
        MainPanel& p = s.panel();
        QVERIFY(s.app->hub().openMidi(s.dir.file("a.mid")));
        auto* title = qobject_cast<TitleInfoWindow*>(p.openWindow(MainPanel::TitleWindow));
        QVERIFY(title);
        QCOMPARE(p.openWindow(MainPanel::TitleWindow), title);  // activated, not made again
        TitleInputDialog d(s.app->hub().song().titleInfo());
        QTest::keyClicks(d.field("title"), QString(60, 'x'));
        QCOMPARE(d.field("title")->text().size(), 52);  // the limit holds
        d.field("comment")->setText("ｺﾒﾝﾄ");
        QCOMPARE(QString::fromStdString(d.result().comment), QString("ｺﾒﾝﾄ"));

        auto* vol = qobject_cast<WaveVolumeWindow*>(p.openWindow(MainPanel::WaveVolumeWindow));
        QVERIFY(vol);
        vol->left()->setValue(vol->left()->maximum());  // the top: full volume, both sides with LRSync
        QCOMPARE(int(s.app->hub().settings().waveVolumeLeft()), 65535);
        QCOMPARE(int(s.app->hub().settings().waveVolumeRight()), 65535);
        QCOMPARE(vol->right()->value(), vol->right()->maximum());

        p.run(MainPanel::ReadMe);
        QCOMPARE(s.opened.size(), 1);
        QVERIFY(s.opened[0].endsWith("ReadMe.html"));
    }

    // A user's session: the demo song opens, plays from the top on the null device with
    // positions and lyric lines arriving on the counters, pauses, stops, and its WAV export
    // through the panel equals the command line's render.
    void playTheDemoAndExportIt() {
        Session s(HubOptions::Audio::Null);
        MainPanel& p = s.panel();
        if (!s.app->hub().canPlay() && !s.app->hub().deviceError().empty())
            QSKIP(qPrintable(QString::fromStdString(s.app->hub().deviceError())));
        const std::string demo = s.app->hub().folders().sampleFolder() + names::kDemoSong;
        if (!fileExists(demo)) QSKIP("the built-in demo song is made by release builds");
        QVERIFY(p.openPath(demo));
        if (!s.app->hub().session().voicesNotLoaded().empty()) QSKIP("the built-in voices are made by release builds");
        QVERIFY(s.app->hub().canPlay());
        const QString top = p.positionText();
        QTest::mouseClick(p.button(MainPanel::PlayTop), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(p.positionText() != top, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!p.lyricText().isEmpty(), 5000);
        QCOMPARE(int(s.app->hub().playState()), int(Transport::State::Playing));
        QTest::mouseClick(p.button(MainPanel::Pause), Qt::LeftButton);
        QCOMPARE(int(s.app->hub().playState()), int(Transport::State::Paused));
        const QString paused = p.positionText();
        QTest::qWait(300);
        QCOMPARE(p.positionText(), paused);
        QTest::mouseClick(p.button(MainPanel::Stop), Qt::LeftButton);
        QCOMPARE(int(s.app->hub().playState()), int(Transport::State::Idle));

        s.files.answers = {s.dir.file("panel.wav")};
        s.prompt.shown.clear();
        QTest::mouseClick(p.button(MainPanel::WaveButton), Qt::LeftButton);
        QCOMPARE(int(s.prompt.shown.size()), 1);
        QCOMPARE(QString::fromStdString(s.prompt.shown[0].caption), QString("Wave Info."));
        QVERIFY(QString::fromStdString(s.prompt.shown[0].text).contains("Midi Position : [ "));
        const test::CliResult r = test::runCli({"render", demo, "-o", s.dir.file("cli.wav")});
        QCOMPARE(r.status, 0);
        std::vector<uint8_t> a, b;
        QVERIFY(readWholeFile(s.dir.file("panel.wav"), a) == ReadStatus::Ok);
        QVERIFY(readWholeFile(s.dir.file("cli.wav"), b) == ReadStatus::Ok);
        QVERIFY(a.size() > 44);
        QVERIFY(a == b);
    }
};

QTEST_MAIN(MainPanelTest)
#include "MainPanelTest.moc"
