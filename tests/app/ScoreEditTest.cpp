// Writing notes in the score window with real mouse and key events on the offscreen
// platform: draw, drag, stretch, split, delete and undo; the MIDI file written once per edit,
// on release; a drag over a 10,000-note song repainting in time; and the empty song of the
// file menu. KANTOR_SCORE_SHOTS=folder keeps screenshots of the edit mode.
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>
#include <QTest>
#include <fstream>

#include "EnglishScope.h"
#include "app/ChannelListWindow.h"
#include "app/ChannelScoreWindow.h"
#include "app/KantorApp.h"
#include "base/FileIO.h"
#include "midi/SmfWriter.h"
#include "song/TestPrompt.h"
#include "support/ScratchFolders.h"
#include "support/TempDir.h"

using namespace kantor;
using namespace kantor::app;

namespace {

std::vector<uint8_t> bytesOf(const std::string& path) {
    std::vector<uint8_t> b;
    readWholeFile(path, b);
    return b;
}

// `notes` quarter notes on channel 1 (a melody up and down an octave, a syllable each),
// then two empty measures.
std::vector<uint8_t> melody(int notes) {
    SmfTrack conductor, voice;
    conductor.tempo(0, 500000).timeSignature(0, 4, 2);
    for (int i = 0; i < notes; ++i) voice.note(uint32_t(i) * 480, uint32_t(i) * 480 + 460, 0, 64 + (i % 13), 100);
    const uint32_t end = (uint32_t(notes) / 4 + 3) * 1920;
    conductor.endOfTrack(end);
    voice.endOfTrack(end);
    return buildSmf(1, 480, {conductor, voice});
}

struct Session {
    test::ScratchFolders scratch;
    test::TempDir dir;
    test::RecordingPrompt prompt;
    ScriptedFileChooser files;
    std::unique_ptr<KantorApp> app;
    MainPanel* panel = nullptr;
    std::string midi, song;
    explicit Session(int notes = 8) {
        AppOptions o;
        o.prompt = &prompt;
        o.files = &files;
        o.panelDelayMs = 0;
        app = std::make_unique<KantorApp>(std::move(o));
        midi = dir.write("a.mid", melody(notes));
        song = dir.file("a.uta");
        panel = app->showPanel();
        app->hub().openMidi(midi);
        app->hub().session().makeVoxChannel(0);
        const char* codes[] = {"SA", "KU", "RA", "SA", "KU", "RA", "YA", "YO"};
        auto& events = app->hub().song().channel(0).events;
        for (std::size_t i = 0; i < events.size(); ++i) {
            events[i]->setCode(0, codes[i % 8]);
            events[i]->syllableLength[0] = 1;
        }
        app->hub().saveAs(song);
    }
    Hub& hub() { return app->hub(); }
    ChannelScoreWindow* score() {
        panel->run(MainPanel::ChannelList);
        auto* list = qobject_cast<ChannelListWindow*>(panel->window(MainPanel::ChannelList));
        ChannelScoreWindow* w = list ? list->openScore(0, 0, 0) : nullptr;
        if (w) w->resize(900, 520);
        return w;
    }
    std::size_t notes() const { return app->hub().song().channel(0).events.size(); }
    const VoxEvent& event(std::size_t i) const { return *app->hub().song().channel(0).events[i]; }
};

// Where a tick and a key lie in the score.
QPoint at(ChannelScoreWindow* w, uint32_t tick, int key) {
    const MeasureAxis a = w->view()->axis();
    const KeyAxis k = w->view()->keyAxis();
    return QPoint(int(a.xOf(tick)), int(k.yOf(key) + k.rowHeight() / 2));
}

void drag(QWidget* v, QPoint from, QPoint to, Qt::KeyboardModifiers mods = {}) {
    QTest::mousePress(v, Qt::LeftButton, mods, from);
    QTest::mouseMove(v, (from + to) / 2);
    QTest::mouseMove(v, to);
    QTest::mouseRelease(v, Qt::LeftButton, mods, to);
}

void shoot(QWidget* w, const QString& name) {
    const QString folder = qEnvironmentVariable("KANTOR_SCORE_SHOTS");
    if (!folder.isEmpty()) w->grab().save(folder + "/" + name + ".png");
}

}  // namespace

