// The lyric input, romaji list, mute and solo and wave insertion windows on the offscreen
// platform, with scripted answers to their dialogs.
#include <QApplication>
#include <QTest>
#include <QTimer>
#include <deque>
#include <filesystem>
#include <fstream>

#include "app/EditDialogs.h"
#include "app/KantorApp.h"
#include "app/LyricInputWindow.h"
#include "app/MuteSoloWindow.h"
#include "app/NoteVoiceWindow.h"
#include "app/RomajiListWindow.h"
#include "app/WaveInsertWindow.h"
#include "sound/WavFile.h"
#include "audio/WaveInsertion.h"
#include "midi/SmfWriter.h"
#include "song/LyricList.h"
#include "song/TestPrompt.h"
#include "support/CliRun.h"
#include "support/ScratchFolders.h"
#include "support/SyntheticVoice.h"
#include "support/TempDir.h"
#include "sound/SoundFormat.h"

using namespace kantor;
using namespace kantor::app;

namespace {

void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

void writeWav(const std::string& path, uint16_t bits, uint32_t rate) {
    std::vector<uint8_t> bytes = wavHeader(packFormat(bits, 1), rate, 200);
    bytes.resize(bytes.size() + 200, bits == 8 ? 128 : 0);
    writeBytes(path, bytes);
}

// Answers the questions in turn, then with `answer`.
class QueuePrompt : public test::RecordingPrompt {
public:
    std::deque<PromptAnswer> answers;
    PromptAnswer askYesNo(const std::string& caption, const std::string& text) override {
        shown.push_back({"yesno", caption, text});
        if (answers.empty()) return answer;
        const PromptAnswer a = answers.front();
        answers.pop_front();
        return a;
    }
};

// Notes on the given channels (0-based), one a beat from tick 0; 4/4, then 6/8 from bar 3
// when asked; a MIDI file of eight 4/4 bars otherwise.
std::vector<uint8_t> midiOf(const std::vector<int>& channels, bool sixEight = false) {
    SmfTrack t;
    t.tempo(0, 500000).timeSignature(0, 4, 2);
    if (sixEight) t.timeSignature(3840, 6, 3);
    uint32_t tick = 0;
    for (int c : channels) {
        t.note(tick, tick + 400, c, 69, 100);
        tick += 480;
    }
    t.endOfTrack(1920 * 8);
    return buildSmf(0, 480, {t});
}

struct Session {
    test::ScratchFolders scratch;
    test::TempDir dir;
    QueuePrompt prompt;
    ScriptedFileChooser files;
    std::unique_ptr<KantorApp> app;
    explicit Session(HubOptions::Audio audio = HubOptions::Audio::Off) {
        AppOptions o;
        o.hub.audio = audio;
        o.prompt = &prompt;
        o.files = &files;
        o.panelDelayMs = 0;
        o.openUrl = [](const QString&) {};
        app = std::make_unique<KantorApp>(std::move(o));
        app->hub().startUp();
    }
    Hub& hub() { return app->hub(); }
    AppContext& ctx() { return app->context(); }
    // A song beside its MIDI file; channel `vox` (0-based, or -1) sings "A" on every note.
    std::string song(const std::vector<int>& channels, int vox = -1, bool sixEight = false) {
        std::filesystem::create_directories(dir.file("s"));
        writeBytes(dir.file("s/a.mid"), midiOf(channels, sixEight));
        if (vox < 0) {
            if (!hub().openMidi(dir.file("s/a.mid"))) return {};
            return dir.file("s/a.mid");
        }
        test::writeSyntheticVoice(scratch.folder("voices"), "TestVox", {{"A", "あ", 69}}, 441, 8820);
        std::string line;
        for (int c : channels)
            if (c == vox) line += "A ";
        std::ofstream(dir.file("lyrics.txt")) << line << "\n";
        const auto r = test::runCli({"new", dir.file("s/a.mid"), "-o", dir.file("s/a.uta"), "--vox",
                                     std::to_string(vox + 1), "--lyrics", dir.file("lyrics.txt"), "--voice", "TestVox"});
        if (r.status != 0) qWarning("%s", r.err.c_str());
        if (!hub().openSong(dir.file("s/a.uta"))) return {};
        return dir.file("s/a.uta");
    }
    int count(const std::string& text) const {
        int n = 0;
        for (const auto& s : prompt.shown) n += s.text == text;
        return n;
    }
};

}  // namespace

