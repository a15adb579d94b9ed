// The channel list and the channel score windows on the offscreen platform, driven by
// scripted mouse, wheel and key input: zoom steps, clicks that move the position, double
// clicks that open scores, the words on the notes, the settings dialogs and the three auto
// scroll modes while a song plays on the virtual clock.
#include <QApplication>
#include <QShortcut>
#include <QSignalSpy>
#include <QTest>
#include <fstream>

#include "app/ChannelListWindow.h"
#include "app/ChannelScoreWindow.h"
#include "app/ChannelSettingsDialogs.h"
#include "app/KantorApp.h"
#include "app/NoteVoiceWindow.h"
#include "app/WindowPlacement.h"
#include "midi/SmfWriter.h"
#include "song/TestPrompt.h"
#include "support/ScratchFolders.h"
#include "support/SyntheticVoice.h"
#include "support/TempDir.h"

using namespace kantor;
using namespace kantor::app;

namespace {

void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// Channel 1 (index 0) has a note on every beat of `measures` - 1 measures, rising and
// falling over an octave; channel 4 has one note; the others none. The end of the track
// gives a measure table of `measures` measures (4/4, division 480).
std::vector<uint8_t> songMidi(int measures, uint32_t usPerQuarter = 500000) {
    SmfTrack t;
    t.tempo(0, usPerQuarter).timeSignature(0, 4, 2);
    const int beats = (measures - 1) * 4;
    for (int i = 0; i < beats; ++i) t.note(uint32_t(i) * 480, uint32_t(i) * 480 + 400, 0, 60 + (i % 13), 100);
    t.note(0, 1920, 3, 50, 100);
    t.endOfTrack(uint32_t(measures - 1) * 1920);
    return buildSmf(0, 480, {t});
}

struct Session {
    test::ScratchFolders scratch;
    test::TempDir dir;
    test::RecordingPrompt prompt;
    ScriptedFileChooser files;
    std::unique_ptr<KantorApp> app;
    MainPanel* panel = nullptr;
    explicit Session(int measures = 10, HubOptions::Audio audio = HubOptions::Audio::Off, uint32_t tempo = 500000) {
        AppOptions o;
        o.hub.audio = audio;
        o.prompt = &prompt;
        o.files = &files;
        o.panelDelayMs = 0;
        app = std::make_unique<KantorApp>(std::move(o));
        writeBytes(dir.file("a.mid"), songMidi(measures, tempo));
        panel = app->showPanel();
        app->hub().openMidi(dir.file("a.mid"));
    }
    Hub& hub() { return app->hub(); }
    ChannelListWindow* list() {
        panel->run(MainPanel::ChannelList);
        return qobject_cast<ChannelListWindow*>(panel->window(MainPanel::ChannelList));
    }
};

// The centre of measure `m` (index) of channel c in the list's grid.
QPoint cellCentre(ChannelListWindow* w, long m, int c, double fraction = 0.5) {
    ChannelGridView* v = w->view();
    const QRect g = v->gridRect();
    const MeasureSpan s = v->span();
    const RowSpan r = v->rows();
    const double colW = double(g.width()) / s.count;
    const double rowH = double(g.height()) / r.count;
    return QPoint(int(g.left() + (m - s.first + fraction) * colW), int(g.top() + (c - r.first + 0.5) * rowH));
}

// The centre of an event's note in a score.
QPoint noteCentre(ChannelScoreWindow* w, const VoxEvent& e) {
    ScoreView* v = w->view();
    const MeasureAxis a = v->axis();
    const KeyAxis k = v->keyAxis();
    const double x = (a.xOf(e.startTick) + a.xOf(e.endTick)) / 2;
    return QPoint(int(x), int(k.yOf(int(e.noteKey)) + k.rowHeight() / 2));
}

}  // namespace

