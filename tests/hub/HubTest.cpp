// The application owner headless: start-up and exit, opening and saving, the counters'
// arithmetic, and the small models the windows show.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "audio/WaveVolume.h"
#include "base/FileIO.h"
#include "hub/Hub.h"
#include "hub/PanelCounters.h"
#include "midi/SmfWriter.h"
#include "settings/MidiOutputChoice.h"
#include "settings/Settings.h"
#include "settings/RenderChoice.h"
#include "song/TestPrompt.h"
#include "support/ScratchFolders.h"
#include "support/TempDir.h"

namespace kantor {
namespace {

using test::RecordingPrompt;
using test::ScratchFolders;
using test::TempDir;

void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// 4/4, then 6/8 from measure 3; a few notes on channel 1; 480 ticks a quarter.
std::vector<uint8_t> songMidi() {
    SmfTrack t;
    t.tempo(0, 500000).timeSignature(0, 4, 2).timeSignature(3840, 6, 3);
    for (uint32_t i = 0; i < 8; ++i) t.note(i * 480, i * 480 + 400, 0, 60 + int(i), 100);
    t.endOfTrack(3840 + 1440 * 2);
    return buildSmf(0, 480, {t});
}

struct HubFixture {
    ScratchFolders scratch;
    TempDir dir;
    RecordingPrompt prompt;
    std::unique_ptr<Hub> hub;
    HubFixture() {
        hub = std::make_unique<Hub>(prompt);
        hub->startUp();
        writeBytes(dir.file("song.mid"), songMidi());
    }
    std::string settingsPath() const { return hub->folders().settingsFilePath(); }
};

TEST(Hub, FirstStartSetsDefaultsAndExitSavesThem) {
    HubFixture f;
    EXPECT_TRUE(f.hub->settingsMissing());
    // The voice folder text is written at the first start, the first recent file is the demo.
    EXPECT_EQ(f.hub->settings().voiceFolderText(), f.hub->folders().voiceFolderText());
    EXPECT_EQ(f.hub->settings().recentFile(0), f.hub->folders().sampleFolder() + "DEMOS20.uta");
    EXPECT_FALSE(f.hub->hasMidi());
    EXPECT_EQ(f.hub->positionText(0), "000 : 0 : 000");
    f.hub->settings().setWaveVolume(0x1234, 0x5678);
    f.hub->shutDown();
    f.hub->shutDown();  // twice is harmless
    ASSERT_TRUE(fileExists(f.settingsPath()));

    // The next start finds the file: no first-run notice, the volume comes back.
    Hub again(f.prompt);
    again.startUp();
    EXPECT_FALSE(again.settingsMissing());
    EXPECT_EQ(again.settings().waveVolumeLeft(), 0x1234);
    EXPECT_EQ(again.settings().waveVolumeRight(), 0x5678);
}

TEST(Hub, ExitKeepsThePlugInsThatTheCommandLineChangedMeanwhile) {
    HubFixture f;
    f.hub->shutDown();  // a settings file with no plug-ins
    Hub h(f.prompt);
    h.startUp();
    h.settings().setPluginFiles({"/opt/fx/ours.so"});  // added in the window
    {
        // kantor-cli effect add, while the program runs.
        Settings cli;
        ASSERT_TRUE(cli.load(f.settingsPath()));
        cli.setPluginFiles({"/opt/fx/theirs.so"});
        ASSERT_TRUE(cli.save(f.settingsPath()));
    }
    h.settings().setWaveVolume(0x1111, 0x2222);
    h.shutDown();
    Settings after;
    ASSERT_TRUE(after.load(f.settingsPath()));
    EXPECT_EQ(after.pluginFiles(), (std::vector<std::string>{"/opt/fx/theirs.so", "/opt/fx/ours.so"}));
    EXPECT_EQ(after.waveVolumeLeft(), 0x1111);
}

TEST(Hub, ForeignSettingsVersionCountsAsFirstRun) {
    ScratchFolders scratch;
    RecordingPrompt prompt;
    {
        Hub h(prompt);
        h.startUp();
        h.shutDown();
    }
    Hub h0(prompt);
    const std::string path = h0.folders().settingsFilePath();
    std::vector<uint8_t> bytes;
    ASSERT_EQ(readWholeFile(path, bytes), ReadStatus::Ok);
    bytes[0] = 0xD1;  // 2001
    bytes[1] = 0x07;
    writeBytes(path, bytes);
    Hub h(prompt);
    h.startUp();
    EXPECT_TRUE(h.settingsMissing());
}

TEST(Hub, OpeningAndSaving) {
    HubFixture f;
    Hub& h = *f.hub;
    const std::string mid = f.dir.file("song.mid");
    ASSERT_TRUE(h.openMidi(mid));
    EXPECT_TRUE(h.hasMidi());
    EXPECT_EQ(h.settings().recentFile(0), mid);
    EXPECT_EQ(h.range().start, 0u);
    EXPECT_EQ(h.range().stop, h.tempoMap().measures().back().start);
    EXPECT_EQ(h.proposedSongPath(), f.dir.file("song.uta"));
    EXPECT_EQ(h.proposedWavPath(), f.dir.file("song.wav"));

    // A song finds its MIDI file beside itself: another folder is refused.
    TempDir other;
    EXPECT_FALSE(h.inMidiFolder(other.file("song.uta")));
    EXPECT_FALSE(h.saveAs(other.file("song.uta")));
    EXPECT_FALSE(fileExists(other.file("song.uta")));
    EXPECT_FALSE(h.save());  // no name yet

    h.song().titleInfo().title = "題名";
    h.titleChanged();
    EXPECT_TRUE(h.song().modified());
    EXPECT_EQ(h.windowTitle(), "題名");
    ASSERT_TRUE(h.saveAs(f.dir.file("song.uta")));
    EXPECT_FALSE(h.song().modified());
    EXPECT_EQ(h.settings().recentFile(0), f.dir.file("song.uta"));
    EXPECT_EQ(h.settings().recentFile(1), mid);

    ASSERT_TRUE(h.openSong(f.dir.file("song.uta")));
    EXPECT_EQ(h.song().titleInfo().title, "題名");
    EXPECT_TRUE(h.save());
}

// Another program (kantor-cli) changed the open song on disk: saving over it asks first, and
// No leaves the other program's file as it is.
TEST(Hub, SavingOverASongChangedOnDiskAsksFirst) {
    HubFixture f;
    Hub& h = *f.hub;
    const std::string song = f.dir.file("song.uta");
    ASSERT_TRUE(h.openMidi(f.dir.file("song.mid")));
    ASSERT_TRUE(h.saveAs(song));
    ASSERT_TRUE(h.openSong(song));
    f.prompt.shown.clear();
    EXPECT_TRUE(h.save());  // unchanged on disk: no question
    EXPECT_TRUE(f.prompt.shown.empty());

    // Replaced by another program (a new file under the name, as every save makes).
    std::vector<uint8_t> theirs;
    ASSERT_EQ(readWholeFile(song, theirs), ReadStatus::Ok);
    theirs.push_back(0);
    ASSERT_TRUE(writeFileAtomically(song, theirs));
    h.song().titleInfo().title = "mine";
    h.titleChanged();
    f.prompt.answer = PromptAnswer::No;
    EXPECT_FALSE(h.save());
    ASSERT_EQ(f.prompt.shown.size(), 1u);
    EXPECT_EQ(f.prompt.shown[0].kind, "yesno");
    EXPECT_EQ(f.prompt.shown[0].text, Hub::kChangedOnDisk);
    std::vector<uint8_t> now;
    ASSERT_EQ(readWholeFile(song, now), ReadStatus::Ok);
    EXPECT_EQ(now, theirs);
    EXPECT_TRUE(h.song().modified());
    // Yes saves over it; the next save does not ask again.
    f.prompt.answer = PromptAnswer::Yes;
    EXPECT_TRUE(h.save());
    EXPECT_EQ(f.prompt.shown.size(), 2u);
    EXPECT_TRUE(h.save());
    EXPECT_EQ(f.prompt.shown.size(), 2u);
}

TEST(Hub, DamagedFileLeavesTheOpenSongAsItWas) {
    HubFixture f;
    Hub& h = *f.hub;
    ASSERT_TRUE(h.openMidi(f.dir.file("song.mid")));
    h.song().titleInfo().title = "keep";
    h.setModified(true);
    const std::size_t measures = h.tempoMap().measures().size();
    const std::string recent = h.settings().recentFile(0);

    writeBytes(f.dir.file("bad.uta"), {'M', 'y', ' ', 'K', 0, 1, 2});
    writeBytes(f.dir.file("bad.mid"), {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0});
    f.prompt.shown.clear();
    EXPECT_FALSE(h.openSong(f.dir.file("bad.uta")));
    EXPECT_FALSE(h.openMidi(f.dir.file("bad.mid")));
    EXPECT_FALSE(h.openSong(f.dir.file("missing.uta")));
    ASSERT_EQ(f.prompt.shown.size(), 3u);
    for (const auto& s : f.prompt.shown) {
        EXPECT_EQ(s.caption, "Error");
        EXPECT_FALSE(s.text.empty());
    }
    EXPECT_TRUE(h.hasMidi());
    EXPECT_EQ(h.song().titleInfo().title, "keep");
    EXPECT_TRUE(h.song().modified());
    EXPECT_EQ(h.tempoMap().measures().size(), measures);
    EXPECT_EQ(h.settings().recentFile(0), recent);
    EXPECT_FALSE(h.openByExtension(f.dir.file("notes.txt")));
}

TEST(Hub, VolumeIsKeptAppliedAndRestored) {
    ScratchFolders scratch;
    RecordingPrompt prompt;
    HubOptions o;
    o.audio = HubOptions::Audio::Virtual;
    Hub h(prompt, o);
    h.startUp();
    if (!h.rig()) GTEST_SKIP() << "no SoundFont: " << h.deviceError();
    EXPECT_EQ(h.keptDeviceVolume(), 0xFFFFFFFFu);
    EXPECT_EQ(h.rig()->engine().waveVolume(), 0x7FFF7FFFu);  // the stored default
    h.setWaveVolume(100, 200);
    EXPECT_EQ(h.rig()->engine().waveVolume(), 100u | 200u << 16);
    h.shutDown();
    EXPECT_EQ(h.settings().waveVolumeLeft(), 100);
    EXPECT_EQ(h.settings().waveVolumeRight(), 200);
}

// One rule for the stored MIDI delay correction wherever sound is played here (the song,
// the voice data maker's listening): none with the embedded synthesizer, where MIDI and
// vocal leave through one audio callback; the stored one otherwise.
TEST(Hub, TheDelayCorrectionRuleIsTheSameForEveryPlayer) {
    ScratchFolders scratch;
    TempDir dir;
    RecordingPrompt prompt;
    HubOptions o;
    o.audio = HubOptions::Audio::Virtual;
    Hub h(prompt, o);
    h.startUp();
    if (!h.rig()) GTEST_SKIP() << "no SoundFont: " << h.deviceError();
    ASSERT_TRUE(h.rig()->embeddedSynth());
    h.settings().setMidiDelayCorrection(120);
    h.applySoundSettings();
    EXPECT_EQ(h.playbackDelayCorrection(), 0);
    writeBytes(dir.file("song.mid"), songMidi());
    ASSERT_TRUE(h.openMidi(dir.file("song.mid")));
    EXPECT_EQ(h.engine().midiDelayCorrection(), h.playbackDelayCorrection());
    h.shutDown();

    // Without devices of its own nothing plays here; the stored value is what an export uses.
    HubOptions off;
    off.audio = HubOptions::Audio::Off;
    Hub quiet(prompt, off);
    quiet.startUp();
    quiet.settings().setMidiDelayCorrection(120);
    EXPECT_EQ(quiet.playbackDelayCorrection(), 120);
}

TEST(PanelCounters, StepsRangeAndSnapping) {
    HubFixture f;
    ASSERT_TRUE(f.hub->openMidi(f.dir.file("song.mid")));
    const PanelSteps s = f.hub->steps();
    EXPECT_EQ(s.step, 240u);  // 4/4 and 6/8: half a quarter note
    EXPECT_EQ(s.rangeMax, f.hub->tempoMap().measures().back().start);
    EXPECT_EQ(s.spinRange(), int((s.rangeMax + 120) / 240));
    EXPECT_EQ(s.snap(479), 480u);  // one tick before a boundary rounds to it
    EXPECT_EQ(s.snap(359), 240u);
    EXPECT_EQ(s.snap(360), 480u);

    PlayRange r{0, 1920};
    r = setStartAt(r, 959, s);
    EXPECT_EQ(r, (PlayRange{960, 1920}));
    r = setStartAt(r, 1920, s);  // at the stop: the stop goes to the last measure
    EXPECT_EQ(r, (PlayRange{1920, s.rangeMax}));
    r = setStopAt(r, 1000, s);  // before the start: the start goes to 0
    EXPECT_EQ(r, (PlayRange{0, 960}));
    EXPECT_EQ(moveStartSpin(r, 4, s), (PlayRange{960, s.rangeMax}));
    EXPECT_EQ(moveStopSpin({960, 1920}, 2, s), (PlayRange{0, 480}));

    const PanelSteps none = PanelSteps::of(TempoMap());
    EXPECT_EQ(none.step, 0u);
    EXPECT_EQ(none.spinRange(), 0);
    EXPECT_EQ(none.spinPosition(1000), 0);
}

TEST(PanelCounters, LyricLineFollowsThePlay) {
    Song song;
    for (auto [tick, text] : {std::pair{960u, "two"}, {0u, "one"}, {960u, "two-b"}, {3000u, "three"}}) {
        auto l = std::make_unique<LyricLine>();
        l->position = tick;
        l->text = text;
        song.lyricLines().push_back(std::move(l));
    }
    LyricDisplay d;
    d.setLines(song);
    d.setFor(0);
    EXPECT_EQ(d.text(), "one");
    d.setFor(2000);
    EXPECT_EQ(d.text(), "two-b");  // equal positions keep song order
    d.advance(100);                // never steps back
    EXPECT_EQ(d.text(), "two-b");
    d.advance(3000);
    EXPECT_EQ(d.text(), "three");
    d.clear();
    d.setFor(5000);
    EXPECT_EQ(d.text(), "");
}

TEST(MidiOutputChoice, TextAndFile) {
    EXPECT_TRUE(MidiOutputChoice::fromText("").embedded());
    EXPECT_EQ(MidiOutputChoice::fromText("output=alsa:128:0\n").alsaPort, "128:0");
    EXPECT_EQ(MidiOutputChoice::fromText("output=alsa:FLUID Synth:0\r\n").alsaPort, "FLUID Synth:0");
    EXPECT_TRUE(MidiOutputChoice::fromText("output=alsa:128\n").embedded());
    EXPECT_TRUE(MidiOutputChoice::fromText("output=alsa::0\n").embedded());
    EXPECT_TRUE(MidiOutputChoice::fromText("garbage\x01\n").embedded());
    TempDir dir;
    MidiOutputChoice c;
    c.alsaPort = "20:1";
    ASSERT_TRUE(c.save(dir.file("m.conf")));
    EXPECT_EQ(MidiOutputChoice::load(dir.file("m.conf")).alsaPort, "20:1");
    EXPECT_TRUE(MidiOutputChoice::load(dir.file("missing.conf")).embedded());
}

TEST(RenderChoice, TextAndFile) {
    EXPECT_FALSE(RenderChoice::fromText("").keepFormants);
    EXPECT_TRUE(RenderChoice::fromText("formants=keep\n").keepFormants);
    EXPECT_TRUE(RenderChoice::fromText("formants=keep\r\n").keepFormants);
    EXPECT_FALSE(RenderChoice::fromText("formants=resample\n").keepFormants);
    EXPECT_FALSE(RenderChoice::fromText("formants=Keep\n").keepFormants);
    EXPECT_FALSE(RenderChoice::fromText("formants=keepx\n").keepFormants);
    EXPECT_FALSE(RenderChoice::fromText("garbage\x01\nformants\n").keepFormants);
    EXPECT_TRUE(RenderChoice::fromText("garbage\nformants=keep\n").keepFormants);
    EXPECT_EQ(RenderChoice{true}.toText(), "formants=keep\n");
    EXPECT_EQ(RenderChoice{}.toText(), "formants=resample\n");
    TempDir dir;
    ASSERT_TRUE(RenderChoice{true}.save(dir.file("r.conf")));
    EXPECT_TRUE(RenderChoice::load(dir.file("r.conf")).keepFormants);
    EXPECT_FALSE(RenderChoice::load(dir.file("missing.conf")).keepFormants);
    writeBytes(dir.file("damaged.conf"), {0xFF, 0x00, 'f', 'o', 'r'});
    EXPECT_FALSE(RenderChoice::load(dir.file("damaged.conf")).keepFormants);
}

TEST(Hub, ThePitchModeIsKeptBesideTheSettingsAndAppliesToEveryRender) {
    {
        HubFixture f;
        // The default: resampling, and no file until a choice is made.
        EXPECT_EQ(f.hub->pitchMode(), PitchMode::Resample);
        EXPECT_EQ(f.hub->engine().pitchMode(), PitchMode::Resample);
        EXPECT_FALSE(std::filesystem::exists(f.hub->renderChoicePath()));
        EXPECT_EQ(folderOf(f.hub->renderChoicePath()), folderOf(f.settingsPath()));
        std::string error;
        ASSERT_TRUE(f.hub->setPitchMode(PitchMode::KeepFormants, &error)) << error;
        EXPECT_EQ(f.hub->engine().pitchMode(), PitchMode::KeepFormants);
        EXPECT_TRUE(RenderChoice::load(f.hub->renderChoicePath()).keepFormants);
        // A song opened later renders the same way.
        ASSERT_TRUE(f.hub->openMidi(f.dir.file("song.mid")));
        EXPECT_EQ(f.hub->engine().pitchMode(), PitchMode::KeepFormants);
        f.hub->shutDown();

        // The next start reads it; the command line's choice wins for its run and is not kept.
        Hub again(f.prompt);
        again.startUp();
        EXPECT_EQ(again.pitchMode(), PitchMode::KeepFormants);
        EXPECT_EQ(again.engine().pitchMode(), PitchMode::KeepFormants);
        HubOptions options;
        options.pitchMode = PitchMode::Resample;
        Hub told(f.prompt, options);
        told.startUp();
        EXPECT_EQ(told.engine().pitchMode(), PitchMode::Resample);
        told.shutDown();
        EXPECT_TRUE(RenderChoice::load(f.hub->renderChoicePath()).keepFormants);

        // A damaged file means the default.
        writeBytes(f.hub->renderChoicePath(), {'f', 'o', 'r', 'm', 0x00, '\n'});
        Hub damaged(f.prompt);
        damaged.startUp();
        EXPECT_EQ(damaged.engine().pitchMode(), PitchMode::Resample);
    }
}

TEST(WaveVolume, SlidersSyncAndDevice) {
    Settings settings;
    std::vector<std::pair<int, int>> applied;
    WaveVolume v(settings, 2, [&](uint16_t l, uint16_t r) { applied.push_back({l, r}); });
    EXPECT_EQ(v.leftSlider(), 65535 - 0x7FFF);
    EXPECT_TRUE(v.sync());
    EXPECT_TRUE(v.moveLeft(0));  // the top is full volume, and the right side follows
    EXPECT_EQ(settings.waveVolumeLeft(), 65535);
    EXPECT_EQ(settings.waveVolumeRight(), 65535);
    EXPECT_EQ(v.rightSlider(), 0);
    EXPECT_FALSE(v.moveRight(0));  // unchanged: nothing goes to the device
    EXPECT_EQ(applied.size(), 1u);
    v.setSync(false);
    EXPECT_TRUE(v.moveRight(65535));
    EXPECT_EQ(settings.waveVolumeLeft(), 65535);
    EXPECT_EQ(settings.waveVolumeRight(), 0);
    v.close();
    EXPECT_FALSE(settings.lrSync());

    // A device that cannot set the sides apart keeps them together.
    WaveVolume mono(settings, 1, nullptr);
    EXPECT_TRUE(mono.sync());
    EXPECT_FALSE(mono.syncChangeable());
    mono.setSync(false);
    EXPECT_TRUE(mono.sync());
    EXPECT_TRUE(mono.moveLeft(100));
    EXPECT_EQ(settings.waveVolumeLeft(), settings.waveVolumeRight());
}

TEST(TitleInfo, EditLimitsInCp932Bytes) {
    std::size_t total = 0;
    for (const auto& f : TitleInfo::editFields()) total += f.limit;
    EXPECT_EQ(total, 52u + 6 * 28 + 60 + 4 * 12);
    EXPECT_TRUE(TitleInfo::fitsEditLimit(std::string(52, 'a'), 52));
    EXPECT_FALSE(TitleInfo::fitsEditLimit(std::string(53, 'a'), 52));
    EXPECT_TRUE(TitleInfo::fitsEditLimit("作詞：", 12));          // 6 bytes
    EXPECT_FALSE(TitleInfo::fitsEditLimit("あいうえおかき", 12));  // 14 bytes
    EXPECT_TRUE(TitleInfo::fitsEditLimit("ｱｲｳｴｵｶｷｸｹｺｻｼ", 12));  // half-width: one byte each
    EXPECT_FALSE(TitleInfo::fitsEditLimit("Café", 12));            // no cp932 code
}

}  // namespace
}  // namespace kantor