class ToolWindowsTest : public QObject {
    Q_OBJECT
private slots:
    void thePanelOpensTheWindowsOnceASongIsOpen() {
        Session s;
        MainPanel* p = s.app->showPanel();
        QVERIFY(!p->action(MainPanel::LyricWindow)->isEnabled());
        QVERIFY(!p->action(MainPanel::MuteSolo)->isEnabled());
        QVERIFY(!s.song({0}).empty());
        QVERIFY(p->action(MainPanel::LyricWindow)->isEnabled());
        QVERIFY(p->button(MainPanel::MuteButton)->isEnabled());
        for (auto c : {MainPanel::LyricWindow, MainPanel::MuteSolo, MainPanel::WaveInsertWindow,
                       MainPanel::RomajiListWindow}) {
            QWidget* w = p->openWindow(c);
            QVERIFY(w);
            QCOMPARE(p->openWindow(c), w);  // opened once, raised after
        }
        QCOMPARE(p->window(MainPanel::LyricWindow)->windowTitle(), QString("歌詞入力"));
        QCOMPARE(p->window(MainPanel::WaveInsertWindow)->windowTitle(), QString("Waveﾌｧｲﾙの挿入"));
    }

    void lyricPositionsIn44AndWithASixEightMeasure() {
        Session s;
        QVERIFY(!s.song({0}).empty());
        s.hub().setCurrentPosition(1500);
        LyricInputWindow w(s.ctx());
        QCOMPARE(w.steps().step, 480u);
        QCOMPARE(w.currentPosition(), 1440u);  // rounded to the quarter-note grid, and the song follows
        QCOMPARE(s.hub().currentPosition(), 1440u);
        QCOMPARE(w.positionText(), QString("001 : 4 : 000"));
        w.spin()->stepBy(1);
        QCOMPARE(w.positionText(), QString("002 : 1 : 000"));
        QCOMPARE(s.hub().currentPosition(), 1920u);
        w.spin()->stepBy(-4);
        QCOMPARE(w.positionText(), QString("001 : 1 : 000"));
        w.spin()->stepBy(-1);  // a click below the range is refused
        QCOMPARE(w.currentPosition(), 0u);
        QCOMPARE(s.hub().currentPosition(), 0u);

        Session e;
        QVERIFY(!e.song({0}, -1, true).empty());
        e.hub().setCurrentPosition(3840 + 250);
        LyricInputWindow six(e.ctx());
        QCOMPARE(six.steps().step, 240u);  // an eighth throughout
        QCOMPARE(six.currentPosition(), 4080u);
        QCOMPARE(six.positionText(), QString("003 : 2 : 000"));
        six.spin()->stepBy(-1);
        QCOMPARE(six.positionText(), QString("003 : 1 : 000"));
        six.spin()->stepBy(-1);
        QCOMPARE(six.positionText(), QString("002 : 4 : 240"));  // a 4/4 bar in eighths
    }

    void listInListOutAndDelete() {
        Session s;
        QVERIFY(!s.song({0}).empty());
        LyricInputWindow w(s.ctx());
        w.spin()->stepBy(4);
        w.edit()->setText(" \u3000 ");  // only blanks: nothing happens
        w.listIn();
        QVERIFY(s.hub().song().lyricLines().empty());
        QVERIFY(!s.hub().song().modified());

        w.edit()->setText("さくら さくら  ");
        w.listIn();
        QCOMPARE(s.hub().song().lyricLines().size(), std::size_t(1));
        QCOMPARE(s.hub().song().lyricLines()[0]->text, std::string("さくら さくら"));
        QVERIFY(s.hub().song().modified());
        QCOMPARE(w.list()->selected(), 0);
        QVERIFY(w.edit()->text().isEmpty());

        // The same position: asked, and a No keeps the line.
        s.prompt.answer = PromptAnswer::No;
        w.edit()->setText("やよいの");
        w.listIn();
        QCOMPARE(s.count(lyrictext::kAskReplace), 1);
        QCOMPARE(s.hub().song().lyricLines()[0]->text, std::string("さくら さくら"));
        w.spin()->stepBy(-4);
        w.listIn();
        QCOMPARE(s.hub().song().lyricLines().size(), std::size_t(2));
        QCOMPARE(s.hub().song().lyricLines()[0]->text, std::string("やよいの"));

        // A click on a row moves the position there; List&Out takes the text back.
        w.selectRow(1);
        QCOMPARE(w.currentPosition(), 1920u);
        QCOMPARE(s.hub().currentPosition(), 1920u);
        w.listOut();
        QCOMPARE(w.edit()->text(), QString("さくら さくら"));
        // The rows painted: position text and line.
        QCOMPARE(w.list()->rows()[1].position, QString("002 : 1 : 000"));
        QCOMPARE(w.list()->rows()[1].text, QString("さくら さくら"));

        w.deleteLine();
        QCOMPARE(s.hub().song().lyricLines().size(), std::size_t(1));
        QCOMPARE(w.list()->selected(), -1);
        w.deleteLine();
        QCOMPARE(s.count(lyrictext::kNoSelection), 1);
        QCOMPARE(s.hub().song().lyricLines().size(), std::size_t(1));
        // Typing past the line's 63 bytes is undone.
        w.edit()->setText(QString(63, 'x'));
        w.edit()->setText(QString(64, 'x'));
        QCOMPARE(w.edit()->text().size(), 63);
    }