class ChannelWindowsTest : public QObject {
    Q_OBJECT
private slots:
    void theListOpensFromThePanelAndZoomsInItsSteps() {
        Session s(10);
        QVERIFY(s.panel->action(MainPanel::ChannelList)->isEnabled());
        ChannelListWindow* w = s.list();
        QVERIFY(w);
        QCOMPARE(w->windowTitle(), QString("ChList"));
        w->resize(800, 400);
        // Ten measures: at most nine are shown.
        QCOMPARE(w->view()->span(), (MeasureSpan{0, 9}));
        QVERIFY(w->press(ChannelListWindow::FewerMeasures));
        QCOMPARE(w->view()->span().count, 4);
        w->press(ChannelListWindow::MoreMeasures);
        QCOMPARE(w->view()->span().count, 8);
        w->press(ChannelListWindow::MoreMeasures);
        QCOMPARE(w->view()->span().count, 9);
        for (int i = 0; i < 3; ++i) w->press(ChannelListWindow::FewerMeasures);
        QCOMPARE(w->view()->span().count, 2);  // 9 -> 4 -> 3 -> 2
        w->press(ChannelListWindow::FewerMeasures);
        w->press(ChannelListWindow::FewerMeasures);
        QCOMPARE(w->view()->span().count, 1);
        // The scroll bar covers the measures that fit.
        QCOMPARE(w->measureBar()->maximum(), 8);
        w->measureBar()->setValue(5);
        QCOMPARE(w->view()->span().first, 5);
        // Rows: one fewer at a time, never below one, and back up to sixteen.
        for (int i = 0; i < 20; ++i) w->press(ChannelListWindow::FewerRows);
        QCOMPARE(w->view()->rows().count, 1);
        w->rowBar()->setValue(15);
        w->press(ChannelListWindow::MoreRows);
        QCOMPARE(w->view()->rows(), (RowSpan{14, 2}));
        // Ctrl+wheel zooms, the wheel scrolls.
        w->press(ChannelListWindow::MoreMeasures);
        const MeasureSpan before = w->view()->span();
        w->handleWheel(1, Qt::ControlModifier);
        QCOMPARE(w->view()->span().count, fewerMeasures(before).count);
        w->handleWheel(-1, Qt::NoModifier);
        QCOMPARE(w->view()->span().first, std::min(before.first + 1, 9 - w->view()->span().count));
    }

    void aClickMovesTheSongPositionEverywhere() {
        Session s(10);
        ChannelListWindow* w = s.list();
        w->resize(900, 420);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        const auto& m = s.hub().tempoMap().measures();
        QTest::mouseClick(w->view(), Qt::LeftButton, {}, cellCentre(w, 4, 0));
        const double ticksPerPixel = 1920.0 * w->view()->span().count / w->view()->gridRect().width();
        const uint32_t pos = s.hub().currentPosition();
        QVERIFY2(std::abs(double(pos) - (m[4].start + 960)) <= ticksPerPixel + 1, qPrintable(QString::number(pos)));
        QCOMPARE(s.panel->positionText(), QString::fromStdString(s.hub().positionText(pos)));
        QCOMPARE(w->view()->position(), pos);
        QVERIFY(w->view()->cursorShown());
        // A position from the panel's spin reaches the list.
        s.panel->positionSpin()->stepBy(2);
        QCOMPARE(w->view()->position(), s.hub().currentPosition());
    }

