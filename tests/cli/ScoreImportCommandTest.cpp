// kantor-cli import of MusicXML scores as a user meets them: melismas that sound, verses,
// scores without lyrics, repeats followed or not, and the summary that says what was made.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

#include "sound/WavFile.h"
#include "support/CliRun.h"

namespace kantor {
namespace {

using Result = test::CliResult;
Result run(const cli::Args& args) { return test::runCli(args); }

class ScoreImport : public ::testing::Test, public test::CliFolders {
protected:
    ScoreImport()
        : CliFolders({{"SA", "さ", 64}, {"KU", "く", 64}, {"RA", "ら", 64}, {"A", "あ", 64}, {"YA", "や", 64},
                      {"YO", "よ", 64}, {"I", "い", 64}, {"U", "う", 64}, {"O", "お", 64}}) {}
    cli::Args common(cli::Args a) const {
        if (a[0] == "import") a.insert(a.end(), {"--voice", "TestVox", "--lang", "en"});
        return CliFolders::common(std::move(a));
    }
    std::string write(const std::string& name, const std::string& text) {
        std::ofstream(dir.file(name)) << text;
        return dir.file(name);
    }
};

// A score as MuseScore 3 writes it, 4/4 at 120 bpm, one quarter a division.
std::string score(const std::string& measures) {
    return R"(<?xml version="1.0" encoding="UTF-8" standalone="no"?>
<!DOCTYPE score-partwise PUBLIC "-//Recordare//DTD MusicXML 3.1 Partwise//EN" "http://www.musicxml.org/dtds/partwise.dtd">
<score-partwise version="3.1"><identification><encoding><software>MuseScore 3.6.2</software></encoding></identification>
<part-list><score-part id="P1"><part-name>Soprano</part-name></score-part></part-list><part id="P1">)" +
           measures + "</part></score-partwise>\n";
}
const std::string kAttributes =
    R"(<attributes><divisions>1</divisions><key><fifths>0</fifths></key><time><beats>4</beats><beat-type>4</beat-type></time>)"
    R"(<clef><sign>G</sign><line>2</line></clef></attributes><direction placement="above"><direction-type><metronome>)"
    R"(<beat-unit>quarter</beat-unit><per-minute>120</per-minute></metronome></direction-type><sound tempo="120"/></direction>)";
std::string note(const char* step, const std::string& inside = {}, int duration = 1) {
    return std::string("<note><pitch><step>") + step + "</step><octave>4</octave></pitch><duration>" +
           std::to_string(duration) + "</duration><voice>1</voice><type>quarter</type>" + inside + "</note>";
}
std::string lyric(const std::string& text, int number = 1) {
    return "<lyric number=\"" + std::to_string(number) + "\"><syllabic>single</syllabic><text>" + text + "</text></lyric>";
}
const std::string kSlurStart = R"(<notations><slur type="start" placement="above" number="1"/></notations>)";
const std::string kSlurStop = R"(<notations><slur type="stop" number="1"/></notations>)";
const std::string kRest = "<note><rest/><duration>1</duration><voice>1</voice><type>quarter</type></note>";

TEST_F(ScoreImport, EveryNoteOfASlurredRunSoundsLikeTheSyllableItContinues) {
    // さ on the first note, three more under the slur with no lyric and no extend line,
    // then ら and a rest; after the rest a note with no lyric, which stays silent.
    const std::string xml =
        score("<measure number=\"1\">" + kAttributes + note("E", lyric("さ") + kSlurStart) + note("F") + note("G") +
              note("A", kSlurStop) + "</measure><measure number=\"2\">" + note("G", lyric("ら")) + kRest + note("E") +
              kRest + "</measure>");
    const std::string song = dir.file("run.uta");
    Result r = run(common({"import", write("run.musicxml", xml), "-o", song}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("part 1 (Soprano) sings on channel 1: 6 notes, 5 with syllables"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("score: 2 measures, 6 notes; song: 2 measures, 6 notes"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("3 notes without a lyric sing the vowel of the syllable before them"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("1 notes without a lyric after a rest stay silent"), std::string::npos) << r.err;

    const std::string wav = dir.file("run.wav");
    r = run(CliFolders::common({"render", song, "-o", wav, "-q"}));
    ASSERT_EQ(r.status, 0) << r.err;
    WavReader reader;
    WaveFormatTriple format;
    SoundBuffer data;
    ASSERT_TRUE(reader.readFormat(wav, format));
    ASSERT_TRUE(reader.readData(wav, data));
    ASSERT_EQ(format.channels, 1);
    const std::vector<int16_t> s = data.samples();
    // The level of each quarter note (0.5 s at 120 bpm), away from its edges.
    auto level = [&](int quarter) {
        const std::size_t rate = format.samplesPerSec;
        const std::size_t a = quarter * rate / 2 + rate / 10, b = (quarter + 1) * rate / 2 - rate / 10;
        double sum = 0;
        for (std::size_t i = a; i < b && i < s.size(); ++i) sum += double(s[i]) * s[i];
        return 10 * std::log10(sum / double(b - a) / (32768.0 * 32768.0) + 1e-30);
    };
    const double sung = level(0);
    EXPECT_GT(sung, -40) << "the syllable itself sounds";
    for (int q : {1, 2, 3}) EXPECT_LT(std::fabs(level(q) - sung), 6.0) << "melisma note " << q << ": " << level(q) << " dB";
    EXPECT_LT(std::fabs(level(4) - sung), 6.0) << "ら";
    EXPECT_LT(level(6), sung - 30) << "the note after the rest stays silent";
}

TEST_F(ScoreImport, VersesRepeatsAndScoresWithoutLyricsAreChosenOnTheCommandLine) {
    const std::string fwd = R"(<barline location="left"><bar-style>heavy-light</bar-style><repeat direction="forward"/></barline>)";
    const std::string back = R"(<barline location="right"><bar-style>light-heavy</bar-style><repeat direction="backward"/></barline>)";
    const std::string xml = score("<measure number=\"1\">" + kAttributes + fwd + note("E", lyric("さ") + lyric("や", 2)) +
                                  note("F", lyric("く") + lyric("よ", 2)) + note("G", lyric("ら") + lyric("い", 2), 2) +
                                  back + "</measure>");
    const std::string path = write("verses.musicxml", xml);
    Result r = run(common({"import", path, "-o", dir.file("v1.uta")}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("score: 1 measures, 3 notes; song: 2 measures, 6 notes"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("sings verse 1 (the part has verses 1,2)"), std::string::npos) << r.err;
    r = run(common({"import", path, "-o", dir.file("v2.uta"), "--verse", "2", "--no-repeats"}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("score: 1 measures, 3 notes; song: 1 measures, 3 notes"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("repeats not followed"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("sings verse 2"), std::string::npos) << r.err;
    r = run(common({"import", path, "-o", dir.file("v3.uta"), "--verse", "3"}));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("verses.musicxml: no part has verse 3"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir.file("v3.uta")));

    // A melody without words comes in, to be given its lyrics later.
    const std::string bare = write("bare.musicxml", score("<measure number=\"1\">" + kAttributes + note("E") + note("F") +
                                                          note("G", {}, 2) + "</measure>"));
    r = run(common({"import", bare, "-o", dir.file("bare.uta")}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("the score has no lyrics: its notes came in without syllables"), std::string::npos) << r.err;
    EXPECT_TRUE(std::filesystem::exists(dir.file("bare.uta")));
    r = run({"info", dir.file("bare.uta")});
    EXPECT_EQ(r.status, 0) << r.err;

    // The same score refused in Japanese names the part there too.
    r = run(CliFolders::common({"import", path, "-o", dir.file("v4.uta"), "--voice", "TestVox", "--verse", "3",
                                "--lang", "ja"}));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("歌詞 3 番のあるパートがありません。"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace kantor
