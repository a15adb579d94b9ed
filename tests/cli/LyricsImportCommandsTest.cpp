// Songs as people have them: lyrics typed as words, lyrics inside MIDI and karaoke files,
// MIDI files without a tempo event, and the song's MIDI written back with its lyrics.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>

#include "base/Codepage.h"
#include "base/FileIO.h"
#include "midi/SmfWriter.h"
#include "platform/EmbeddedSynth.h"
#include "sound/WavFile.h"
#include "support/CliRun.h"
#include "support/ScratchFolders.h"
#include "support/SyntheticVoice.h"
#include "support/TempDir.h"

namespace kantor {
namespace {

using Result = test::CliResult;
Result run(const cli::Args& args) { return test::runCli(args); }

class LyricsImport : public ::testing::Test, public test::CliFolders {
protected:
    LyricsImport() : CliFolders({{"SA", "さ", 64}, {"KU", "く", 64}, {"RA", "ら", 64}, {"A", "あ", 69},
                                   {"KYO", "きょ", 64}, {"U", "う", 64}, {"N", "ん", 64}, {"SI", "し", 64},
                                   {"O", "お", 64}}) {}
    void SetUp() override {
    }
    // The folders of the test, and its voice for the commands that choose one.
    cli::Args common(cli::Args a) const {
        if (a[0] == "new" || a[0] == "import") a.insert(a.end(), {"--voice", "TestVox"});
        return CliFolders::common(std::move(a));
    }
    // The codes of the song's channel, one entry a note ("" for a note without syllables),
    // slots joined by ","; a phrase head is marked with "|" before it.
    std::vector<std::string> codes(const std::string& song, int channel = 1) {
        Result r = run({"info", "--json", song});
        EXPECT_EQ(r.status, 0) << r.err;
        std::vector<std::string> out;
        const std::string key = "\"channel\":" + std::to_string(channel) + ",";
        std::size_t at = r.out.find(key);
        if (at == std::string::npos) return out;
        std::size_t end = r.out.find("\"channel\":", at + key.size());
        const std::string part = r.out.substr(at, end == std::string::npos ? std::string::npos : end - at);
        static const std::regex ev(R"re(\{[^{}]*"syllableCode"[^{}]*\})re");
        static const std::regex head(R"re("phraseIndex":([0-9]+))re");
        static const std::regex slots(R"re("syllableCode":\[("[^"]*"),("[^"]*"),("[^"]*"),("[^"]*")\])re");
        for (auto it = std::sregex_iterator(part.begin(), part.end(), ev); it != std::sregex_iterator(); ++it) {
            const std::string event = it->str();
            std::smatch h, c;
            if (!std::regex_search(event, h, head) || !std::regex_search(event, c, slots)) continue;
            std::string s = h[1] != "0" ? "|" : "";
            bool first = true;
            for (int k = 1; k <= 4; ++k) {
                std::string code = c[k];
                code = code.substr(1, code.size() - 2);
                if (code.empty()) continue;
                s += (first ? "" : ",") + code;
                first = false;
            }
            out.push_back(s);
        }
        return out;
    }

};

std::vector<std::string> list(std::initializer_list<const char*> l) { return {l.begin(), l.end()}; }

// The channel event lists of `info --json` of a MIDI file: its notes, whatever its tracks.
std::string channelLists(const std::string& midi) {
    Result r = run({"info", "--json", midi});
    EXPECT_EQ(r.status, 0) << r.err;
    const std::size_t a = r.out.find("\"channels\""), b = r.out.find("\"measures\"");
    EXPECT_TRUE(a != std::string::npos && b != std::string::npos && a < b) << r.out;
    return a < b && b != std::string::npos ? r.out.substr(a, b - a) : std::string();
}

TEST_F(LyricsImport, WordsAreSplitIntoSyllablesOneANote) {
    SmfTrack t;
    t.tempo(0, 500000);
    for (int i = 0; i < 10; ++i) t.note(480 * i, 480 * i + 400, 0, 69, 100);
    const std::string midi = dir.write("w.mid", buildSmf(0, 480, {t}));
    std::ofstream(dir.file("w.txt")) << "さくら sakura\nキョ ー sinn\n";  // ー on a note of its own
    const std::string song = dir.file("w.uta");
    Result r = run(common({"new", midi, "-o", song, "--vox", "1", "--lyrics", dir.file("w.txt")}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(codes(song), list({"|SA", "KU", "RA", "SA", "KU", "RA", "|KYO", "O", "SI", "N"}));

    // An unknown piece is named with its line and column; nothing is written.
    std::ofstream(dir.file("bad.txt")) << "さくら\nsa kuxra\n";
    r = run(common({"new", midi, "-o", dir.file("bad.uta"), "--vox", "1", "--lyrics", dir.file("bad.txt")}));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("line 2, column 6: unknown piece \"xra\""), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir.file("bad.uta")));
}

TEST_F(LyricsImport, AFileWithoutTempoIsSungAtOneHundredTwenty) {
    // The same notes without any tempo event and with 120 bpm written at tick 0.
    SmfTrack bare, timed;
    timed.tempo(0, 500000);
    for (SmfTrack* t : {&bare, &timed}) {
        for (int i = 0; i < 4; ++i) t->note(960 * i, 960 * i + 800, 0, 69, 100);
        t->note(0, 3000, 1, 57, 90);
    }
    const std::string midi = dir.write("notempo.mid", buildSmf(0, 480, {bare}));
    dir.write("timed.mid", buildSmf(0, 480, {timed}));
    Result r = run({"pos", midi, "4800"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("5000 ms"), std::string::npos) << r.out;
    r = run({"info", midi});
    EXPECT_NE(r.out.find("no tempo event"), std::string::npos) << r.out;

    std::ofstream(dir.file("n.txt")) << "sa ku ra sa\n";
    auto sound = [&](const std::string& wav) {
        WavReader reader;
        SoundBuffer data;
        EXPECT_TRUE(reader.readData(wav, data)) << wav;
        return data.samples();
    };
    std::vector<int16_t> vocal[2], mix[2];
    int k = 0;
    for (const char* name : {"notempo", "timed"}) {
        const std::string song = dir.file(std::string(name) + ".uta");
        r = run(common({"new", dir.file(std::string(name) + ".mid"), "-o", song, "--vox", "1", "--lyrics", dir.file("n.txt")}));
        ASSERT_EQ(r.status, 0) << r.err;
        r = run(common({"render", song, "-o", dir.file(std::string(name) + ".wav"), "-q"}));
        ASSERT_EQ(r.status, 0) << r.err;
        vocal[k] = sound(dir.file(std::string(name) + ".wav"));
        if (!EmbeddedSynth::defaultSoundFont().empty()) {  // the mix needs the General MIDI SoundFont
            r = run(common({"render", song, "--mix", "-o", dir.file(std::string(name) + "-mix.wav"), "-q"}));
            ASSERT_EQ(r.status, 0) << r.err;
            mix[k] = sound(dir.file(std::string(name) + "-mix.wav"));
        }
        ++k;
    }
    // Four notes two beats apart at 120 bpm: about 3.8 seconds of vocal, as with the tempo written.
    EXPECT_GT(vocal[0].size(), 44100u * 35 / 10);
    EXPECT_LT(vocal[0].size(), 44100u * 45 / 10);
    EXPECT_EQ(vocal[0], vocal[1]);
    EXPECT_EQ(mix[0], mix[1]);
}

TEST_F(LyricsImport, LyricEventsOfTheChannelsTrackGoOnItsNotes) {
    SmfTrack conductor, melody, other;
    conductor.tempo(0, 500000).text(0, 1, "a comment, not lyrics");
    const uint32_t starts[] = {0, 480, 960, 1440, 1920, 2400, 2880};
    for (uint32_t s : starts) melody.note(s, s + 400, 0, 69, 100);
    other.note(0, 1920, 1, 48, 80).text(0, 5, "ignored");
    // cp932 lyrics, a little off the notes, lines marked by CR and "/", a note without one.
    melody.text(5, 5, utf8ToCp932("さ")).text(478, 5, utf8ToCp932("く")).text(960, 5, utf8ToCp932("ら\r"));
    melody.text(1440, 5, utf8ToCp932("キョ")).text(1920, 5, utf8ToCp932("ー"));
    melody.text(2880, 5, utf8ToCp932("/し、ん"));
    melody.text(3500, 5, utf8ToCp932("あ"));  // on no note: left out
    const std::string midi = dir.write("lyr.mid", buildSmf(1, 480, {conductor, melody, other}));
    const std::string song = dir.file("lyr.uta");
    Result r = run(common({"new", midi, "-o", song, "--vox", "1", "--lyrics-from-midi"}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("1 lyric event starts on no note of the channel and is left out:\n  tick 3500, measure 2: \"あ\""),
              std::string::npos)
        << r.err;
    EXPECT_EQ(codes(song), list({"|SA", "KU", "RA", "|KYO", "O", "", "|SI,N"}));

    // Channel 2's track has its own lyric: that track wins over channel 1's.
    r = run(common({"new", midi, "-o", dir.file("two.uta"), "--vox", "2", "--lyrics-from-midi"}));
    EXPECT_EQ(r.status, 1);  // "ignored" is not Japanese
    EXPECT_NE(r.err.find("tick 0, measure 1, line 1, column 2: \"gno\" in \"ignored\""), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("歌詞はかなかローマ字で書いてください。"), std::string::npos) << r.err;
}

TEST_F(LyricsImport, KaraokeFilesWithTextEvents) {
    // The usual layout of a karaoke file: the melody in one track, the words as text events
    // with "@" headers in another; "\" begins a paragraph and "/" a line.
    SmfTrack conductor, words, melody;
    conductor.tempo(0, 600000).text(0, 1, "@KMIDI KARAOKE FILE");
    words.text(0, 1, "@LJPN").text(0, 1, "@Tさくら");
    words.text(0, 1, "\\さ").text(240, 1, "く").text(480, 1, "ら").text(720, 1, "/ sa-").text(960, 1, "ku-").text(1200, 1, "ra");
    for (int i = 0; i < 6; ++i) melody.note(240 * i, 240 * i + 200, 3, 69, 100);
    const std::string kar = dir.write("k.kar", buildSmf(1, 480, {conductor, words, melody}));
    Result r = run({"info", kar});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string song = dir.file("k.uta");
    r = run(common({"new", kar, "-o", song, "--vox", "4", "--lyrics-from-midi"}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(codes(song, 4), list({"|SA", "KU", "RA", "|SA", "KU", "RA"}));

    // A file without lyrics says so.
    SmfTrack plain;
    plain.note(0, 400, 0, 69, 100);
    const std::string bare = dir.write("bare.mid", buildSmf(0, 480, {plain}));
    r = run(common({"new", bare, "-o", dir.file("bare.uta"), "--vox", "1", "--lyrics-from-midi"}));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("the MIDI file has no lyrics"), std::string::npos) << r.err;
}

TEST_F(LyricsImport, ExportedLyricsComeBackTheSame) {
    SmfTrack t;  // format 0, both channels in one track
    t.tempo(0, 500000);
    for (int i = 0; i < 8; ++i) t.note(480 * i, 480 * i + 400, 0, 69, 100);
    for (int i = 0; i < 3; ++i) t.note(960 * i, 960 * i + 800, 2, 60, 100);
    const std::string midi = dir.write("rt.mid", buildSmf(0, 480, {t}));
    std::ofstream(dir.file("one.txt")) << "sakura KU,RA\nkyou -\n";
    std::ofstream(dir.file("three.txt")) << "あ ん し\n";
    const std::string song = dir.file("rt.uta");
    Result r = run(common({"new", midi, "-o", song, "--vox", "1", "--lyrics", dir.file("one.txt"), "--vox", "3",
                           "--lyrics", dir.file("three.txt")}));
    ASSERT_EQ(r.status, 0) << r.err;
    const auto one = codes(song, 1), three = codes(song, 3);
    EXPECT_EQ(one, list({"|SA", "KU", "RA", "KU,RA", "|KYO", "U", "", ""}));

    for (bool cp932 : {false, true}) {
        SCOPED_TRACE(cp932 ? "cp932" : "UTF-8");
        const std::string out = dir.file(cp932 ? "rt-sjis.mid" : "rt-lyrics.mid");
        cli::Args a = common({"export", song, "-o", out});
        if (cp932) a.push_back("--cp932");
        r = run(a);
        ASSERT_EQ(r.status, 0) << r.err;
        std::vector<uint8_t> bytes;
        ASSERT_EQ(readWholeFile(out, bytes), ReadStatus::Ok);
        const std::string text(bytes.begin(), bytes.end());
        EXPECT_EQ(text.find("\xE3\x81\x8F\xE3\x82\x89") != std::string::npos, !cp932);  // くら in UTF-8
        EXPECT_EQ(text.find(utf8ToCp932("くら")) != std::string::npos, cp932);
        // The MIDI file plays as before: same notes.
        EXPECT_EQ(channelLists(midi), channelLists(out));

        const std::string back = dir.file(cp932 ? "back-sjis.uta" : "back.uta");
        r = run(common({"new", out, "-o", back, "--vox", "1", "--vox", "3", "--lyrics-from-midi"}));
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(codes(back, 1), one);
        EXPECT_EQ(codes(back, 3), three);
    }
    r = run(common({"export", song, "-o", midi}));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("はこのソングのファイルです。"), std::string::npos) << r.err;
}

TEST_F(LyricsImport, MusicXmlToSongToMidiAndBack) {
    // The score MuseScore wrote (tests/import/data), sung by a voice with all its syllables.
    test::writeSyntheticVoice(voiceDir, "SakuraVox",
                              {{"SA", "さ", 64}, {"KU", "く", 64}, {"RA", "ら", 64}, {"YA", "や", 64}, {"YO", "よ", 64},
                               {"I", "い", 64}, {"NO", "の", 64}, {"SO", "そ", 64}, {"HA", "は", 64}, {"MI", "み", 64},
                               {"WA", "わ", 64}, {"TA", "た", 64}, {"SU", "す", 64}, {"KA", "か", 64}, {"GI", "ぎ", 64},
                               {"RI", "り", 64}, {"U", "う", 64}});
    const std::string score = std::string(KANTOR_SOURCE_DIR) + "/tests/import/data/sakura.mxl";
    std::filesystem::create_directories(dir.file("out"));
    const std::string song = dir.file("out/sakura.uta");
    auto voice = [&](cli::Args a) {
        a.insert(a.end(), {"--voice-dir", voiceDir, "--config-dir", configDir});
        if (a[0] != "export") a.insert(a.end(), {"--voice", "SakuraVox"});
        return a;
    };
    Result r = run(voice({"import", score, "-o", song}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find(dir.file("out/sakura.mid")), std::string::npos) << r.out;
    const auto sung = codes(song);
    ASSERT_EQ(sung.size(), 32u);
    EXPECT_EQ(sung[0], "|SA");
    EXPECT_EQ(sung[14], "I");  // the tied note under the extending み
    EXPECT_EQ(sung[31], "TA");

    const std::string exported = dir.file("out/sakura-lyrics.mid");
    r = run(voice({"export", song, "-o", exported}));
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string back = dir.file("out/back.uta");
    r = run(voice({"new", exported, "-o", back, "--vox", "1", "--lyrics-from-midi"}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(codes(back), sung);
    EXPECT_EQ(channelLists(dir.file("out/sakura.mid")), channelLists(exported));

    // A score that cannot be sung writes nothing.
    std::ofstream(dir.file("bad.musicxml")) << "<score-partwise><part-list/><part id=\"P1\"><measure number=\"7\">"
                                               "<note><pitch><step>C</step><octave>4</octave></pitch><duration>1"
                                               "</duration><lyric><text>桜</text></lyric></note></measure></part>"
                                               "</score-partwise>";
    r = run(voice({"import", dir.file("bad.musicxml"), "-o", dir.file("bad.uta")}));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("bad.musicxml: パート 1 (P1)、小節 7: 「桜」が分かりません"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir.file("bad.uta")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("bad.mid")));
    r = run(voice({"import", score, "-o", dir.file("x.uta"), "--part", "2"}));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("パート 2 はありません"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir.file("x.mid")));
}

}  // namespace
}  // namespace kantor