    void doubleClicksOpenScoresOnlyForChannelsWithNotes() {
        Session s(10);
        bool lyric = false, wave = false;
        s.panel->setWindowFactory(MainPanel::LyricWindow, [&](MainPanel& panel) -> QWidget* {
            lyric = true;
            return new QWidget(&panel, Qt::Window);
        });
        ChannelListWindow* w = s.list();
        w->resize(900, 420);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        // Channel 2 has no notes: nothing opens.
        QTest::mouseDClick(w->view(), Qt::LeftButton, {}, cellCentre(w, 0, 1));
        QVERIFY(!w->scoreWindow(1));
        QVERIFY(!s.hub().song().isVoxChannel(1));
        // Channel 1 becomes a vocal channel and its score opens at the clicked measure.
        QVERIFY(!s.hub().song().modified());
        QTest::mouseDClick(w->view(), Qt::LeftButton, {}, cellCentre(w, 3, 0));
        ChannelScoreWindow* score = w->scoreWindow(0);
        QVERIFY(score);
        QCOMPARE(score->windowTitle(), QString("ChScore ( 1 )"));
        QVERIFY(s.hub().song().isVoxChannel(0));
        QVERIFY(s.hub().song().modified());
        // Scrolled to the clicked measure as far as the song allows, the position on it.
        QVERIFY(score->view()->axis().shows(s.hub().tempoMap().measures()[3].start));
        QCOMPARE(score->view()->position(), s.hub().currentPosition());
        // The header: lyric input, and with Ctrl the wave insertion.
        QTest::mouseDClick(w->view(), Qt::LeftButton, {}, QPoint(w->view()->gridRect().left() + 20, 4));
        QVERIFY(lyric);
        QVERIFY(w->canRun(ChannelListWindow::WaveInsert));
        s.panel->setWindowFactory(MainPanel::WaveInsertWindow, [&](MainPanel& panel) -> QWidget* {
            wave = true;
            return new QWidget(&panel, Qt::Window);
        });
        QTest::mouseDClick(w->view(), Qt::LeftButton, Qt::ControlModifier, QPoint(w->view()->gridRect().left() + 20, 4));
        QVERIFY(wave);
        // The context menu: the song settings and the lists.
        QMenu* menu = w->contextMenu();
        QCOMPARE(menu->actions().size(), 4);
        QCOMPARE(menu->actions()[0]->text(), QString("ｿﾝｸﾞﾃﾞﾌｫﾙﾄの設定(&D)"));
        QVERIFY(menu->actions()[0]->isEnabled());  // the song settings window is there
        QVERIFY(menu->actions()[1]->isEnabled());
        // A new song closes scores of channels that are not vocal in it.
        QVERIFY(s.hub().openMidi(s.dir.file("a.mid")));
        QTRY_VERIFY(!w->scoreWindow(0));
    }

    void aChannelOfAKaraokeFileOffersItsLyrics() {
        Session s(10);
        test::writeSyntheticVoice(s.scratch.folder("voices"), "MaleVox", {{"SA", "さ", 64}, {"KU", "く", 64}});
        // Channel 4's single note and channel 1's first two carry lyric events.
        SmfTrack t, words;
        t.tempo(0, 500000);
        t.note(0, 400, 0, 60, 100).note(480, 880, 0, 62, 100).note(960, 1360, 0, 64, 100).note(0, 1920, 3, 50, 100);
        words.text(0, 5, "さ").text(480, 5, "く");
        writeBytes(s.dir.file("k.kar"), buildSmf(1, 480, {t, words}));
        QVERIFY(s.hub().openMidi(s.dir.file("k.kar")));
        ChannelListWindow* w = s.list();
        s.prompt.shown.clear();
        s.prompt.answer = PromptAnswer::No;
        QVERIFY(w->openScore(3, 0, 0));  // the lyrics of the only track that has them
        QCOMPARE(s.prompt.shown.size(), std::size_t(1));
        QCOMPARE(s.prompt.shown[0].caption, std::string("確認"));
        QVERIFY(s.prompt.shown[0].text.find("ﾁｬﾝﾈﾙ 4") != std::string::npos);
        QVERIFY(!s.hub().song().event(3, 0)->hasSyllable());  // declined: nothing taken
        s.prompt.answer = PromptAnswer::Yes;
        QVERIFY(w->openScore(0, 0, 0));
        // The question, then what the lyrics left (the third note, after a rest, stays silent).
        QCOMPARE(s.prompt.shown.size(), std::size_t(3));
        QVERIFY(s.prompt.shown[2].text.find("ﾁｬﾝﾈﾙ") == std::string::npos);
        const Song& song = s.hub().song();
        QCOMPARE(song.event(0, 0)->codeText(0), std::string("SA"));
        QCOMPARE(song.event(0, 1)->codeText(0), std::string("KU"));
        QVERIFY(!song.event(0, 2)->hasSyllable());
        QVERIFY(song.event(0, 0)->phraseIndex != 0);
        QVERIFY(song.modified());
        // A channel without lyrics (none in its file) is not asked about.
        QVERIFY(s.hub().openMidi(s.dir.file("a.mid")));
        s.prompt.shown.clear();
        QVERIFY(s.list()->openScore(0, 0, 0));
        QVERIFY(s.prompt.shown.empty());
    }

