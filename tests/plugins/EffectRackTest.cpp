// The loaded plug-in table and the effect stage, with libraries that record their calls.
#include <gtest/gtest.h>

#include <map>

#include "../song/TestPrompt.h"
#include "PluginTestFiles.h"
#include "midi/TempoMap.h"
#include "plugins/EffectRack.h"
#include "plugins/PluginDescription.h"
#include "voice/VoiceBank.h"

namespace kantor {
namespace {

// A library that adds its own value to every sample, or fails as told.
struct FakeLibrary : EffectLibrary {
    int16_t add = 0;
    EffectStep failAt = EffectStep::None;
    std::vector<std::string>* log = nullptr;
    std::string name;

    EffectRunResult run(uint32_t rate, uint16_t effect, std::span<const uint8_t> input) override {
        log->push_back(name + " " + std::to_string(rate) + " " + std::to_string(effect));
        EffectRunResult r;
        if (failAt == EffectStep::Initialize || failAt == EffectStep::DoEffect) {
            r.ok = false;
            r.failedStep = failAt;
            r.errorText = name + " failed";
            return r;
        }
        r.outputTaken = true;
        SoundBuffer in;
        in.assign(input);
        std::vector<int16_t> s = in.samples();
        for (int16_t& v : s) v = static_cast<int16_t>(v + add);
        s.push_back(add);  // one sample longer each time
        r.output.resize(s.size() * 2);
        for (std::size_t i = 0; i < s.size(); ++i) {
            r.output[2 * i] = static_cast<uint8_t>(static_cast<uint16_t>(s[i]));
            r.output[2 * i + 1] = static_cast<uint8_t>(static_cast<uint16_t>(s[i]) >> 8);
        }
        if (failAt != EffectStep::None) {
            r.ok = false;
            r.failedStep = failAt;
            r.errorText = name + " failed late";
        }
        return r;
    }
};

// Hands out fake libraries by library path; a path it does not know does not load.
struct FakeLoader : EffectLibraryLoader {
    std::map<std::string, FakeLibrary> libraries;
    std::vector<std::string> log;
    int loads = 0;
    std::unique_ptr<EffectLibrary> load(const std::string& path) override {
        ++loads;
        auto it = libraries.find(path);
        if (it == libraries.end()) return nullptr;
        auto lib = std::make_unique<FakeLibrary>(it->second);
        lib->log = &log;
        return lib;
    }
};

class EffectRackTest : public ::testing::Test {
protected:
    test::TempDir dir;
    std::vector<std::string> registered;
    FakeLoader loader;
    test::RecordingPrompt prompt;
    EffectRack rack{loader, prompt, [this] { return registered; }};

