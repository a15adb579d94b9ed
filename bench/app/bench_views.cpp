// Painting the channel list and a channel score, offscreen, for a five-minute song with
// 2,000 sung notes on one channel (every note with a syllable, a phrase every eight notes):
//   - one score view at its opening zoom (eight measures) and zoomed out to the whole song;
//   - the channel list at its opening zoom (sixteen measures) and over the whole song.
// Each paint is repeated `runs` times; the median and the worst are printed.
#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <vector>

#include "app/ChannelViews.h"
#include "app/KantorApp.h"
#include "app/ScratchApp.h"
#include "midi/SmfWriter.h"
#include "song/Expression.h"

using namespace kantor;
using namespace kantor::app;

namespace {

// Wall-clock and thread CPU times of each paint: on a busy machine the wall clock also counts
// the time other processes had the CPU.
struct Times {
    std::vector<double> wall, cpu;
};

double threadCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

void report(const char* what, Times t, double target) {
    std::sort(t.wall.begin(), t.wall.end());
    std::sort(t.cpu.begin(), t.cpu.end());
    const double wall = t.wall[t.wall.size() / 2], cpu = t.cpu[t.cpu.size() / 2];
    std::printf("%-34s median %6.2f ms (cpu %6.2f ms)   worst %6.2f ms (cpu %6.2f ms)   target %2.0f ms   %s\n", what,
                wall, cpu, t.wall.back(), t.cpu.back(), target, wall <= target ? "ok" : "MISSED");
}

Times paintTimes(QWidget& w, int runs) {
    QImage image(w.size() * w.devicePixelRatioF(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(w.devicePixelRatioF());
    Times out;
    w.render(&image);  // warm the glyph cache
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        const double c0 = threadCpuMs();
        t.start();
        w.render(&image);
        out.wall.push_back(double(t.nsecsElapsed()) / 1e6);
        out.cpu.push_back(threadCpuMs() - c0);
    }
    return out;
}

// Scrolling a song's score: eight measures shown, moved on by one measure per paint from the
// start to the end of the song, `runs` paints. With `line`, the score draws its pitch line,
// every note sung with a vibrato (the song's default) and the natural glides.
int scrollSong(KantorApp& app, const std::string& path, int runs, bool line) {
    if (!app.hub().openSong(path)) {
        std::fprintf(stderr, "cannot open %s\n", path.c_str());
        return 1;
    }
    const Song& song = app.hub().song();
    int channel = -1;
    for (int c = 0; c < 16 && channel < 0; ++c)
        if (song.isVoxChannel(c) && !song.channel(c).events.empty()) channel = c;
    if (channel < 0) {
        std::fprintf(stderr, "%s has no sung channel\n", path.c_str());
        return 1;
    }
    const int limit = measureLimit(app.hub().tempoMap().measures().size());
    std::printf("%s: %zu notes on channel %d, %d measures\n", path.c_str(), song.channel(channel).events.size(),
                channel + 1, limit);
    if (line) {
        NoteExpression vibrato;
        vibrato.mark(NoteValue::Vibrato, true);
        vibrato.vibratoDepthCents = 40;
        vibrato.vibratoRateCentiHz = 550;
        vibrato.vibratoDelayMs = 100;
        setNoteDefaults(app.hub().song().songDefaults(), vibrato);
        app.hub().setExpressionMode(ExpressionMode::Auto);
    }
    ScoreView score(app.hub(), channel);
    score.resize(900, 520);
    score.rebuild();
    score.setPitchLine(line);
    if (line) {
        // The line is worked out again after every edit of the song: the whole channel.
        QElapsedTimer timer;
        timer.start();
        const std::size_t sung = score.pitchLineSyllables().size();
        std::printf("pitch line of %zu syllables worked out in %.2f ms\n", sung, double(timer.nsecsElapsed()) / 1e6);
    }
    score.setKeys(keysFor(score.keyExtent().first, score.keyExtent().second));
    QImage image(score.size() * score.devicePixelRatioF(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(score.devicePixelRatioF());
    score.render(&image);
    Times t;
    for (int i = 0; i < runs; ++i) {
        score.setSpan({(i * 7) % std::max(1, limit - 8), 8});
        QElapsedTimer timer;
        const double c0 = threadCpuMs();
        timer.start();
        score.render(&image);
        t.wall.push_back(double(timer.nsecsElapsed()) / 1e6);
        t.cpu.push_back(threadCpuMs() - c0);
    }
    report(line ? "score view, scrolled, pitch line" : "score view, scrolled, 8 measures", t, 8);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    useOffscreenUnlessChosen();
    QApplication qapp(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
    // bench_views RUNS SONG.uta [line]: the score of the song's first sung channel, scrolled
    // through, with the pitch line when asked.
    const std::string songPath = argc > 2 ? argv[2] : "";
    const bool line = argc > 3 && std::string(argv[3]) == "line";
    ScratchApp scratch(HubOptions::Audio::Off);
    KantorApp& app = scratch.app();
    QTemporaryDir work;  // the long song's MIDI file
    const std::string root = work.path().toStdString();
    app.hub().startUp();

    if (!songPath.empty()) return scrollSong(app, songPath, runs, line);

    // Five minutes at 120 beats a minute: 150 measures of 4/4; 2,000 notes of 144 ticks.
    SmfTrack t;
    t.tempo(0, 500000).timeSignature(0, 4, 2);
    const int notes = 2000;
    for (int i = 0; i < notes; ++i) {
        const uint32_t start = uint32_t(i) * 144;
        t.note(start, start + 130, 0, 55 + (i * 7) % 19, 100);
    }
    t.endOfTrack(150 * 1920);
    const std::string midi = root + "/long.mid";
    const std::vector<uint8_t> bytes = buildSmf(0, 480, {t});
    std::ofstream(midi, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!app.hub().openMidi(midi) || !app.hub().session().makeVoxChannel(0)) return 1;
    const char* codes[] = {"KA", "SA", "TA", "NA", "HA", "MA", "YA", "RA", "WA", "N"};
    Song& song = app.hub().song();
    for (std::size_t i = 0; i < song.channel(0).events.size(); ++i) {
        VoxEvent* e = song.event(0, i);
        e->setCode(0, codes[i % 10]);
        e->syllableLength[0] = 1;
        if (i % 8 == 0) song.makePhraseHead(0, i);
        e->phraseGroup = uint16_t((i / 8) % 2);
    }
    const int limit = measureLimit(app.hub().tempoMap().measures().size());
    std::printf("%zu notes on channel 1, %d measures\n", song.channel(0).events.size(), limit);

    ScoreView score(app.hub(), 0);
    score.resize(900, 520);
    score.rebuild();
    score.setKeys(keysFor(score.keyExtent().first, score.keyExtent().second));
    score.setSpan({40, 8});
    report("score view, 8 measures", paintTimes(score, runs), 8);
    score.setSpan({0, limit});
    report("score view, whole song", paintTimes(score, runs), 8);
    score.setWordDisplay(WordDisplay::Off);
    report("score view, whole song, no words", paintTimes(score, runs), 8);
    score.setWordDisplay(WordDisplay::Hiragana);
    ChannelGridView grid(app.hub());
    grid.resize(900, 420);
    grid.rebuild();
    grid.setSpan({40, 16});
    report("channel list, 16 measures", paintTimes(grid, runs), 5);
    grid.setSpan({0, limit});
    report("channel list, whole song", paintTimes(grid, runs), 5);
    return 0;
}