    void theListScrollsAndThePositionFollowsThePlay() {
        Session s;
        QVERIFY(!s.song({0}).empty());
        for (uint32_t i = 0; i < 30; ++i) putLyric(s.hub().song(), i * 480, "line " + std::to_string(i), {});
        s.hub().setCurrentPosition(480 * 20);
        LyricInputWindow w(s.ctx());
        w.resize(400, 200);
        w.show();
        QCoreApplication::processEvents();
        w.reload();
        const int visible = w.list()->visibleRows();
        QVERIFY(visible < 30);
        QCOMPARE(w.list()->top(), 20 - visible / 2);  // the line at the position stands in the middle
        QCOMPARE(w.list()->selected(), 20);
        QCOMPARE(w.edit()->text(), QString("line 20"));
        // A position announced while playing moves the window onto its grid.
        s.hub().postSongPosition(963);
        QCOMPARE(w.currentPosition(), 960u);
        QCOMPARE(w.positionText(), QString("001 : 3 : 000"));
    }

    void theRomajiListShowsACodeHeldAtTwoRowsOnce() {
        Session s;
        test::writeSyntheticVoice(s.scratch.folder("voices"), "TwoWi",
                                  {{"WI", "うぃ", 69}, {"A", "あ", 69}, {"KA", "か", 69}, {"WI", "ゐ", 60}}, 100, 441);
        RomajiListWindow w(s.ctx());
        w.showVoice("TwoWi");
        QCOMPARE(w.windowTitle(), QString("入力ｺｰﾄﾞ（ﾛｰﾏ字）一覧\u3000「TwoWi」"));
        const auto& e = w.view()->entries();
        QCOMPARE(e.size(), std::size_t(3));
        QCOMPARE(e[0].code, std::string("WI"));
        QCOMPARE(e[0].kana, std::string("うぃ"));
        QCOMPARE(w.view()->firstEntry() % 5, 0);
        w.showVoice("NoSuchVoice");
        QVERIFY(w.view()->entries().empty());
        QCOMPARE(s.prompt.shown.back().caption, std::string("Error"));
    }

    // "入力ﾛｰﾏ字一覧" of the note voice window and of the phrase quick input is the one
    // modeless list of the phrase's voice: the note voice window goes on taking typing, and
    // while the modal quick input is up the list belongs to it (so it can be scrolled), then
    // stays open after it.
    void theRomajiListOpensModelessFromTheNoteAndThePhrase() {
        Session s;
        QVERIFY(!s.song({0, 0, 0}, 0).empty());
        MainPanel* panel = s.app->showPanel();
        // The first start's sync correction window goes first.
        if (QWidget* first = QApplication::activeModalWidget()) first->close();
        QVERIFY(!QApplication::activeModalWidget());
        NoteVoiceWindow* nv = NoteVoiceWindow::open(s.ctx(), 0, 1, panel);
        QVERIFY(nv);
        QVERIFY(!RomajiListWindow::current());
        nv->codeEdit(0)->setText("Q");  // not a code: a modal dialog would have refused
        s.prompt.shown.clear();
        nv->openRomajiList();
        RomajiListWindow* list = RomajiListWindow::current();
        QVERIFY(list);
        QVERIFY(list->isVisible());
        QVERIFY(!list->isModal());
        QVERIFY(!QApplication::activeModalWidget());
        QCOMPARE(list->windowTitle(), QString("入力ｺｰﾄﾞ（ﾛｰﾏ字）一覧\u3000「TestVox」"));
        QCOMPARE(list->view()->entries().size(), std::size_t(1));
        QCOMPARE(list->parentWidget(), static_cast<QWidget*>(panel));
        QCOMPARE(nv->codeEdit(0)->text(), QString("Q"));
        QVERIFY(s.prompt.shown.empty());
        nv->codeEdit(0)->setText("A");
        // Asked again, the same window comes back.
        nv->openRomajiList();
        QCOMPARE(RomajiListWindow::current(), list);

        // From the modal quick input.
        QuickInputDialog d(s.ctx(), 0, 0, nv);
        QWidget* owner = nullptr;
        bool typed = false;
        QTimer::singleShot(0, [&] {
            d.showCodeList();
            owner = RomajiListWindow::current() ? RomajiListWindow::current()->parentWidget() : nullptr;
            d.input()->setText("a a a");
            typed = d.resultText() == "A A A";
            d.reject();
        });
        d.exec();
        QCOMPARE(owner, static_cast<QWidget*>(&d));
        QVERIFY(typed);
        QCOMPARE(RomajiListWindow::current(), list);
        QCOMPARE(list->parentWidget(), static_cast<QWidget*>(panel));
        QVERIFY(list->isVisible());
        nv->close();
        list->close();
    }