class ScoreEditTest : public QObject {
    Q_OBJECT
private slots:
    void drawDragStretchSplitDeleteAndUndo() {
        Session s;
        ChannelScoreWindow* w = s.score();
        QVERIFY(w);
        QVERIFY(QTest::qWaitForWindowExposed(w));
        ScoreEditController* ed = w->editor();
        QTest::mouseClick(ed->modeButton(), Qt::LeftButton);
        QVERIFY(ed->editMode());
        ed->setGrid(ScoreEditController::Eighth);
        QCOMPARE(ed->gridTicks(), 240u);
        QWidget* v = w->view();
        const auto midi0 = bytesOf(s.midi), song0 = bytesOf(s.song);

        // Draw: a note in the measure after the melody, dragged out to three eighths.
        drag(v, at(w, 3840 + 10, 70), at(w, 3840 + 720 - 20, 70));
        QCOMPARE(s.notes(), 9u);
        QCOMPARE(s.event(8).startTick, 3840u);
        QCOMPARE(s.event(8).endTick, 3840u + 720);
        QCOMPARE(s.event(8).noteKey, 70u);
        QVERIFY(!s.event(8).hasSyllable());
        QCOMPARE(s.event(4).codeText(0), std::string("KU"));
        QCOMPARE(ed->selection(), (std::set<std::size_t>{8}));
        shoot(w, "score-edit-drawn");

        // Drag note 2 an eighth later and a tone up: the file changes once, on release.
        const auto before = bytesOf(s.midi);
        const QPoint from = at(w, 480 + 100, 65), to = at(w, 480 + 100 + 240, 67);
        QTest::mousePress(v, Qt::LeftButton, {}, from);
        QTest::mouseMove(v, (from + to) / 2);
        QTest::mouseMove(v, to);
        QCOMPARE(bytesOf(s.midi), before);
        QCOMPARE(s.event(1).startTick, 480u);
        QTest::mouseRelease(v, Qt::LeftButton, {}, to);
        QVERIFY(bytesOf(s.midi) != before);
        QCOMPARE(s.event(1).startTick, 720u);
        QCOMPARE(s.event(1).noteKey, 67u);
        QCOMPARE(s.event(1).codeText(0), std::string("KU"));
        // The moved note ends where note 3 begins.
        QCOMPARE(s.event(1).endTick, 960u);

        // Stretch the drawn note's end by a quarter note.
        const QPoint end = at(w, s.event(8).endTick, 70) - QPoint(2, 0);
        const int quarter = int(w->view()->axis().xOf(480) - w->view()->axis().xOf(0));
        drag(v, end, end + QPoint(quarter, 0));
        QCOMPARE(s.event(8).endTick, 5040u);

        // Alt+click splits note 1 at the click; the second half sings its vowel.
        QTest::mouseClick(v, Qt::LeftButton, Qt::AltModifier, at(w, 240, 64));
        QCOMPARE(s.notes(), 10u);
        QCOMPARE(s.event(1).startTick, 240u);
        QCOMPARE(s.event(1).codeText(0), std::string("A"));

        // Shift+click adds to the selection; Delete deletes both.
        QTest::mouseClick(v, Qt::LeftButton, Qt::ShiftModifier, at(w, 100, 64));
        QCOMPARE(ed->selection().size(), 2u);
        shoot(w, "score-edit-selection");
        QTest::keyClick(v, Qt::Key_Delete);
        QCOMPARE(s.notes(), 8u);
        QCOMPARE(s.event(0).codeText(0), std::string("KU"));

        // Alt+Up transposes the selected note; Left moves it a grid step earlier.
        ed->setSelection({0});
        QTest::keyClick(v, Qt::Key_Up, Qt::AltModifier);
        QCOMPARE(s.event(0).noteKey, 68u);
        QTest::keyClick(v, Qt::Key_Left);
        QCOMPARE(s.event(0).startTick, 480u);

        // Undo every edit: both files as they were, byte for byte.
        for (int i = 0; i < 7; ++i) QTest::keyClick(v, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(bytesOf(s.midi), midi0);
        QCOMPARE(bytesOf(s.song), song0);
        QCOMPARE(s.notes(), 8u);
        QCOMPARE(s.event(1).codeText(0), std::string("KU"));
    }

    void aDragOverTenThousandNotesRepaintsInTime() {
        Session s(10000);
        ChannelScoreWindow* w = s.score();
        QVERIFY(w);
        QVERIFY(QTest::qWaitForWindowExposed(w));
        w->scrollTo(1200, 1200 * 1920);
        ScoreEditController* ed = w->editor();
        ed->setEditMode(true);
        QWidget* v = w->view();
        const uint32_t t0 = 1200 * 1920;
        const auto before = bytesOf(s.midi);
        const QPoint from = at(w, t0 + 100, int(s.event(4800).noteKey));
        QVERIFY(s.event(4800).startTick == t0);
        QTest::mousePress(v, Qt::LeftButton, {}, from);
        qint64 worst = 0;
        for (int i = 1; i <= 30; ++i) {
            QTest::mouseMove(v, from + QPoint(i * 4, (i % 5) * 3));
            QElapsedTimer t;
            t.start();
            v->repaint();
            worst = std::max(worst, t.nsecsElapsed());
            QCOMPARE(bytesOf(s.midi).size(), before.size());
        }
        // Dropped two keys lower at its own time.
        QTest::mouseRelease(v, Qt::LeftButton, {}, from + QPoint(0, int(2 * w->view()->keyAxis().rowHeight())));
        qInfo("slowest repaint during the drag: %.2f ms", double(worst) / 1e6);
        // The 16 ms target is a figure to read above (on an idle machine, about 2 ms); the bound
        // here only catches a repaint that does work in proportion to the song, and holds on
        // a loaded machine and under the sanitizers.
        QVERIFY2(worst < 250'000'000, qPrintable(QString("a repaint took %1 ms").arg(double(worst) / 1e6)));
        QVERIFY(bytesOf(s.midi) != before);
        QCOMPARE(s.notes(), 10000u);
    }

    // With KANTOR_SCORE_SHOTS set: the edit mode with a selection and a drag, in both languages.
    void screenshots() {
        if (qEnvironmentVariable("KANTOR_SCORE_SHOTS").isEmpty()) QSKIP("KANTOR_SCORE_SHOTS not set");
        for (const bool english : {false, true}) {
            std::unique_ptr<EnglishScope> en;
            if (english) en = std::make_unique<EnglishScope>();
            Session s(40);
            ChannelScoreWindow* w = s.score();
            QVERIFY(w);
            QVERIFY(QTest::qWaitForWindowExposed(w));
            w->editor()->setEditMode(true);
            w->editor()->setSelection({1, 2, 3});
            const QString lang = english ? "en" : "ja";
            shoot(w, "score-edit-selection-" + lang);
            const QPoint from = at(w, 480 + 100, int(s.event(1).noteKey));
            QTest::mousePress(w->view(), Qt::LeftButton, {}, from);
            QTest::mouseMove(w->view(), from + QPoint(60, -20));
            shoot(w, "score-edit-drag-" + lang);
            QTest::mouseRelease(w->view(), Qt::LeftButton, {}, from + QPoint(60, -20));
        }
    }

    void theFileMenuMakesAnEmptySongToWriteInto() {
        Session s;
        const std::string path = s.dir.file("new.uta");
        s.files.answers = {path};
        // The dialog is answered with its defaults.
        QTimer::singleShot(0, [] {
            for (QWidget* top : QApplication::topLevelWidgets())
                if (auto* d = qobject_cast<QDialog*>(top); d && d->isVisible()) d->accept();
        });
        QVERIFY(s.panel->run(MainPanel::NewEmptySong));
        QCOMPARE(s.hub().song().songPath(), path);
        QVERIFY(fileExists(s.dir.file("new.mid")));
        auto* list = qobject_cast<ChannelListWindow*>(s.panel->window(MainPanel::ChannelList));
        QVERIFY(list);
        ChannelScoreWindow* w = list->scoreWindow(0);
        QVERIFY(w);
        QVERIFY(w->editor()->editMode());
        w->resize(900, 520);
        QVERIFY(QTest::qWaitForWindowExposed(w));
        drag(w->view(), at(w, 10, 72), at(w, 470, 72));
        QCOMPARE(s.notes(), 1u);
        QCOMPARE(s.event(0).noteKey, 72u);
        shoot(w, "score-edit-empty");
    }
};

QTEST_MAIN(ScoreEditTest)
#include "ScoreEditTest.moc"