    void theScoreSelectsNotesByClickAndArrowKeys() {
        Session s(10);
        ChannelListWindow* w = s.list();
        std::vector<std::pair<int, std::size_t>> selected;
        w->hooks().noteSelected = [&](int c, std::size_t e) {
            selected.emplace_back(c, e);
            return true;
        };
        ChannelScoreWindow* score = w->openScore(0, 0, 0);
        QVERIFY(score);
        score->resize(900, 520);
        QVERIFY(QTest::qWaitForWindowExposed(score));
        const Song& song = s.hub().song();
        const VoxEvent& third = *song.event(0, 2);
        QTest::mouseClick(score->view(), Qt::LeftButton, {}, noteCentre(score, third));
        QCOMPARE(score->view()->selected(), 2L);
        QCOMPARE(selected.size(), std::size_t(1));
        QCOMPARE(selected[0], (std::pair<int, std::size_t>{0, 2}));
        QCOMPARE(s.hub().currentPosition(), third.startTick);
        QCOMPARE(w->view()->position(), third.startTick);
        QVERIFY(score->statusLine()->text().contains(QString::fromStdString(noteName(int(third.noteKey)))));
        // Arrow keys move the selection; at the first note Left stays.
        QTest::keyClick(score->view(), Qt::Key_Right);
        QCOMPARE(score->view()->selected(), 3L);
        QCOMPARE(s.hub().currentPosition(), song.event(0, 3)->startTick);
        QTest::keyClick(score->view(), Qt::Key_Home);
        QTest::keyClick(score->view(), Qt::Key_Left);
        QCOMPARE(score->view()->selected(), 0L);
        // End goes to the last note and scrolls it into view.
        QTest::keyClick(score->view(), Qt::Key_End);
        const long last = long(song.channel(0).events.size()) - 1;
        QCOMPARE(score->view()->selected(), last);
        QVERIFY(score->view()->axis().shows(song.event(0, std::size_t(last))->startTick));
        QCOMPARE(int(selected.size()), 4);
        // A click on empty space moves the position, not the selection.
        const MeasureAxis a = score->view()->axis();
        QTest::mouseClick(score->view(), Qt::LeftButton, {}, QPoint(a.left + 3, score->view()->noteRect().top() + 2));
        QCOMPARE(score->view()->selected(), last);
        QCOMPARE(int(selected.size()), 4);
        // Ctrl+wheel zooms, the key zoom steps, and the batch commands need a selection.
        const int count = score->view()->span().count;
        score->handleWheel(-1, Qt::ControlModifier);
        QVERIFY(score->view()->span().count > count);
        const KeySpan keys = score->view()->keys();
        score->press(ChannelScoreWindow::MoreKeys);
        QCOMPARE(score->view()->keys().count, moreKeys(keys).count);
        int batch = 0;
        w->hooks().commands[ChannelScoreWindow::NoteBatch] = [&](int c, long e) { batch += (c == 0 && e == last); };
        QVERIFY(score->runCommand(ChannelScoreWindow::NoteBatch));
        QCOMPARE(batch, 1);
        // A command without its window is refused.
        w->hooks().commands.erase(ChannelScoreWindow::PhraseBatch);
        QVERIFY(!score->runCommand(ChannelScoreWindow::PhraseBatch));
    }