    void muteSoloColumnsOfChannelsTwoThreeAndTen() {
        Session s;
        QVERIFY(!s.song({1, 2, 9}).empty());
        MuteSoloWindow w(s.ctx());
        QCOMPARE(w.grid().first, 1);
        QCOMPARE(w.grid().count, 9);
        for (int c = 3; c <= 8; ++c) QVERIFY(!w.grid().available(ChannelFlags::MidiMute, c));
        // Vox cells without a vocal track do nothing.
        QVERIFY(!w.grid().available(ChannelFlags::VoxMute, 2));
        const QRect vox = w.view()->cellRect(ChannelFlags::VoxSolo, 2);
        QTest::mouseClick(w.view(), Qt::LeftButton, {}, vox.center());
        QCOMPARE(s.hub().song().channelFlags(), ChannelFlags{});
        QVERIFY(!s.hub().song().modified());
        // A click on an available cell toggles it and marks the song modified.
        QTest::mouseClick(w.view(), Qt::LeftButton, {}, w.view()->cellRect(ChannelFlags::MidiMute, 9).center());
        QVERIFY(s.hub().song().channelFlags().get(ChannelFlags::MidiMute, 9));
        QVERIFY(s.hub().song().modified());
        QTest::mouseClick(w.view(), Qt::LeftButton, {}, w.view()->cellRect(ChannelFlags::MidiSolo, 2).center());
        QTest::mouseClick(w.view(), Qt::LeftButton, {}, w.view()->cellRect(ChannelFlags::MidiSolo, 1).center());
        // Double click on the "Midi Solo" label: that row only is cleared.
        const QRect label = w.view()->cellRect(ChannelFlags::MidiSolo, w.grid().first).translated(-40, 0);
        QTest::mouseDClick(w.view(), Qt::LeftButton, {}, QPoint(4, label.center().y()));
        QVERIFY(!s.hub().song().channelFlags().anySolo());
        QVERIFY(s.hub().song().channelFlags().get(ChannelFlags::MidiMute, 9));
    }

    void aSavedMuteComesBackWithTheSong() {
        Session s;
        const std::string song = s.song({0, 1}, 0);
        QVERIFY(!song.empty());
        MuteSoloWindow w(s.ctx());
        QVERIFY(w.grid().available(ChannelFlags::VoxMute, 0));
        w.toggle(ChannelFlags::VoxMute, 0);
        QVERIFY(s.hub().save());
        QVERIFY(s.hub().openMidi(s.dir.file("s/a.mid")));  // another file clears the switches
        QCOMPARE(s.hub().song().channelFlags(), ChannelFlags{});
        QVERIFY(s.hub().openSong(song));
        QVERIFY(s.hub().song().channelFlags().get(ChannelFlags::VoxMute, 0));
        QVERIFY(w.grid().available(ChannelFlags::VoxMute, 0));  // refreshed on the open
    }

    void aSoloIsHeardInTheMidiAndAbsentFromTheRender() {
        Session s(HubOptions::Audio::Virtual);
        QVERIFY(!s.song({0, 1, 2}, 2).empty());
        if (!s.hub().canPlay()) QSKIP("no devices to play on");
        MuteSoloWindow w(s.ctx());
        QVERIFY(s.hub().playFromTop());
        QVERIFY(!s.hub().transport()->phrases().empty());  // the vocal of channel 3 sings
        s.hub().stop();
        w.toggle(ChannelFlags::MidiSolo, 2);  // takes effect at the next play
        QVERIFY(s.hub().playFromTop());
        Transport& t = *s.hub().transport();
        for (int c = 0; c < 16; ++c) QCOMPARE(t.effectiveMidiMutes()[c], c != 2);
        QVERIFY(t.effectiveVoxMutes()[2]);
        QVERIFY(t.phrases().empty());  // no vocal without a "Vox Solo" of its own
        s.hub().stop();
    }

