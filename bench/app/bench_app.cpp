// The desktop program's responsiveness on a song (the demo song unless one is given), on the
// null sound device (real time, no sound card needed), offscreen:
//   build/bench/bench_app [runs [song.uta [seconds]]]
//   - opening the song after the panel has appeared;
//   - from pressing "Play From Top" to the first sound the engine makes (render included);
//   - the longest time the GUI thread goes without running its event loop from the press
//     on, while it starts and then plays for `seconds` (3 unless given);
//   - how much the process grows while it plays (resident memory, largest in each run).
// Each is measured `runs` times; the worst and the median are printed. A long song for it:
//   build/tools/kantor-make-long-song /tmp 64   (-> /tmp/LONG64.uta, 160 notes a minute)
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <unistd.h>

#include "app/KantorApp.h"
#include "app/ScratchApp.h"
#include "platform/AudioEngine.h"
#include "settings/StartupTexts.h"

using namespace kantor;
using namespace kantor::app;
using Clock = std::chrono::steady_clock;

namespace {

// Watches the engine's mixed output for the first sound after it is armed.
class FirstSound : public EngineClient {
public:
    std::atomic<bool> armed{false};
    std::atomic<int64_t> heardAt{0};
    std::atomic<int64_t> lastSound{0};  // the last block with sound, armed or not
    void process(float* mix, const float*, uint32_t frames, uint64_t) override {
        bool sound = false;
        for (uint32_t i = 0; i < frames * 2 && !sound; ++i) sound = mix[i] > 1e-4f || mix[i] < -1e-4f;
        if (!sound) return;
        const int64_t now = Clock::now().time_since_epoch().count();
        lastSound.store(now);
        if (armed.exchange(false)) heardAt.store(now);
    }
};

// Resident memory of the process, in megabytes.
double residentMb() {
    std::FILE* f = std::fopen("/proc/self/statm", "r");
    if (!f) return 0;
    unsigned long size = 0, resident = 0;
    const int n = std::fscanf(f, "%lu %lu", &size, &resident);
    std::fclose(f);
    return n == 2 ? double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0) : 0;
}

double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Sleeps in the event loop for about `ms` milliseconds, handling what arrives meanwhile, as
// the program's own event loop does (processEvents with a time limit never sleeps).
void idle(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void report(const char* what, std::vector<double> v, double target) {
    std::sort(v.begin(), v.end());
    std::printf("%-44s median %7.1f ms   worst %7.1f ms   target %6.0f ms   %s\n", what, v[v.size() / 2], v.back(),
                target, v.back() <= target ? "ok" : "MISSED");
}

}  // namespace

int main(int argc, char** argv) {
    useOffscreenUnlessChosen();
    QApplication qapp(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    ScratchApp scratch(HubOptions::Audio::Null);
    KantorApp& app = scratch.app();
    MainPanel* panel = app.showPanel();
    QApplication::processEvents();
    const std::string demo = argc > 2 ? std::string(argv[2]) : app.hub().folders().sampleFolder() + names::kDemoSong;
    const int seconds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
    if (!app.hub().rig()) {
        std::fprintf(stderr, "cannot play: %s\n", app.hub().deviceError().c_str());
        return 1;
    }
    FirstSound probe;
    app.hub().rig()->engine().attach(&probe, EngineStage::Capture);

    std::vector<double> open, firstSound, gaps, growth;
    for (int r = 0; r < runs; ++r) {
        auto t0 = Clock::now();
        if (!panel->openPath(demo)) return 1;
        QApplication::processEvents();
        open.push_back(ms(Clock::now() - t0));

        // Play from top: the click runs the render and starts the stream on this thread.
        // First the last play's sound dies away (a quarter of a second of silence).
        while (ms(Clock::now().time_since_epoch() - Clock::duration(probe.lastSound.load())) < 250)
            idle(20);
        probe.heardAt = 0;
        probe.armed = true;
        const double before = residentMb();
        double most = before;
        // The press itself counts as a gap: the event loop does not turn until it returns.
        double worst = 0;
        auto last = Clock::now();
        QTimer tick;
        tick.setInterval(1);
        QObject::connect(&tick, &QTimer::timeout, [&] {
            const auto now = Clock::now();
            worst = std::max(worst, ms(now - last));
            last = now;
        });
        tick.start();
        t0 = Clock::now();
        panel->run(MainPanel::PlayTop);
        const double call = ms(Clock::now() - t0);
        // Waiting as the program does, asleep in the event loop (the probe notes the time of the
        // first sound itself): a busy loop here took a whole CPU from the render worker and the
        // audio thread on a two-CPU machine.
        while (probe.heardAt.load() == 0 && ms(Clock::now() - t0) < 10000) idle(2);
        firstSound.push_back(ms(Clock::duration(probe.heardAt.load()) - t0.time_since_epoch()));
        if (std::getenv("KANTOR_BENCH_DETAIL"))
            std::printf("  run %d: play command %.1f ms, first sound %.1f ms\n", r, call, firstSound.back());

        // Play on, timing the gaps between turns of the event loop.
        worst = std::max(worst, call);
        const auto end = t0 + std::chrono::seconds(seconds);
        while (Clock::now() < end) {
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
            most = std::max(most, residentMb());
        }
        tick.stop();
        gaps.push_back(worst);
        growth.push_back(most - before);
        panel->run(MainPanel::Stop);
        QApplication::processEvents();
    }
    std::printf("%s, %d runs, playing %d s, null sound device, offscreen\n", demo.c_str(), runs, seconds);
    report("open the song (panel shown)", open, 300);
    report("play from top to first sound (render incl.)", firstSound, argc > 2 ? 150 : 60);
    report("longest GUI thread gap, press and playing", gaps, 30);
    std::sort(growth.begin(), growth.end());
    std::printf("%-44s median %7.1f MB   worst %7.1f MB   target %6.0f MB   %s\n", "memory growth while playing",
                growth[growth.size() / 2], growth.back(), 40.0, growth.back() <= 40 ? "ok" : "MISSED");
    app.hub().rig()->engine().detach(&probe);
    panel->close();
    return 0;
}
