#include <gtest/gtest.h>

#include <sstream>

#include "support/CliRun.h"
#include "midi/SmfWriter.h"
#include "support/TempDir.h"

namespace kantor {
namespace {

using Result = test::CliResult;
Result run(const cli::Args& args) { return test::runCli(args); }

std::string writeSong(const test::TempDir& dir) {
    SmfTrack conductor, melody;
    conductor.tempo(0, 500000).timeSignature(0, 3, 2);
    melody.note(0, 480, 0, 60, 100).note(480, 960, 0, 67, 90).controlChange(0, 0, 7, 100);
    return dir.write("song.mid", buildSmf(1, 480, {conductor, melody}));
}

TEST(MidiCommands, InfoSummarisesAndJsonHasTheKeys) {
    test::TempDir dir;
    std::string path = writeSong(dir);
    Result r = run({"info", path});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Format: 1"), std::string::npos);
    EXPECT_NE(r.out.find("Division: 480"), std::string::npos);
    EXPECT_NE(r.out.find("2 notes, range  60 (C3) -  67 (G3)"), std::string::npos) << r.out;

    r = run({"info", "--json", path});
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* key : {"\"format\":1", "\"tracks\":2", "\"division\":480", "\"songEndTick\":960",
                            "\"channels\":[[", "\"measures\":[{\"start\":0,\"length\":1440,\"numerator\":3,\"denominator\":4}",
                            "\"tempos\":[{\"tick\":0,\"usPerQuarter\":500000}]",
                            "{\"kind\":\"note\",\"note\":60,\"velocity\":100,\"start\":0,\"end\":480}",
                            "{\"kind\":\"controlChange\",\"tick\":0,\"data\":[176,7,100]}",
                            "{\"kind\":\"endOfTrack\",\"tick\":960}"}) {
        EXPECT_NE(r.out.find(key), std::string::npos) << key << "\n" << r.out;
    }
}

TEST(MidiCommands, PosPrintsPositionsAndErrorsHaveTheirStatus) {
    test::TempDir dir;
    std::string path = writeSong(dir);
    Result r = run({"pos", path, "0", "1000"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "0\t001 : 1 : 000\t0 ms\n1000\t001 : 3 : 040\t1041 ms\n");

    r = run({"pos", path, "x"});
    EXPECT_EQ(r.status, 2);
    r = run({"pos", dir.file("missing.mid"), "1"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Midiﾌｧｲﾙが見つかりません。"), std::string::npos);
    r = run({"info", dir.write("bad.mid", {'a', 'b', 'c', 'd', 'e'})});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "不当なファイル形式です。\n" + dir.file("bad.mid") + ": it starts with neither \"MThd\" nor \"RIFF\"\n");
    EXPECT_EQ(run({}).status, 2);
    EXPECT_EQ(run({"frobnicate"}).status, 2);
}

}  // namespace
}  // namespace kantor