    void twoWavesAtOnePositionAndACopyBesideTheMidiFile() {
        Session s;
        QVERIFY(!s.song({0}).empty());
        writeWav(s.dir.file("s/clap.wav"), 16, 22050);
        std::filesystem::create_directories(s.dir.file("other"));
        writeWav(s.dir.file("other/kick.wav"), 16, 44100);
        s.hub().setCurrentPosition(1000);
        WaveInsertWindow w(s.ctx());
        QCOMPARE(w.currentPosition(), 960u);  // a sixteenth note grid to open at
        w.spin()->stepBy(1);
        QCOMPARE(w.currentPosition(), 961u);  // then tick by tick
        w.spin()->stepBy(-1);
        s.files.answers = {s.dir.file("s/clap.wav")};
        w.insertFile();
        QCOMPARE(s.hub().song().waveInserts().size(), std::size_t(1));
        QCOMPARE(w.list()->rows()[0].text, QString("clap.wav"));
        QVERIFY(s.hub().song().modified());

        // Another file at the same position, from another folder: copied (Yes), then the
        // replacement declined (No): the first stays, the copy lies beside the MIDI file.
        s.prompt.answers = {PromptAnswer::Yes, PromptAnswer::No};
        s.files.answers = {s.dir.file("other/kick.wav")};
        w.insertFile();
        QCOMPARE(s.count(wavetext::kMustCopy), 1);
        QCOMPARE(s.count(wavetext::kAskReplace), 1);
        QCOMPARE(s.hub().song().waveInserts()[0]->name, std::string("clap.wav"));
        QVERIFY(std::filesystem::exists(s.dir.file("s/kick.wav")));
        // At a new position it goes in, naming the copy.
        w.spin()->stepBy(120);
        s.prompt.answers = {PromptAnswer::Yes};
        s.files.answers = {s.dir.file("other/kick.wav")};
        s.prompt.answer = PromptAnswer::Yes;  // and the overwrite of the copy made before
        w.insertFile();
        QCOMPARE(s.hub().song().waveInserts().size(), std::size_t(2));
        QCOMPARE(s.hub().song().waveInserts()[1]->path, s.dir.file("s/kick.wav"));
        QCOMPARE(w.list()->selected(), 1);

        w.removeEntry();
        QCOMPARE(s.hub().song().waveInserts().size(), std::size_t(1));
        QCOMPARE(w.list()->selected(), -1);
        w.removeEntry();
        QCOMPARE(s.count(wavetext::kNoSelection), 1);
    }

    void anEightBitFileIsRefusedWhileTheOutputIsSixteenBit() {
        Session s;
        QVERIFY(!s.song({0}).empty());
        writeWav(s.dir.file("s/low.wav"), 8, 22050);
        WaveInsertWindow w(s.ctx());
        s.files.answers = {s.dir.file("s/low.wav")};
        w.insertFile();
        QVERIFY(s.hub().song().waveInserts().empty());
        QCOMPARE(s.prompt.shown.back().caption, std::string("Error"));
        QCOMPARE(s.prompt.shown.back().text, unsupportedFormatText());
        QVERIFY(!s.hub().song().modified());
    }

    void theInsertedFilesAreCheckedWhenTheWindowOpens() {
        Session s;
        QVERIFY(!s.song({0}).empty());
        writeWav(s.dir.file("s/clap.wav"), 16, 22050);
        WaveInsert gone;
        gone.position = 0;
        gone.setPath(s.dir.file("s/gone.wav"));
        s.hub().song().putWaveInsert(gone);
        WaveInsert fine;
        fine.position = 480;
        fine.setPath(s.dir.file("s/clap.wav"));
        s.hub().song().putWaveInsert(fine);
        WaveInsertWindow w(s.ctx());
        QCoreApplication::processEvents();
        QCOMPARE(s.count("Midiﾌｧｲﾙと同じﾌｫﾙﾀﾞに gone.wav が見つかりません。\n"), 1);
        QCOMPARE(s.prompt.shown.size(), std::size_t(1));
        QCOMPARE(s.hub().song().waveInserts().size(), std::size_t(2));  // nothing removed
    }
};

QTEST_MAIN(ToolWindowsTest)
#include "ToolWindowsTest.moc"
