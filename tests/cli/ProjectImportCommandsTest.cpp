// Songs from projects of other singing editors and from karaoke files, through kantor-cli:
// import of .ust and .ustx, export of the song's lyrics (only the song's), and back again with
// new --lyrics-from-midi; verses chosen by option.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>

#include "base/Codepage.h"
#include "base/FileIO.h"
#include "import/MidiLyrics.h"
#include "midi/SmfWriter.h"
#include "support/CliRun.h"
#include "support/ScratchFolders.h"
#include "support/SyntheticVoice.h"
#include "support/TempDir.h"

namespace kantor {
namespace {

using Result = test::CliResult;
Result run(const cli::Args& args) { return test::runCli(args); }

const std::string kData = std::string(KANTOR_SOURCE_DIR) + "/tests/import/data/";

class ProjectImport : public ::testing::Test, public test::CliFolders {
protected:
    ProjectImport()
        : CliFolders({{"SA", "さ", 64}, {"KU", "く", 64}, {"RA", "ら", 64}, {"YA", "や", 64}, {"YO", "よ", 64},
                      {"I", "い", 64}, {"NO", "の", 64}, {"SO", "そ", 64}, {"HA", "は", 64}, {"A", "あ", 64},
                      {"U", "う", 64}, {"N", "ん", 64}}) {}
    cli::Args common(cli::Args a) const {
        if (a[0] == "new" || a[0] == "import") a.insert(a.end(), {"--voice", "TestVox"});
        if (a[0] == "import") a.insert(a.end(), {"--lang", "en"});
        return CliFolders::common(std::move(a));
    }
    // The syllable codes of a channel's notes ("|" before a phrase head), from info --json.
    std::vector<std::string> codes(const std::string& song, int channel = 1) {
        Result r = run({"info", "--json", song});
        EXPECT_EQ(r.status, 0) << r.err;
        std::vector<std::string> out;
        const std::string key = "\"channel\":" + std::to_string(channel) + ",";
        const std::size_t at = r.out.find(key);
        if (at == std::string::npos) return out;
        const std::size_t end = r.out.find("\"channel\":", at + key.size());
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
    // The notes of `info --json` of a MIDI file, whatever its tracks.
    std::string channelLists(const std::string& midi) {
        Result r = run({"info", "--json", midi});
        EXPECT_EQ(r.status, 0) << r.err;
        const std::size_t a = r.out.find("\"channels\""), b = r.out.find("\"measures\"");
        return a < b && b != std::string::npos ? r.out.substr(a, b - a) : std::string();
    }
};

std::vector<std::string> list(std::initializer_list<const char*> l) { return {l.begin(), l.end()}; }

TEST_F(ProjectImport, UstAndUstxBecomeSongsAndComeBackFromTheirExport) {
    struct Case {
        const char* file;
        std::vector<std::vector<std::string>> channels;  // the codes of channels 1, 2, …
        const char* summary;
    };
    const Case cases[] = {
        {"sakura.ust",
         {list({"|SA", "KU", "RA", "|SA", "KU", "RA", "", "|YA", "YO", "I", "NO", "SO", "RA", "A", "HA"})},
         "not carried: breaths (1), envelopes (1), flags (1), intensities (1), pitch bends (1), vibratos (1)"},
        {"sakura.ustx",
         {list({"|SA", "KU", "RA", "|SA", "KU", "RA", "YA", "YO", "I", "NO", "SO", "RA", "A", "HA"}),
          list({"|A", "A", "A", "U"})},
         "track \"Harmony\" sings on channel 2: 4 notes, 4 with syllables"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string name = std::string(c.file).substr(0, std::string(c.file).find('.'));
        const std::string folder = dir.file(std::string(c.file) + "-out");
        std::filesystem::create_directories(folder);
        const std::string song = folder + "/" + name + ".uta";
        Result r = run(common({"import", kData + c.file, "-o", song}));
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find(folder + "/" + name + ".mid"), std::string::npos) << r.out;
        EXPECT_NE(r.err.find(c.summary), std::string::npos) << r.err;
        for (std::size_t ch = 0; ch < c.channels.size(); ++ch)
            EXPECT_EQ(codes(song, static_cast<int>(ch) + 1), c.channels[ch]) << "channel " << ch + 1;

        // Exported with its lyrics and read back: the same syllables on the same notes.
        const std::string exported = folder + "/" + name + "-lyrics.mid";
        r = run(common({"export", song, "-o", exported}));
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(channelLists(folder + "/" + name + ".mid"), channelLists(exported));
        const std::string back = folder + "/back.uta";
        cli::Args again{"new", exported, "-o", back};
        for (std::size_t ch = 0; ch < c.channels.size(); ++ch) {
            again.push_back("--vox");
            again.push_back(std::to_string(ch + 1));
        }
        again.push_back("--lyrics-from-midi");
        r = run(common(again));
        ASSERT_EQ(r.status, 0) << r.err;
        for (std::size_t ch = 0; ch < c.channels.size(); ++ch)
            EXPECT_EQ(codes(back, static_cast<int>(ch) + 1), c.channels[ch]) << "channel " << ch + 1;
    }
    // A project with a syllable the voice lacks writes nothing.
    std::ofstream(dir.file("ki.ust")) << "[#SETTING]\nTempo=120\n[#0000]\nLength=480\nLyric=a き\nNoteNum=60\n";
    Result r = run(common({"import", dir.file("ki.ust"), "-o", dir.file("ki.uta")}));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("[#0000]: the voice TestVox has no syllable"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir.file("ki.uta")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("ki.mid")));
}

TEST_F(ProjectImport, ExportWritesOnlyTheSongsLyrics) {
    // A karaoke file as karaoke programs write it: headers, the words as text events in a
    // track of their own, the melody in another.
    SmfTrack conductor, words, tune;
    conductor.tempo(0, 500000).text(0, 1, "@KMIDI KARAOKE FILE").text(0, 1, "@V0100");
    words.text(0, 3, "Words").text(0, 1, "@LJPN").text(0, 1, "@Tさくら");
    words.text(0, 1, "sa").text(480, 1, "ku").text(960, 1, "ra_").text(1920, 1, "/sa").text(2400, 1, "ku").text(2880, 1, "ra");
    tune.text(0, 3, "Melody").programChange(0, 0, 52);
    for (uint32_t s : {0u, 480u, 960u, 1440u, 1920u, 2400u, 2880u}) tune.note(s, s + 480, 0, 69, 100);
    tune.controlChange(3000, 0, 7, 90);
    const std::string kar = dir.write("sakura.kar", buildSmf(1, 480, {conductor, words, tune}));
    const std::string song = dir.file("sakura.uta");
    Result r = run(common({"new", kar, "-o", song, "--vox", "1", "--lyrics-from-midi"}));
    ASSERT_EQ(r.status, 0) << r.err;
    // The first line has no mark and keeps its syllables; the note after "ra_" holds its vowel.
    EXPECT_EQ(codes(song), list({"|SA", "KU", "RA", "A", "|SA", "KU", "RA"}));
    EXPECT_NE(r.err.find("1 note without a lyric holds the syllable before"), std::string::npos) << r.err;

    // New words, then export: only the song's lyrics are in the file.
    std::ofstream(dir.file("new.txt")) << "や よ い あ\nそ ら は\n";
    const std::string song2 = dir.file("sakura2.uta");
    r = run(common({"new", kar, "-o", song2, "--vox", "1", "--lyrics", dir.file("new.txt")}));
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string out = dir.file("out.mid");
    r = run(common({"export", song2, "-o", out}));
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<uint8_t> bytes;
    ASSERT_EQ(readWholeFile(out, bytes), ReadStatus::Ok);
    std::vector<MidiTextTrack> tracks;
    std::string error;
    ASSERT_TRUE(readMidiText(bytes, tracks, error)) << error;
    std::vector<std::string> texts;
    for (const MidiTextTrack& t : tracks)
        for (const MidiTextEvent& e : t.events) texts.push_back(std::to_string(e.type) + ":" + e.bytes);
    EXPECT_EQ(texts, list({"1:@KMIDI KARAOKE FILE", "1:@V0100", "1:@LJPN", "1:@Tさくら", "5:や", "5:よ", "5:い", "5:あ",
                           "5:/そ", "5:ら", "5:は"}));
    // Everything else plays as before, and the lyrics come back.
    EXPECT_EQ(channelLists(kar), channelLists(out));
    r = run(common({"new", out, "-o", dir.file("back.uta"), "--vox", "1", "--lyrics-from-midi"}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(codes(dir.file("back.uta")), list({"|YA", "YO", "I", "A", "|SO", "RA", "HA"}));
}

TEST_F(ProjectImport, VersesAndLyricTracksAreChosenByOption) {
    SmfTrack conductor, tune, verse1, verse2;
    conductor.tempo(0, 500000);
    for (uint32_t s : {0u, 480u, 960u}) tune.note(s, s + 400, 0, 69, 100);
    verse1.text(0, 3, "verse 1").text(0, 5, "さ").text(480, 5, "く").text(960, 5, "ら");
    verse2.text(0, 3, "verse 2").text(0, 5, "あ").text(480, 5, "の").text(960, 5, "は");
    const std::string midi = dir.write("verses.mid", buildSmf(1, 480, {conductor, tune, verse1, verse2}));
    Result r = run(common({"new", midi, "-o", dir.file("v.uta"), "--vox", "1", "--lyrics-from-midi"}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("verse 1 of 2; --verse N or --lyrics-track N takes another"), std::string::npos) << r.err;
    EXPECT_EQ(codes(dir.file("v.uta")), list({"|SA", "KU", "RA"}));
    r = run(common({"new", midi, "-o", dir.file("v2.uta"), "--vox", "1", "--lyrics-from-midi", "--verse", "2"}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(codes(dir.file("v2.uta")), list({"|A", "NO", "HA"}));
    r = run(common({"new", midi, "-o", dir.file("v4.uta"), "--vox", "1", "--lyrics-from-midi", "--lyrics-track", "4"}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(codes(dir.file("v4.uta")), list({"|A", "NO", "HA"}));
    r = run(common({"new", midi, "-o", dir.file("v3.uta"), "--vox", "1", "--lyrics-from-midi", "--verse", "3"}));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("no verse 3"), std::string::npos) << r.err;
    r = run(common({"new", midi, "-o", dir.file("v5.uta"), "--vox", "1", "--lyrics", dir.file("x.txt"), "--verse", "2"}));
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--verse and --lyrics-track choose the lyrics of --lyrics-from-midi"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace kantor