    // Plug-in `name` in a folder of its own, with effects 1 and 2, its library adding `add`.
    void addPlugin(const std::string& name, int16_t add, EffectStep failAt = EffectStep::None) {
        std::filesystem::create_directories(dir.file(name));
        registered.push_back(test::writeDescription(dir, name + "/" + name + ".ncp", name,
                                                    "Effect1=1,First\nEffect2=2,Second\n"));
        FakeLibrary lib;
        lib.add = add;
        lib.failAt = failAt;
        lib.name = name;
        loader.libraries[dir.file(name) + "/lib.so"] = lib;
    }
};

TEST_F(EffectRackTest, AppliesTheThreeReferencesInOrderEachOnTheOutputOfTheOneBefore) {
    addPlugin("A", 1);
    addPlugin("B", 10);
    addPlugin("C", 100);
    rack.loadAll();
    ASSERT_EQ(rack.slotCount(), 3u);
    SoundBuffer phrase = SoundBuffer::fromSamples(std::vector<int16_t>{5, 5});
    ASSERT_TRUE(rack.apply({makeEffectReference(3, 2), makeEffectReference(1, 1), makeEffectReference(2, 1)}, phrase,
                           22050));
    EXPECT_EQ(loader.log, (std::vector<std::string>{"C 22050 2", "A 22050 1", "B 22050 1"}));
    // 5 + 100 + 1 + 10 for the first samples; each library appended one sample.
    EXPECT_EQ(phrase.samples(), (std::vector<int16_t>{116, 116, 111, 11, 10}));
    EXPECT_EQ(phrase.capacity(), phrase.byteLength() + 100);
    EXPECT_TRUE(prompt.shown.empty());
}

TEST_F(EffectRackTest, SkipsNoneUnknownAndEmptySlotsSilently) {
    addPlugin("A", 1);
    registered.push_back(test::writeDescription(dir, "nolib.ncp", "NoLib"));  // its library is not there
    registered.push_back(kFreePluginPlace);
    rack.loadAll();
    EXPECT_TRUE(rack.slotLoaded(0));
    EXPECT_FALSE(rack.slotLoaded(1));
    EXPECT_FALSE(rack.slotLoaded(2));
    SoundBuffer phrase = SoundBuffer::fromSamples(std::vector<int16_t>{0});
    ASSERT_TRUE(rack.apply({0, makeEffectReference(2, 1), makeEffectReference(9, 1)}, phrase, 44100));
    ASSERT_TRUE(rack.apply({makeEffectReference(3, 1), 0, 0}, phrase, 44100));
    EXPECT_TRUE(loader.log.empty());
    EXPECT_EQ(phrase.samples(), std::vector<int16_t>{0});
    EXPECT_TRUE(prompt.shown.empty());
}

TEST_F(EffectRackTest, AnErrorIsShownEmptiesTheSlotAndTheNextReferenceStillRuns) {
    addPlugin("Bad", 1, EffectStep::DoEffect);
    addPlugin("Good", 10);
    rack.loadAll();
    SoundBuffer phrase = SoundBuffer::fromSamples(std::vector<int16_t>{0});
    ASSERT_TRUE(rack.apply({makeEffectReference(1, 2), makeEffectReference(2, 1), 0}, phrase, 44100));
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].caption, "外部ｴﾌｪｸﾀ・ｴﾗｰ");
    EXPECT_EQ(prompt.shown[0].text, "Bad|    2 : Second\nBad failed");
    EXPECT_FALSE(rack.slotLoaded(0));
    EXPECT_EQ(phrase.samples(), (std::vector<int16_t>{10, 10}));  // the failed one left it as it was

    // Later phrases skip it without calling it, until the next load.
    ASSERT_TRUE(rack.apply({makeEffectReference(1, 1), 0, 0}, phrase, 44100));
    EXPECT_EQ(loader.log, (std::vector<std::string>{"Bad 44100 2", "Good 44100 1"}));
    rack.loadAll();
    EXPECT_TRUE(rack.slotLoaded(0));
}

TEST_F(EffectRackTest, AFailureAfterTheOutputKeepsTheOutput) {
    addPlugin("Late", 1, EffectStep::FreeBuffer);
    rack.loadAll();
    SoundBuffer phrase = SoundBuffer::fromSamples(std::vector<int16_t>{3});
    ASSERT_TRUE(rack.apply({makeEffectReference(1, 1), 0, 0}, phrase, 44100));
    EXPECT_EQ(phrase.samples(), (std::vector<int16_t>{4, 1}));
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].text, "Late|    1 : First\nLate failed late");
    // An effect the description does not list has no label: nothing is shown.
    rack.loadAll();
    prompt.shown.clear();
    ASSERT_TRUE(rack.apply({makeEffectReference(1, 7), 0, 0}, phrase, 44100));
    EXPECT_TRUE(prompt.shown.empty());
    EXPECT_FALSE(rack.slotLoaded(0));
}

TEST_F(EffectRackTest, TheEngineLoadsOnStartAndUnloadsWhenItReleasesItsData) {
    addPlugin("A", 1);
    TempoMap map;
    VoiceBank voices("/nonexistent/");
    {
        SynthEngine engine(voices, map);
        engine.setEffects(&rack);
        ASSERT_TRUE(engine.start(8));
        EXPECT_EQ(loader.loads, 1);
        EXPECT_TRUE(rack.slotLoaded(0));
        ASSERT_TRUE(engine.start(8));  // unload all, then load all
        EXPECT_EQ(loader.loads, 2);
        // A render that fails (here: a phrase before any start) releases everything.
        SynthEngine idle(voices, map);
        idle.setEffects(&rack);
        PhraseRequest req;
        req.channel = 1;
        req.lengthMs = 100;
        EXPECT_FALSE(idle.renderPhrase(req, {}));
        EXPECT_EQ(rack.slotCount(), 0u);
        idle.setEffects(nullptr);
        ASSERT_TRUE(engine.start(8));
        EXPECT_EQ(rack.slotCount(), 1u);
    }
    EXPECT_EQ(rack.slotCount(), 0u);  // the engine went: unloaded
}

}  // namespace
}  // namespace kantor