    // The score shows the note the note voice window shows: a click opens the window on the
    // note, F4/F5 there move the score's frame, and a note the window refuses (its code does
    // not commit) leaves the score's selection, which the batch commands act on, where it was.
    void theScoreFollowsTheNoteVoiceWindow() {
        Session s(10);
        ChannelListWindow* w = s.list();
        ChannelScoreWindow* score = w->openScore(0, 0, 0);
        QVERIFY(score);
        score->resize(900, 520);
        QVERIFY(QTest::qWaitForWindowExposed(score));
        const Song& song = s.hub().song();
        QTest::mouseClick(score->view(), Qt::LeftButton, {}, noteCentre(score, *song.event(0, 2)));
        NoteVoiceWindow* nv = NoteVoiceWindow::of(0);
        QVERIFY(nv);
        QCOMPARE(nv->note(), std::size_t(2));
        QCOMPARE(score->view()->selected(), 2L);
        QVERIFY(nv->next());
        QCOMPARE(score->view()->selected(), 3L);
        QCOMPARE(nv->noteNameLabel()->text(), QString("D3#"));  // key 63, named as the scale names it
        QCOMPARE(s.hub().currentPosition(), song.event(0, 3)->startTick);
        QVERIFY(nv->next());
        QVERIFY(nv->previous());
        QVERIFY(nv->previous());
        QCOMPARE(score->view()->selected(), 2L);
        // Many steps on, the note comes into the score's view.
        for (int i = 0; i < 20; ++i) QVERIFY(nv->next());
        QCOMPARE(score->view()->selected(), 22L);
        QVERIFY(score->view()->axis().shows(song.event(0, 22)->startTick));
        // A code the phrase's voice does not know: the window refuses to leave the note.
        nv->codeEdit(0)->setText("XQ");
        s.prompt.shown.clear();
        score->selectNote(5);
        QCOMPARE(nv->note(), std::size_t(22));
        QCOMPARE(score->view()->selected(), 22L);
        QCOMPARE(int(s.prompt.shown.size()), 1);
        QTest::keyClick(score->view(), Qt::Key_Right);
        QCOMPARE(score->view()->selected(), 22L);
        int batch = -1;
        w->hooks().commands[ChannelScoreWindow::NoteBatch] = [&](int, long e) { batch = int(e); };
        QVERIFY(score->runCommand(ChannelScoreWindow::NoteBatch));
        QCOMPARE(batch, 22);
        nv->codeEdit(0)->setText("");
        QVERIFY(score->selectNote(5));
        QCOMPARE(nv->note(), std::size_t(5));
        QCOMPARE(score->view()->selected(), 5L);
        nv->close();
    }

