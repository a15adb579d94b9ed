// The note voice window on a 2,000-note channel (a five-minute song at 160 beats a minute),
// offscreen: typing a syllable into the first slot and pressing F5 — the commit into the
// note with its undo step, the step to the next note and the window's reload. Each step is
// timed; the median and the worst are printed against the 16 ms target.
#include <QApplication>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <vector>

#include "app/KantorApp.h"
#include "app/ScratchApp.h"
#include "app/NoteVoiceWindow.h"
#include "midi/SmfWriter.h"

using namespace kantor;
using namespace kantor::app;
using Clock = std::chrono::steady_clock;

namespace {

}  // namespace

int main(int argc, char** argv) {
    useOffscreenUnlessChosen();
    QApplication qapp(argc, argv);
    constexpr int kNotes = 2000;
    ScratchApp scratch(HubOptions::Audio::Off);
    KantorApp& app = scratch.app();
    QTemporaryDir work;  // the long song's MIDI file
    const std::string root = work.path().toStdString();
    app.hub().startUp();

    SmfTrack t;
    t.tempo(0, 375000).timeSignature(0, 4, 2);
    for (int i = 0; i < kNotes; ++i) t.note(uint32_t(i) * 240, uint32_t(i) * 240 + 200, 0, 60 + i % 12, 100);
    t.endOfTrack(uint32_t(kNotes) * 240 + 1920);
    const auto bytes = buildSmf(0, 480, {t});
    const std::string mid = root + "/long.mid";
    std::ofstream(mid, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!app.hub().openMidi(mid) || !app.hub().session().makeVoxChannel(0)) return 1;
    for (std::size_t i = 0; i < kNotes; i += 8) app.hub().song().makePhraseHead(0, i);

    NoteVoiceWindow* w = NoteVoiceWindow::open(app.context(), 0, 0);
    w->activateWindow();
    if (!QTest::qWaitForWindowActive(w)) std::fprintf(stderr, "the window did not become active\n");
    const char* codes[] = {"KA", "SA", "TA", "NA", "A", "I", "U", "E"};
    std::vector<double> steps;
    for (int i = 0; i + 1 < kNotes; ++i) {
        const auto start = Clock::now();
        w->codeEdit(0)->setText(codes[i % 8]);
        QTest::keyClick(w, Qt::Key_F5);
        QApplication::processEvents();
        steps.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    if (w->note() != std::size_t(kNotes - 1)) {
        std::fprintf(stderr, "the window stopped at note %zu\n", w->note());
        return 1;
    }
    std::sort(steps.begin(), steps.end());
    const double worst = steps.back();
    std::printf("%-44s median %6.2f ms   p99 %6.2f ms   worst %6.2f ms   target %4.0f ms   %s\n",
                "syllable + F5 on a 2000-note channel", steps[steps.size() / 2], steps[steps.size() * 99 / 100], worst,
                16.0, steps[steps.size() * 99 / 100] <= 16.0 ? "ok" : "MISSED");
    std::printf("undo steps kept: %zu\n", app.hub().history().size());
    delete w;
    return 0;
}
