// kantor-cli note add|move|resize|split|join|delete and new --empty: the demo song keeps its
// syllables on their notes when a note is written into it; an empty song is written from
// nothing; refused commands leave both files as they were.
#include <gtest/gtest.h>

#include <filesystem>

#include "base/FileIO.h"
#include "midi/MidiFile.h"
#include "song/Song.h"
#include "song/SongFile.h"
#include "support/CliRun.h"

namespace kantor {
namespace {

using Result = test::CliResult;
Result run(const cli::Args& args) { return test::runCli(args); }

std::vector<uint8_t> bytesOf(const std::string& path) {
    std::vector<uint8_t> b;
    readWholeFile(path, b);
    return b;
}

// Each note of a channel with the syllables of its Vox event ("" for none), by start tick,
// as a fresh read of both files gives them.
std::vector<std::pair<uint32_t, std::string>> sung(const std::string& songPath, int c) {
    Song song;
    SongFile f;
    EXPECT_TRUE(f.read(song, songPath)) << f.lastError();
    MidiFile midi;
    EXPECT_TRUE(midi.load(song.midiPath())) << midi.lastError();
    std::vector<std::pair<uint32_t, std::string>> out;
    std::size_t k = 0;
    for (const auto& m : midi.channel(c)) {
        if (!m || !m->isNote()) continue;
        const VoxEvent* e = song.event(c, k++);
        out.emplace_back(m->startTick(), e ? e->codeText(0) : "?");
    }
    return out;
}

class NoteWrite : public ::testing::Test, public test::CliFolders {
protected:
    NoteWrite() : CliFolders({{"A", "あ", 69}}) {}
};

TEST_F(NoteWrite, ANoteWrittenIntoTheDemoLeavesEveryLaterSyllableOnItsNote) {
    // The first start puts the demo song into the sample folder.
    run(common({"note", "show", dir.file("none.uta"), "--channel", "1"}));
    const std::string song = scratch.folder("sample") + "/DEMOS20.uta";
    const std::string midi = scratch.folder("sample") + "/DEMOS20.mid";
    ASSERT_TRUE(fileExists(song));
    const auto before = sung(song, 0);
    ASSERT_GT(before.size(), 8u);
    // Between notes 4 and 5: note 4 is shortened to make room.
    const uint32_t tick = before[4].first - 120;
    Result r = run(common({"note", "add", song, "--channel", "1", "--tick", std::to_string(tick), "--length", "120",
                           "--key", "74", "--syllable", "ra"}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "note 5 of channel 1: tick " + std::to_string(tick) + ", key 74\n");
    const auto after = sung(song, 0);
    ASSERT_EQ(after.size(), before.size() + 1);
    for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(after[i], before[i]);
    EXPECT_EQ(after[4], std::make_pair(tick, std::string("RA")));
    for (std::size_t i = 4; i < before.size(); ++i) EXPECT_EQ(after[i + 1], before[i]) << "note " << i + 1;

    // Move it, split it, join it back, delete it: the song's syllables are as at the start.
    r = run(common({"note", "move", song, "--channel", "1", "--note", "5", "--by=-60", "--transpose", "-2"}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(sung(song, 0)[4], std::make_pair(tick - 60, std::string("RA")));
    r = run(common({"note", "split", song, "--channel", "1", "--note", "5", "--at", std::to_string(tick)}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(sung(song, 0)[5], std::make_pair(tick, std::string("A")));
    r = run(common({"note", "join", song, "--channel", "1", "--note", "5"}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "notes 5 and 6 of channel 1 joined\n");
    r = run(common({"note", "resize", song, "--channel", "1", "--note", "5", "--length", "30"}));
    ASSERT_EQ(r.status, 0) << r.err;
    r = run(common({"note", "delete", song, "--channel", "1", "--note", "5"}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "notes 5-5 of channel 1 deleted\n");
    const auto back = sung(song, 0);
    ASSERT_EQ(back.size(), before.size());
    for (std::size_t i = 0; i < before.size(); ++i)
        if (i != 3) {
            EXPECT_EQ(back[i], before[i]);
        }

    // Refusals change neither file.
    const auto midiNow = bytesOf(midi), songNow = bytesOf(song);
    r = run(common({"note", "add", song, "--channel", "1", "--tick", std::to_string(before[2].first), "--length",
                    "100", "--key", "60"}));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("note add: "), std::string::npos) << r.err;
    r = run(common({"note", "add", song, "--channel", "1", "--tick", "0", "--length", "10", "--key", "60",
                    "--syllable", "XQ"}));
    EXPECT_EQ(r.status, 1);
    r = run(common({"note", "move", song, "--channel", "1", "--note", "999", "--by", "10"}));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("past the end"), std::string::npos) << r.err;
    r = run(common({"note", "move", song, "--channel", "1", "--note", "2", "--key", "60", "--transpose", "2"}));
    EXPECT_EQ(r.status, 2);
    r = run(common({"note", "split", song, "--channel", "1", "--note", "2", "--at", "0"}));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(bytesOf(midi), midiNow);
    EXPECT_EQ(bytesOf(song), songNow);
}

TEST_F(NoteWrite, AnEmptySongTakesNotesFromNothing) {
    const std::string song = dir.file("melody.uta");
    Result r = run(common({"new", "--empty", "--tempo", "90", "--time", "3/4", "--measures", "8", "-o", song}));
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string midi = dir.file("melody.mid");
    EXPECT_EQ(r.out, song + "\n" + midi + "\n");
    MidiFile m;
    ASSERT_TRUE(m.load(midi)) << m.lastError();
    EXPECT_EQ(m.division(), 480);
    EXPECT_EQ(m.songEndTick(), 8u * 3 * 480);
    // Again without --force: refused, the files stay.
    EXPECT_EQ(run(common({"new", "--empty", "-o", song})).status, 1);
    EXPECT_EQ(run(common({"new", "--empty", "--time", "3/5", "-o", dir.file("x.uta")})).status, 2);
    EXPECT_EQ(run(common({"new", "--empty", "--measures", "0", "-o", dir.file("x.uta")})).status, 2);
    EXPECT_EQ(run(common({"new", midi, "-o", dir.file("x.uta")})).status, 2);  // no --vox

    const char* syllables[] = {"SA", "KU", "RA"};
    for (int i = 0; i < 3; ++i) {
        r = run(common({"note", "add", song, "--channel", "1", "--tick", std::to_string(i * 480), "--length", "480",
                        "--key", std::to_string(69 + i), "--syllable", syllables[i]}));
        ASSERT_EQ(r.status, 0) << r.err;
    }
    // Written out of order: the middle one last.
    r = run(common({"note", "add", song, "--channel", "1", "--tick", "1920", "--length", "480", "--key", "72"}));
    ASSERT_EQ(r.status, 0) << r.err;
    const auto s = sung(song, 0);
    const std::vector<std::pair<uint32_t, std::string>> want = {{0, "SA"}, {480, "KU"}, {960, "RA"}, {1920, ""}};
    EXPECT_EQ(s, want);
    r = run(common({"note", "show", song, "--channel", "1"}));
    EXPECT_EQ(r.status, 0) << r.err;
}

}  // namespace
}  // namespace kantor
