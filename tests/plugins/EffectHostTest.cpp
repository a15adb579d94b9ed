// Effect libraries run in the effect host: the shipped libraries' sound, and each way a
// library can misbehave.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <thread>

#include "PluginTestFiles.h"
#include "platform/EffectHostClient.h"
#include "plugins/PluginDescription.h"
#include "sound/SoundBuffer.h"

namespace kantor {
namespace {

std::vector<uint8_t> bytesOf(const std::vector<int16_t>& s) {
    const SoundBuffer b = SoundBuffer::fromSamples(s, 2);
    return std::vector<uint8_t>(b.bytes().begin(), b.bytes().end());
}

std::vector<int16_t> samplesOf(const std::vector<uint8_t>& b) {
    SoundBuffer s;
    s.assign(b, 2);
    return s.samples();
}

std::vector<int16_t> sine(double hz, double amplitude, uint32_t rate, std::size_t n) {
    std::vector<int16_t> s(n);
    for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<int16_t>(std::lround(amplitude * std::sin(2 * M_PI * hz * double(i) / rate)));
    return s;
}

double rms(const std::vector<int16_t>& s, std::size_t from, std::size_t to) {
    double sum = 0;
    for (std::size_t i = from; i < to; ++i) sum += double(s[i]) * s[i];
    return std::sqrt(sum / double(to - from));
}

class EffectHostTest : public ::testing::Test {
protected:
    EffectHostLoader loader{KANTOR_EFFECT_HOST_PATH, std::chrono::milliseconds(2000)};

    std::unique_ptr<EffectLibrary> load(const std::string& ncp) {
        auto lib = loader.load(pluginLibraryPath(ncp));
        EXPECT_TRUE(lib) << loader.lastLoadError();
        return lib;
    }
};

TEST_F(EffectHostTest, EchoOfAClickIsFoundAtEachDelay) {
    auto echo = load(test::shippedEffect("echo"));
    ASSERT_TRUE(echo);
    std::vector<int16_t> click(44100, 0);
    click[1000] = 10000;
    EffectRunResult r = echo->run(44100, 1, bytesOf(click));  // short: 100 ms, 0.5, 0.25, 0.125
    ASSERT_TRUE(r.ok) << r.errorText;
    ASSERT_TRUE(r.outputTaken);
    std::vector<int16_t> y = samplesOf(r.output);
    ASSERT_EQ(y.size(), 44100u + 3 * 4410);
    for (std::size_t i = 0; i < y.size(); ++i) {
        const int16_t expected = i == 1000 ? 10000 : i == 5410 ? 5000 : i == 9820 ? 2500 : i == 14230 ? 1250 : 0;
        ASSERT_EQ(y[i], expected) << "sample " << i;
    }
    // The long echo at 22050 Hz: 300 ms is 6615 samples; the same library serves again.
    r = echo->run(22050, 2, bytesOf(click));
    ASSERT_TRUE(r.ok);
    y = samplesOf(r.output);
    EXPECT_EQ(y[1000 + 6615], 6000);
    EXPECT_EQ(y[1000 + 2 * 6615], 3600);
    EXPECT_EQ(y[1000 + 6614], 0);
    // The ping-pong echo alternates strong and weak.
    r = echo->run(44100, 3, bytesOf(click));
    y = samplesOf(r.output);
    EXPECT_EQ(y[1000 + 8820], 6000);
    EXPECT_EQ(y[1000 + 2 * 8820], 3000);
    EXPECT_EQ(y[1000 + 3 * 8820], 3600);
}

TEST_F(EffectHostTest, GainAndToneChangeTheLevelByWhatTheySay) {
    auto tone = load(test::shippedEffect("tone"));
    ASSERT_TRUE(tone);
    const std::vector<int16_t> x = sine(440, 8000, 44100, 44100);
    const double in = rms(x, 0, x.size());
    const std::pair<uint16_t, double> steps[] = {{1, 6}, {2, 3}, {3, -3}, {4, -6}, {5, -12}};
    for (auto [number, db] : steps) {
        EffectRunResult r = tone->run(44100, number, bytesOf(x));
        ASSERT_TRUE(r.ok) << r.errorText;
        const std::vector<int16_t> y = samplesOf(r.output);
        ASSERT_EQ(y.size(), x.size());
        EXPECT_NEAR(20 * std::log10(rms(y, 0, y.size()) / in), db, 0.02) << "effect " << number;
    }
    // The rumble cut takes 30 Hz down and leaves 1 kHz; the presence boost lifts 3 kHz by 6 dB.
    auto gainOf = [&](uint16_t number, double hz) {
        const std::vector<int16_t> s = sine(hz, 8000, 44100, 44100);
        const std::vector<int16_t> y = samplesOf(tone->run(44100, number, bytesOf(s)).output);
        return 20 * std::log10(rms(y, 22050, y.size()) / rms(s, 22050, s.size()));
    };
    EXPECT_LT(gainOf(10, 30), -10);
    EXPECT_NEAR(gainOf(10, 1000), 0, 0.2);
    EXPECT_NEAR(gainOf(11, 3000), 6, 0.2);
    EXPECT_NEAR(gainOf(11, 150), 0, 0.5);
    // An effect number it does not have is its own error, with its own text.
    EffectRunResult r = tone->run(44100, 99, bytesOf(x));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.failedStep, EffectStep::DoEffect);
    EXPECT_EQ(r.errorText, "Gain and tone: no such effect number.");
}

TEST_F(EffectHostTest, ALibraryThatFailsOrLacksAFunction) {
    auto error = load(test::badEffect("error"));
    ASSERT_TRUE(error);
    EffectRunResult r = error->run(44100, 1, bytesOf({1, 2, 3}));
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.outputTaken);
    EXPECT_EQ(r.failedStep, EffectStep::DoEffect);
    EXPECT_EQ(r.code, 7);
    EXPECT_EQ(r.errorText, "Test library error 7: the effect refused.");