    // The score keeps the keyboard: with the note voice window open, real key presses in the
    // score move the selection, the window follows without taking the keys, and F4/F5 there
    // move the same selection. The window comes up beside the score, not over it, and keeps
    // the place the user gives it.
    void theScoreKeepsTheKeyboardWithTheNoteVoiceWindowOpen() {
        Session s(10);
        ChannelListWindow* w = s.list();
        ChannelScoreWindow* score = w->openScore(0, 0, 0);
        QVERIFY(score);
        score->resize(520, 220);
        score->move(0, 0);
        score->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(score));
        const Song& song = s.hub().song();
        QTest::mouseClick(score->view(), Qt::LeftButton, {}, noteCentre(score, *song.event(0, 2)));
        NoteVoiceWindow* nv = NoteVoiceWindow::of(0);
        QVERIFY(nv);
        QVERIFY(nv->isVisible());
        QCOMPARE(nv->note(), std::size_t(2));
        QTRY_VERIFY(score->isActiveWindow());
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(score->view()));
        // Beside the score: clear of it and on the screen.
        QVERIFY(!nv->frameGeometry().intersects(score->frameGeometry()));
        const WindowRect desk = desktopRect(score);
        QVERIFY(nv->frameGeometry().left() >= desk.left && nv->frameGeometry().top() >= desk.top);
        auto step = [&](Qt::Key key, long expected) {
            QTest::keyClick(score->view(), key);
            QCOMPARE(score->view()->selected(), expected);
            QCOMPARE(nv->note(), std::size_t(expected));
            QTRY_VERIFY(score->isActiveWindow());
            QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(score->view()));
        };
        for (long n = 3; n <= 7; ++n) step(Qt::Key_Right, n);
        for (long n = 6; n >= 5; --n) step(Qt::Key_Left, n);
        const long last = long(song.channel(0).events.size()) - 1;
        step(Qt::Key_End, last);
        step(Qt::Key_Home, 0);
        // The same selection from the note voice window's keys (its F4 and F5 shortcuts).
        auto press = [&](Qt::Key key) {
            for (QShortcut* shortcut : nv->findChildren<QShortcut*>())
                if (shortcut->key() == QKeySequence(key)) emit shortcut->activated();
        };
        press(Qt::Key_F5);
        press(Qt::Key_F5);
        QCOMPARE(nv->note(), std::size_t(2));
        QCOMPARE(score->view()->selected(), 2L);
        press(Qt::Key_F4);
        QCOMPARE(score->view()->selected(), 1L);
        // Back in the score the arrows go on from there.
        score->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(score));
        score->view()->setFocus();
        step(Qt::Key_Right, 2);
        // Closed, the first Right opens it again, still without taking the keys.
        nv->close();
        QTRY_VERIFY(!NoteVoiceWindow::of(0));
        QTest::keyClick(score->view(), Qt::Key_Right);
        nv = NoteVoiceWindow::of(0);
        QVERIFY(nv);
        QCOMPARE(nv->note(), std::size_t(3));
        QTRY_VERIFY(score->isActiveWindow());
        // Never moved, it stored no place and comes beside the score again; moved, it keeps
        // the user's place.
        QVERIFY(s.hub().settings().windowRect(WindowKind::NoteVoice, 0).isEmpty());
        nv->move(nv->pos() + QPoint(0, -40));
        const QPoint moved = nv->pos();
        nv->close();
        QTRY_VERIFY(!NoteVoiceWindow::of(0));
        QTest::keyClick(score->view(), Qt::Key_Right);
        nv = NoteVoiceWindow::of(0);
        QVERIFY(nv);
        QCOMPARE(nv->pos(), moved);
        nv->close();
    }

    // The measure zoom keeps the selected note (else the position) where it was on the screen.
    void theZoomKeepsTheSelectionInPlace() {
        Session s(40);
        ChannelListWindow* w = s.list();
        w->hooks().noteSelected = [](int, std::size_t) { return true; };
        ChannelScoreWindow* score = w->openScore(0, 0, 0);
        QVERIFY(score);
        score->resize(900, 400);
        const Song& song = s.hub().song();
        score->scrollTo(16, 0);
        QCOMPARE(score->view()->span(), (MeasureSpan{16, 8}));
        // A note in measure 21, beat 3: right of the middle.
        const std::size_t n = 21 * 4 + 2;
        QVERIFY(score->selectNote(long(n)));
        const uint32_t tick = song.event(0, n)->startTick;
        auto place = [&](uint32_t t) {
            const MeasureAxis a = score->view()->axis();
            return (a.xOf(t) - a.left) / a.width;
        };
        // Whole measures allow the place to move by half a measure of the new view at most.
        auto zoomKeeps = [&](int control, uint32_t t) {
            const double before = place(t);
            QVERIFY(score->press(control));
            QVERIFY(score->view()->axis().shows(t));
            const double after = place(t);
            QVERIFY2(std::abs(after - before) <= 0.5 / score->view()->span().count + 1e-9,
                     qPrintable(QString("%1 -> %2").arg(before).arg(after)));
        };
        zoomKeeps(ChannelScoreWindow::FewerMeasures, tick);
        QCOMPARE(score->view()->span().count, 4);
        QVERIFY(score->view()->span().first > 16);
        zoomKeeps(ChannelScoreWindow::FewerMeasures, tick);
        zoomKeeps(ChannelScoreWindow::MoreMeasures, tick);
        zoomKeeps(ChannelScoreWindow::MoreMeasures, tick);
        // No selection: the position keeps its place.
        score->view()->setSelected(-1);
        const uint32_t pos = s.hub().tempoMap().measures()[30].start + 960;
        score->scrollTo(24, pos);
        zoomKeeps(ChannelScoreWindow::FewerMeasures, pos);
        QVERIFY(score->view()->span().first > 24);
        // The pure rule: a tick at the right edge stays at the right edge.
        const auto& m = s.hub().tempoMap().measures();
        QCOMPARE(zoomAround(m, {0, 8}, 4, measureLimit(m.size()), m[7].start + 100), (MeasureSpan{4, 4}));
        QCOMPARE(zoomAround(m, {0, 8}, 4, measureLimit(m.size()), m[20].start), (MeasureSpan{0, 4}));
    }

    // Beside: below when it fits, else to the right, left or above; when nothing fits, the
    // place that covers least of the anchor.
    void theBesidePlaceAvoidsTheAnchor() {
        const QRect desk(0, 0, 1280, 800);
        QCOMPARE(besidePlace(QRect(100, 50, 600, 400), QSize(500, 300), desk), QPoint(100, 450));
        QCOMPARE(besidePlace(QRect(100, 300, 600, 400), QSize(500, 300), desk), QPoint(700, 300));
        QCOMPARE(besidePlace(QRect(700, 300, 500, 400), QSize(500, 300), desk), QPoint(200, 300));
        QCOMPARE(besidePlace(QRect(0, 400, 1280, 400), QSize(500, 300), desk), QPoint(0, 100));
        // A full-screen anchor: kept on the screen.
        const QPoint p = besidePlace(desk, QSize(500, 300), desk);
        QVERIFY(desk.contains(QRect(p, QSize(500, 300))));
    }

    // With no stored place a score opens centred across the desktop, its top 10 pixels per
    // channel below the channel list's top.
    void aScoreWithNoStoredPlaceStepsDownFromTheList() {
        Session s(10);
        ChannelListWindow* w = s.list();
        w->move(40, 120);
        s.hub().settings().setWindowRect(WindowKind::ChannelScore, {}, 3);
        ChannelScoreWindow* score = w->openScore(3, 0, 0);
        QVERIFY(score);
        const WindowRect desk = desktopRect(score);
        QCOMPARE(score->pos().y(), w->frameGeometry().top() + 40);
        QCOMPARE(score->pos().x(), desk.left + (desk.right - desk.left - score->width()) / 2);
    }

    void wordsShowInKanaOrRomajiAsTheSettingsSay() {
        Session s(10);
        ChannelListWindow* w = s.list();
        ChannelScoreWindow* score = w->openScore(0, 0, 0);
        QVERIFY(score);
        Song& song = s.hub().song();
        VoxEvent* e = song.event(0, 0);
        e->setCode(0, "KA");
        e->syllableLength[0] = 1;
        e->setCode(1, "N");
        e->syllableLength[1] = 1;
        QVERIFY(song.makePhraseHead(0, 0));
        w->refresh();
        // The kana come from the song's voice, which the build makes in release builds only.
        if (s.hub().voices().findVoice("MaleVox") || s.hub().voices().ensureVoiceLoaded("MaleVox"))
            QCOMPARE(score->view()->wordsOf(0), QString("かん"));
        // The settings dialog: the kana or romaji choice shows only with the words on.
        ChScoreSettingsDialog d(s.hub());
        QVERIFY(d.showWords()->isChecked());
        QVERIFY(!d.wordKindBox()->isHidden());
        d.wordKind()->button(1)->setChecked(true);
        d.scrollMode()->button(2)->setChecked(true);
        d.accept();
        QCOMPARE(s.hub().settings().block().channelScoreVoxWordDisplay, 2);
        QCOMPARE(s.hub().settings().block().channelScoreAutoScrollMode, 2);
        w->applySettings();
        QCOMPARE(score->view()->wordsOf(0), QString("KA N"));
        ChScoreSettingsDialog off(s.hub());
        off.showWords()->setChecked(false);
        QVERIFY(off.wordKindBox()->isHidden());
        off.accept();
        QCOMPARE(s.hub().settings().block().channelScoreVoxWordDisplay, 0);
        w->applySettings();
        QCOMPARE(score->view()->wordsOf(0), QString());
        // Another window replaces the channel's events (a restored backup) while the score
        // still holds its copy: painting takes the channel again instead of reading past it.
        score->view()->setSelected(30);
        song.channel(0).events.resize(3);
        song.channel(0).events[1].reset();
        QVERIFY(!score->view()->grab().isNull());
        QCOMPARE(score->view()->selected(), -1L);
        // The list's dialog.
        ChListSettingsDialog l(s.hub().settings());
        QCOMPARE(l.barPattern()->checkedId(), 0);
        QVERIFY(l.autoScroll()->isChecked());
        l.barPattern()->button(1)->setChecked(true);
        l.colourArea()->button(1)->setChecked(true);
        l.autoScroll()->setChecked(false);
        l.accept();
        QCOMPARE(s.hub().settings().block().channelListBarPattern, 1);
        QCOMPARE(s.hub().settings().block().channelListEventColourArea, 1);
        QCOMPARE(s.hub().settings().block().channelListAutoScroll, 0);
    }

    void autoScrollModesDuringPlay() {
        // 24 measures at a quarter note of 0.1 s: the play crosses three score pages.
        Session s(24, HubOptions::Audio::Virtual, 100000);
        if (!s.hub().rig()) QSKIP("no SoundFont");
        ChannelListWindow* w = s.list();
        ChannelScoreWindow* score = w->openScore(0, 0, 0);
        QVERIFY(score);
        QCOMPARE(score->view()->span(), (MeasureSpan{0, 8}));
        auto playTo = [&](uint32_t tick) {
            // Plays from the top until the list has seen the tick (0.4 s per measure).
            s.hub().setCurrentPosition(0);
            s.hub().playFromTop();
            for (int i = 0; i < 400 && w->view()->position() < tick; ++i) s.hub().rig()->engine().advance(4410);
            QVERIFY(w->view()->position() >= tick);
        };
        const auto& m = s.hub().tempoMap().measures();

        // Always: whole pages.
        s.hub().settings().block().channelScoreAutoScrollMode = 0;
        playTo(m[10].start);
        QCOMPARE(score->view()->span().first, 8);
        QVERIFY(score->view()->cursorShown());
        s.hub().stop();

        // Never: the view stays and the cursor goes when the position leaves it.
        score->scrollTo(0, 0);
        s.hub().settings().block().channelScoreAutoScrollMode = 2;
        playTo(m[10].start);
        QCOMPARE(score->view()->span().first, 0);
        QVERIFY(!score->view()->cursorShown());
        s.hub().stop();

        // While playing: follows the playback...
        score->scrollTo(0, 0);
        s.hub().settings().block().channelScoreAutoScrollMode = 1;
        playTo(m[10].start);
        QCOMPARE(score->view()->span().first, 8);
        s.hub().stop();
        // ...but not a position set by a click in another window.
        score->scrollTo(0, 0);
        w->resize(900, 420);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        w->press(ChannelListWindow::MoreMeasures);
        w->click(w->view()->hitAt(cellCentre(w, 12, 0)));
        QCOMPARE(score->view()->span().first, 0);
        QVERIFY(!score->view()->cursorShown());
        QCOMPARE(score->view()->position(), s.hub().currentPosition());
    }
};

QTEST_MAIN(ChannelWindowsTest)
#include "ChannelWindowsTest.moc"