    EXPECT_EQ(loader.load(pluginLibraryPath(test::badEffect("nogetmsg"))), nullptr);
    EXPECT_NE(loader.lastLoadError().find("wefGetErrMsg"), std::string::npos) << loader.lastLoadError();
    EXPECT_EQ(loader.load("/nonexistent/lib.so"), nullptr);
}

TEST_F(EffectHostTest, ACrashAHangAndALieEndTheHostAndNotTheProgram) {
    auto crash = load(test::badEffect("crash"));
    ASSERT_TRUE(crash);
    EffectRunResult r = crash->run(44100, 1, bytesOf({1, 2, 3}));
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.outputTaken);
    EXPECT_TRUE(r.errorText.starts_with("The effect ")) << r.errorText;
    r = crash->run(44100, 1, bytesOf({1}));
    EXPECT_EQ(r.errorText, "The effect host has already ended.");

    EffectHostLoader quick{KANTOR_EFFECT_HOST_PATH, std::chrono::milliseconds(300)};
    auto hang = quick.load(pluginLibraryPath(test::badEffect("hang")));
    ASSERT_TRUE(hang) << quick.lastLoadError();
    r = hang->run(44100, 1, bytesOf({1, 2, 3}));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.errorText, "The effect library did not finish within 0.3 seconds; it was stopped.");

    auto lie = load(test::badEffect("longoutput"));
    ASSERT_TRUE(lie);
    r = lie->run(44100, 1, bytesOf(std::vector<int16_t>(88200, 5)));
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.outputTaken);
    EXPECT_NE(r.errorText.find("cannot be right"), std::string::npos) << r.errorText;

    // A length that runs past the library's buffer into memory it cannot read, and a length
    // without a buffer: the host says so and ends.
    auto overread = load(test::badEffect("overread"));
    ASSERT_TRUE(overread);
    r = overread->run(44100, 1, bytesOf(std::vector<int16_t>(1000, 5)));
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.errorText.find("more than its buffer holds"), std::string::npos) << r.errorText;
    EXPECT_EQ(overread->run(44100, 1, bytesOf({1})).errorText, "The effect host has already ended.");
    auto null = load(test::badEffect("nulloutput"));
    ASSERT_TRUE(null);
    r = null->run(44100, 1, bytesOf({1, 2}));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.errorText, "The effect library returned no output buffer for 4 bytes.");
}

// A length 4 KiB past a heap block: the heap beyond it is readable, so only the block's size
// tells the lie; no heap bytes reach the output.
TEST_F(EffectHostTest, ALengthPastAHeapBlockIsRefused) {
    auto lie = load(test::badEffect("heapover"));
    ASSERT_TRUE(lie);
    EffectRunResult r = lie->run(44100, 1, bytesOf(std::vector<int16_t>(1000, 5)));
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.outputTaken);
    EXPECT_TRUE(r.output.empty());
    EXPECT_NE(r.errorText.find("more than its buffer holds"), std::string::npos) << r.errorText;
}

// Running or gone (a process nobody collects stays as a zombie, which counts as gone).
bool running(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return false;
    const std::size_t close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() && line[close + 2] != 'Z';
}

bool endsSoon(pid_t pid) {
    for (int i = 0; i < 200 && running(pid); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return !running(pid);
}

// A process a library starts ends with its host: when the library is let go, and when the
// host is stopped for taking too long.
TEST_F(EffectHostTest, WhatALibraryStartsEndsWithItsHost) {
    auto pidOf = [](const EffectRunResult& r) {
        const std::vector<int16_t> s = samplesOf(r.output);
        return s.size() == 2 ? static_cast<pid_t>(uint32_t(uint16_t(s[0])) | uint32_t(uint16_t(s[1])) << 16) : 0;
    };
    auto lib = load(test::badEffect("forkchild"));
    ASSERT_TRUE(lib);
    EffectRunResult r = lib->run(44100, 1, bytesOf({0, 0}));
    ASSERT_TRUE(r.ok) << r.errorText;
    const pid_t first = pidOf(r);
    ASSERT_GT(first, 0);
    r = lib->run(44100, 1, bytesOf({0, 0}));
    const pid_t second = pidOf(r);
    ASSERT_GT(second, 0);
    EXPECT_TRUE(running(first));
    lib.reset();
    EXPECT_TRUE(endsSoon(first));
    EXPECT_TRUE(endsSoon(second));
}

}  // namespace
}  // namespace kantor
