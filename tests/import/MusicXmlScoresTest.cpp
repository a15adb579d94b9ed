// Scores as notation programs write them: repeats, endings and jumps (tidy and loose),
// melismas without extend lines, verses, scores without lyrics, and hostile or odd files.
#include <gtest/gtest.h>

#include <algorithm>

#include "base/Codepage.h"
#include "base/Translation.h"
#include "import/MusicXml.h"
#include "midi/MidiFile.h"
#include "midi/TempoMap.h"

namespace kantor {
namespace {

std::string en(const std::string& text) { return translatedTo(Language::English, text); }

// A note as MuseScore 3 writes it, from its MIDI key.
std::string msNote(int key, int duration, const std::string& type, const std::string& inside = {}) {
    static const char* steps[] = {"C", "C", "D", "D", "E", "F", "F", "G", "G", "A", "A", "B"};
    static const int alters[] = {0, 1, 0, 1, 0, 0, 1, 0, 1, 0, 1, 0};
    const int pc = key % 12;
    std::string s = "<note default-x=\"80.00\" default-y=\"-20.00\"><pitch><step>" + std::string(steps[pc]) + "</step>";
    if (alters[pc]) s += "<alter>1</alter>";
    s += "<octave>" + std::to_string(key / 12 - 1) + "</octave></pitch><duration>" + std::to_string(duration) +
         "</duration><voice>1</voice><type>" + type + "</type>" + (alters[pc] ? "<accidental>sharp</accidental>" : "") +
         "<stem>up</stem>" + inside + "</note>";
    return s;
}
std::string msLyric(const std::string& text, int number = 1, const std::string& syllabic = "single") {
    return "<lyric number=\"" + std::to_string(number) + "\" default-x=\"6.58\" default-y=\"-80.00\"><syllabic>" +
           syllabic + "</syllabic><text>" + text + "</text></lyric>";
}

// One measure of a test score: its marks, and one whole note whose key tells the measure.
struct Bar {
    Bar(std::string l = {}, std::string s = {}, std::string e = {}, std::string r = {})
        : left(std::move(l)), start(std::move(s)), end(std::move(e)), right(std::move(r)) {}
    std::string left, start, end, right;
};

constexpr int kFirstKey = 40;  // measure n sings key kFirstKey + n

std::string header(const std::string& encoding = "UTF-8") {
    return "<?xml version=\"1.0\" encoding=\"" + encoding +
           "\" standalone=\"no\"?>\n<!DOCTYPE score-partwise PUBLIC \"-//Recordare//DTD MusicXML 3.1 Partwise//EN\" "
           "\"http://www.musicxml.org/dtds/partwise.dtd\">\n<score-partwise version=\"3.1\">\n  <work><work-title>"
           "Test</work-title></work>\n  <identification><encoding><software>MuseScore 3.2.3</software>"
           "<encoding-date>2026-01-01</encoding-date><supports element=\"accidental\" type=\"yes\"/></encoding>"
           "</identification>\n  <part-list>\n    <score-part id=\"P1\"><part-name>Voice</part-name><score-instrument "
           "id=\"P1-I1\"><instrument-name>Voice</instrument-name></score-instrument><midi-instrument id=\"P1-I1\">"
           "<midi-channel>1</midi-channel><midi-program>53</midi-program><volume>78.7402</volume><pan>0</pan>"
           "</midi-instrument></score-part>\n  </part-list>\n  <part id=\"P1\">\n";
}
const std::string kFirstAttributes =
    "<print><system-layout><system-margins><left-margin>0.00</left-margin><right-margin>0.00</right-margin>"
    "</system-margins><top-system-distance>170.00</top-system-distance></system-layout></print><attributes>"
    "<divisions>1</divisions><key><fifths>0</fifths></key><time><beats>4</beats><beat-type>4</beat-type></time>"
    "<clef><sign>G</sign><line>2</line></clef></attributes><direction placement=\"above\"><direction-type>"
    "<metronome parentheses=\"no\"><beat-unit>quarter</beat-unit><per-minute>120</per-minute></metronome>"
    "</direction-type><sound tempo=\"120\"/></direction>";

std::string museScore(const std::vector<Bar>& bars) {
    static const char* kana[] = {"さ", "く", "ら", "や", "よ", "い", "の", "そ"};
    std::string s = header();
    for (std::size_t i = 0; i < bars.size(); ++i) {
        const Bar& b = bars[i];
        s += "    <measure number=\"" + std::to_string(i + 1) + "\" width=\"180.50\">" + (i == 0 ? kFirstAttributes : "") +
             b.left + b.start + msNote(kFirstKey + static_cast<int>(i) + 1, 4, "whole", msLyric(kana[i % 8])) + b.end +
             b.right + "</measure>\n";
    }
    return s + "  </part>\n</score-partwise>\n";
}

const std::string kForward =
    "<barline location=\"left\"><bar-style>heavy-light</bar-style><repeat direction=\"forward\"/></barline>";
const std::string kBackward =
    "<barline location=\"right\"><bar-style>light-heavy</bar-style><repeat direction=\"backward\"/></barline>";
std::string endingStart(const std::string& n) {
    return "<barline location=\"left\"><ending number=\"" + n + "\" type=\"start\" default-y=\"41.04\"/></barline>";
}
std::string endingEnd(const std::string& n, const std::string& type, bool repeat) {
    return "<barline location=\"right\">" + std::string(repeat ? "<bar-style>light-heavy</bar-style>" : "") +
           "<ending number=\"" + n + "\" type=\"" + type + "\"/>" +
           (repeat ? "<repeat direction=\"backward\"/>" : "") + "</barline>";
}
std::string sign(const std::string& glyph, const std::string& sound) {
    return "<direction placement=\"above\"><direction-type><" + glyph +
           " default-x=\"-16.00\" relative-y=\"20.00\"/></direction-type><sound " + sound + "/></direction>";
}
std::string words(const std::string& text, const std::string& sound = {}) {
    return "<direction placement=\"above\"><direction-type><words font-weight=\"bold\">" + text +
           "</words></direction-type>" + (sound.empty() ? "" : "<sound " + sound + "/>") + "</direction>";
}

// The measures the song plays, told by the keys of its notes.
std::vector<int> played(const MusicXmlSong& song) {
    MidiFile midi;
    EXPECT_TRUE(midi.loadImage(song.smf, "t.mid")) << midi.lastError();
    std::vector<int> out;
    for (const auto& e : midi.channel(0))
        if (e && e->isNote()) out.push_back(static_cast<int>(e->value1) - kFirstKey);
    return out;
}

MusicXmlSong imported(const std::string& xml, MusicXmlOptions o = {}) {
    MusicXmlSong s;
    std::string error;
    EXPECT_TRUE(importMusicXmlText(xml, "t.musicxml", o, s, error)) << error;
    return s;
}

std::string allWarnings(const MusicXmlSong& s) {
    std::string w;
    for (const std::string& x : s.warnings) w += en(x) + "\n";
    return w;
}

TEST(MusicXmlScores, RepeatsEndingsAndJumpsAreFollowedAsAReaderPlaysThem) {
    struct Case {
        const char* what;
        std::vector<Bar> bars;
        std::vector<int> order;  // listed by hand, as a musician reads the score
    };
    const std::vector<Case> cases = {
        {"first and second endings",
         {{}, {kForward}, {}, {endingStart("1"), "", "", endingEnd("1", "stop", true)},
          {endingStart("2"), "", "", endingEnd("2", "discontinue", false)}, {}},
         {1, 2, 3, 4, 2, 3, 5, 6}},
        {"an ending for passes 1 and 2, then the third",
         {{}, {kForward}, {endingStart("1, 2"), "", "", endingEnd("1, 2", "stop", true)},
          {endingStart("3"), "", "", endingEnd("3", "stop", false)}, {}},
         {1, 2, 3, 2, 3, 2, 4, 5}},
        {"a repeat from the start, played three times",
         {{}, {"", "", "", "<barline location=\"right\"><repeat direction=\"backward\" times=\"3\"/></barline>"}, {}},
         {1, 2, 1, 2, 1, 2, 3}},
        {"D.C. al Fine, the repeat not taken again",
         {{}, {kForward, "", "", kBackward}, {"", "", words("Fine", "fine=\"yes\"")}, {},
          {"", "", words("D.C. al Fine", "dacapo=\"yes\"")}},
         {1, 2, 2, 3, 4, 5, 1, 2, 3}},
        {"D.S. al Coda",
         {{}, {"", sign("segno", "segno=\"segno\"")}, {}, {"", "", words("To Coda", "tocoda=\"coda\"")}, {},
          {"", "", words("D.S. al Coda", "dalsegno=\"segno\"")}, {"", sign("coda", "coda=\"coda\"")}, {}},
         {1, 2, 3, 4, 5, 6, 2, 3, 4, 7, 8}},
        {"jumps written as words only",
         {{}, {"", "<direction><direction-type><segno/></direction-type></direction>"}, {"", "", words("Fine")}, {},
          {"", "", words("D.S. al Fine")}},
         {1, 2, 3, 4, 5, 2, 3}},
        {"a coda sign at the jump instead of To Coda",
         {{}, {"", sign("segno", "segno=\"segno\"")}, {"", "", sign("coda", "")}, {}, {"", "", words("D.S. al Coda", "dalsegno=\"segno\"")},
          {"", sign("coda", "coda=\"coda\"")}},
         {1, 2, 3, 4, 5, 2, 3, 6}},
        {"D.S. al Coda with the second ending skipped after the jump",
         {{}, {kForward, sign("segno", "segno=\"segno\"")}, {endingStart("1"), "", "", endingEnd("1", "stop", true)},
          {endingStart("2"), "", words("To Coda", "tocoda=\"coda\""), endingEnd("2", "discontinue", false)},
          {"", "", words("D.S. al Coda", "dalsegno=\"segno\"")}, {"", sign("coda", "coda=\"coda\"")}},
         {1, 2, 3, 2, 4, 5, 2, 4, 6}},
    };
    for (const Case& c : cases) {
        const MusicXmlSong s = imported(museScore(c.bars));
        EXPECT_EQ(played(s), c.order) << c.what;
        EXPECT_EQ(s.scoreMeasures, c.bars.size()) << c.what;
        EXPECT_EQ(s.songMeasures, c.order.size()) << c.what;
        EXPECT_EQ(s.lyrics.size(), c.order.size()) << c.what;
        EXPECT_EQ(s.parts[0].scoreNotes, c.bars.size()) << c.what;
        EXPECT_EQ(s.parts[0].notes, c.order.size()) << c.what;
        // The marks fit together: nothing to warn about but where Fine ends the song.
        for (const std::string& w : s.warnings) EXPECT_NE(en(w).find("Fine"), std::string::npos) << c.what << ": " << en(w);
        // Without repeats: the score once through.
        MusicXmlOptions once;
        once.repeats = false;
        const MusicXmlSong plain = imported(museScore(c.bars), once);
        std::vector<int> straight(c.bars.size());
        for (std::size_t k = 0; k < straight.size(); ++k) straight[k] = static_cast<int>(k) + 1;
        EXPECT_EQ(played(plain), straight) << c.what;
        EXPECT_EQ(plain.songMeasures, c.bars.size());
    }
}

TEST(MusicXmlScores, LooseVoltaMarksAreReadAsAMusicianWould) {
    // As MuseScore 3.2 wrote a real score: a stop with no start at 15, ending 1 started at 16
    // and closed by a "2" discontinue, ending 2 started at 17 and never stopped.
    std::vector<Bar> bars(24);
    bars[8].left = kForward;                                              // measure 9
    bars[14].right = endingEnd("1", "stop", false);                       // 15
    bars[15].left = endingStart("1");                                     // 16
    bars[15].right = endingEnd("2", "discontinue", true);
    bars[16].left = endingStart("2");                                     // 17, never stopped
    bars[19].left = kForward;                                             // 20
    bars[21].right = kBackward;                                           // 22
    const MusicXmlSong s = imported(museScore(bars));
    std::vector<int> order;
    for (int m = 1; m <= 16; ++m) order.push_back(m);
    for (int m = 9; m <= 15; ++m) order.push_back(m);
    for (int m = 17; m <= 22; ++m) order.push_back(m);
    for (int m = 20; m <= 24; ++m) order.push_back(m);
    EXPECT_EQ(played(s), order);
    EXPECT_EQ(s.songMeasures, order.size());
    const std::string w = allWarnings(s);
    EXPECT_NE(w.find("measure 15: an ending stop without a start was passed over"), std::string::npos) << w;
    EXPECT_NE(w.find("measure 16: the stop of ending 2 closed ending 1"), std::string::npos) << w;
    EXPECT_NE(w.find("measure 17: ending 2 is never stopped; it was taken to end at measure 17"), std::string::npos) << w;
    EXPECT_EQ(w.find("never played"), std::string::npos) << w;

    // An ending 1 never stopped ends at its repeat sign.
    std::vector<Bar> open = {{}, {kForward}, {endingStart("1")}, {"", "", "", kBackward}, {endingStart("2")}, {}};
    EXPECT_EQ(played(imported(museScore(open))), (std::vector<int>{1, 2, 3, 4, 2, 5, 6}));
}

TEST(MusicXmlScores, JumpsToMissingMarksGoOnWithAWarningNamingTheMeasure) {
    // D.S. without a segno: back to the start. To Coda without a coda: straight on.
    std::vector<Bar> bars = {{}, {"", "", words("To Coda", "tocoda=\"coda\"")}, {}, {"", "", words("D.S. al Coda", "dalsegno=\"segno\"")}, {}};
    const MusicXmlSong s = imported(museScore(bars));
    EXPECT_EQ(played(s), (std::vector<int>{1, 2, 3, 4, 1, 2, 3, 4, 5}));
    const std::string w = allWarnings(s);
    EXPECT_NE(w.find("measure 4: D.S. without a segno"), std::string::npos) << w;
    EXPECT_NE(w.find("measure 2: To Coda without a coda"), std::string::npos) << w;

    // A first ending without its repeat sign still returns.
    std::vector<Bar> unsigned1 = {{}, {endingStart("1"), "", "", endingEnd("1", "stop", false)},
                                  {endingStart("2"), "", "", endingEnd("2", "stop", false)}, {}};
    const MusicXmlSong u = imported(museScore(unsigned1));
    EXPECT_EQ(played(u), (std::vector<int>{1, 2, 1, 3, 4}));
    EXPECT_NE(allWarnings(u).find("measure 2: ending 1 has no repeat sign; the repeat was taken"), std::string::npos)
        << allWarnings(u);

    // Measures after the Fine that the D.C. comes back to: named, never dropped in silence.
    std::vector<Bar> after = {{}, {"", "", words("Fine", "fine=\"yes\"")}, {"", "", words("D.C. al Fine", "dacapo=\"yes\"")}, {}};
    const MusicXmlSong k = imported(museScore(after));
    EXPECT_EQ(played(k), (std::vector<int>{1, 2, 3, 1, 2}));
    EXPECT_NE(allWarnings(k).find("the song ends at the Fine of measure 2"), std::string::npos) << allWarnings(k);
    EXPECT_NE(allWarnings(k).find("measure 4 is never played"), std::string::npos) << allWarnings(k);
}

// A slurred run as MuseScore writes it: the first note has the lyric, the others only the
// slur; no extend line.
std::string slurredRun() {
    const std::string slurStart = "<notations><slur type=\"start\" placement=\"above\" number=\"1\"/></notations>";
    const std::string slurStop = "<notations><slur type=\"stop\" number=\"1\"/></notations>";
    std::string s = header() + "<measure number=\"1\">" + kFirstAttributes + msNote(69, 1, "quarter", msLyric("さ")) +
                    msNote(71, 1, "quarter", slurStart + msLyric("ら")) + msNote(72, 1, "quarter") +
                    msNote(74, 1, "quarter", slurStop) + "</measure><measure number=\"2\">" +
                    msNote(72, 1, "quarter", "<tie type=\"start\"/>" + msLyric("kyo")) +
                    msNote(72, 1, "quarter", "<tie type=\"stop\"/>") + msNote(71, 1, "quarter") +
                    "<note><rest/><duration>1</duration><voice>1</voice><type>quarter</type></note>"
                    "</measure><measure number=\"3\">" +
                    msNote(69, 2, "half") + msNote(71, 2, "half", msLyric("ー")) + "</measure></part></score-partwise>";
    return s;
}

TEST(MusicXmlScores, MelismasSingTheVowelAndNotesAfterARestStayEmpty) {
    const MusicXmlSong s = imported(slurredRun());
    std::vector<std::string> got;
    for (const NoteLyric& n : s.lyrics) got.push_back(std::to_string(n.note) + (n.phraseHead ? "|" : ":") + n.syllables[0]);
    // Notes: さ ら (run) (run) | KYO~ (tie) (next) | rest | (empty) ー.
    EXPECT_EQ(got, (std::vector<std::string>{"0|さ", "1:ら", "2:あ", "3:あ", "4:KYO", "5:お"}));
    EXPECT_EQ(s.melismaNotes, 3u);
    EXPECT_EQ(s.silentNotes, 2u);  // after the rest: no lyric, and a lone ー with nothing to hold
}

TEST(MusicXmlScores, VersesAndScoresWithoutLyrics) {
    std::string xml = header() + "<measure number=\"1\">" + kFirstAttributes;
    const char* one[] = {"さ", "く", "ら"};
    const char* two[] = {"や", "よ", "い"};
    for (int i = 0; i < 3; ++i) xml += msNote(69 + i, 1, "quarter", msLyric(one[i], 1) + msLyric(two[i], 2));
    xml += msNote(72, 1, "quarter") + "</measure></part></score-partwise>";
    MusicXmlSong s = imported(xml);
    EXPECT_EQ(s.verse, 1);
    EXPECT_EQ(s.lyrics[1].syllables, std::vector<std::string>{"く"});
    EXPECT_EQ(s.parts[0].verses, (std::vector<int>{1, 2}));
    MusicXmlOptions o;
    o.verse = 2;
    s = imported(xml, o);
    EXPECT_EQ(s.verse, 2);
    EXPECT_EQ(s.lyrics[1].syllables, std::vector<std::string>{"よ"});
    EXPECT_EQ(s.lyrics[3].syllables, std::vector<std::string>{"い"});  // the melisma of verse 2
    o.verse = 3;
    std::string error;
    EXPECT_FALSE(importMusicXmlText(xml, "t.musicxml", o, s, error));
    EXPECT_EQ(en(error), "t.musicxml: no part has verse 3");
    o.part = 1;
    EXPECT_FALSE(importMusicXmlText(xml, "t.musicxml", o, s, error));
    EXPECT_EQ(en(error), "t.musicxml: part 1 (Voice) has no verse 3 (it has verse 1,2)");

    // No lyrics at all: the notes come in without syllables, and a note says so.
    std::string bare = header() + "<measure number=\"1\">" + kFirstAttributes + msNote(69, 2, "half") +
                       msNote(71, 2, "half") + "</measure></part></score-partwise>";
    s = imported(bare);
    EXPECT_TRUE(s.lyrics.empty());
    EXPECT_EQ(s.parts[0].notes, 2u);
    ASSERT_EQ(s.warnings.size(), 1u);
    EXPECT_EQ(en(s.warnings[0]), "the score has no lyrics: its notes came in without syllables");
}

TEST(MusicXmlScores, HostileAndOddFilesAreHandledOrRefusedClearly) {
    // A measure number of 1 MB on a measure of 1,000 notes: cut where it is kept, never copied per note.
    {
        std::string xml = header() + "<measure number=\"" + std::string(1 << 20, '7') + "\">" + kFirstAttributes +
                          "<attributes><time><beats>250</beats><beat-type>1</beat-type></time></attributes>";
        for (int i = 0; i < 1000; ++i) xml += msNote(60 + i % 12, 4, "whole", msLyric("ら"));
        xml += "</measure></part></score-partwise>";
        const MusicXmlSong s = imported(xml);
        ASSERT_EQ(s.lyrics.size(), 1000u);
        for (const NoteLyric& n : s.lyrics) ASSERT_LT(n.where.size(), 200u);
    }
    // One measure of 40,000 tempo marks played 400 times by D.C. marks: refused, not played out.
    {
        std::string xml = header() + "<measure number=\"1\">" + kFirstAttributes;
        for (int i = 0; i < 40000; ++i) xml += "<direction><sound tempo=\"100\"/></direction>";
        xml += msNote(60, 4, "whole", msLyric("ら")) + "</measure>";
        for (int m = 2; m <= 400; ++m) xml += "<measure number=\"" + std::to_string(m) + "\"><sound dacapo=\"yes\"/></measure>";
        xml += "</part></score-partwise>";
        MusicXmlSong s;
        std::string error;
        EXPECT_FALSE(importMusicXmlText(xml, "t.musicxml", {}, s, error));
        EXPECT_EQ(en(error), "t.musicxml: the repeats make more than 500000 notes and tempo marks");
    }
    // <alter> that is no number of semitones.
    for (const char* alter : {"NaN", "1e300", "-1e300", "inf"}) {
        const std::string xml = header() + "<measure number=\"3\">" + kFirstAttributes +
                                "<note><pitch><step>C</step><alter>" + alter +
                                "</alter><octave>4</octave></pitch><duration>4</duration></note></measure></part></score-partwise>";
        MusicXmlSong s;
        std::string error;
        EXPECT_FALSE(importMusicXmlText(xml, "t.musicxml", {}, s, error)) << alter;
        EXPECT_EQ(en(error), "t.musicxml: part 1 (Voice), measure 3: bad <alter> " + std::string(alter)) << alter;
    }
    // Divisions of 7 (7-tuplets): 200 measures stay 200 measures of 1920 ticks.
    {
        std::string xml = header();
        for (int m = 1; m <= 200; ++m) {
            xml += "<measure number=\"" + std::to_string(m) + "\">" +
                   (m == 1 ? "<attributes><divisions>7</divisions><time><beats>4</beats><beat-type>4</beat-type>"
                             "</time></attributes>"
                           : "");
            for (int k = 0; k < 7; ++k) xml += msNote(60 + k, 4, "eighth", m == 1 && k == 0 ? msLyric("ら") : "");
            xml += "</measure>";
        }
        xml += "</part></score-partwise>";
        const MusicXmlSong s = imported(xml);
        MidiFile midi;
        ASSERT_TRUE(midi.loadImage(s.smf, "t.mid"));
        TempoMap map;
        ASSERT_TRUE(map.build(midi));
        uint32_t last = 0;
        for (const auto& e : midi.channel(0))
            if (e && e->isNote()) last = std::max(last, e->value3);
        EXPECT_EQ(last, 384000u);
        EXPECT_EQ(s.songMeasures, 200u);
    }
    // A score declared Shift_JIS, as Japanese programs write it.
    {
        const std::string utf8 = header("Shift_JIS") + "<measure number=\"1\">" + kFirstAttributes +
                                 msNote(69, 2, "half", msLyric("さくら")) + msNote(71, 2, "half", msLyric("桜")) +
                                 "</measure></part></score-partwise>";
        std::string sjis = utf8ToCp932(utf8);
        MusicXmlSong s;
        std::string error;
        EXPECT_FALSE(importMusicXmlText(sjis, "sjis.musicxml", {}, s, error));
        EXPECT_EQ(en(error), "sjis.musicxml: part 1 (Voice), measure 1: unknown piece \"桜\" in the lyric \"桜\"; lyrics "
                             "must be written in kana or romaji");
        const std::size_t at = sjis.find(utf8ToCp932("桜"));
        sjis.replace(at, 2, utf8ToCp932("ら"));
        ASSERT_TRUE(importMusicXmlText(sjis, "sjis.musicxml", {}, s, error)) << error;
        EXPECT_EQ(s.lyrics[0].syllables, (std::vector<std::string>{"さ", "く", "ら"}));
        EXPECT_FALSE(importMusicXmlText("<?xml version=\"1.0\" encoding=\"x-no-such\"?><score-partwise/>", "x.xml", {},
                                        s, error));
        EXPECT_EQ(en(error), "x.xml: the score's encoding x-no-such cannot be read");
    }
    // Terminal control bytes and long lyrics are shown escaped and cut.
    {
        const std::string xml = header() + "<measure number=\"1\">" + kFirstAttributes +
                                msNote(69, 4, "whole", msLyric("\x1b]0;x\x07\x1b[2J")) + "</measure></part></score-partwise>";
        MusicXmlSong s;
        std::string error;
        EXPECT_FALSE(importMusicXmlText(xml, "t.musicxml", {}, s, error));
        EXPECT_EQ(error.find('\x1b'), std::string::npos) << error;
        EXPECT_NE(error.find("\\x1B"), std::string::npos) << error;
        const std::string longer = header() + "<measure number=\"1\">" + kFirstAttributes +
                                   msNote(69, 4, "whole", msLyric(std::string(100000, 'a'))) +
                                   "</measure></part></score-partwise>";
        EXPECT_FALSE(importMusicXmlText(longer, "t.musicxml", {}, s, error));
        EXPECT_LT(error.size(), 300u);
        EXPECT_NE(en(error).find("a lyric too long (100000 bytes)"), std::string::npos) << error;
    }
}

TEST(MusicXmlScores, EveryTextHasItsEnglish) {
    // Each kind of message, shown in English, has no Japanese left in it.
    std::vector<std::string> texts;
    MusicXmlSong s;
    std::string error;
    auto refuse = [&](const std::string& xml, MusicXmlOptions o = {}) {
        EXPECT_FALSE(importMusicXmlText(xml, "t.musicxml", o, s, error));
        texts.push_back(error);
    };
    refuse("<score-partwise><part");
    refuse("<score-timewise/>");
    refuse("<html/>");
    refuse("<score-partwise/>");
    const std::string m = header() + "<measure number=\"1\">" + kFirstAttributes;
    refuse(m + "<backup><duration>1e30</duration></backup></measure></part></score-partwise>");
    refuse(m + "<note><pitch><step>C</step><octave>4</octave></pitch><duration>-1</duration></note></measure></part></score-partwise>");
    refuse(m + "<note><pitch><step>C</step><octave>9</octave><alter>12</alter></pitch><duration>1</duration></note></measure></part></score-partwise>");
    refuse(m + msNote(60, 1, "quarter", msLyric("さくらさくら")) + "</measure></part></score-partwise>");
    MusicXmlOptions o;
    o.verse = 2;
    refuse(m + msNote(60, 1, "quarter", msLyric("さ")) + "</measure></part></score-partwise>", o);
    o = {};
    o.part = 2;
    refuse(m + msNote(60, 1, "quarter", msLyric("さ")) + "</measure></part></score-partwise>", o);
    refuse(m + "</measure></part></score-partwise>");
    std::vector<Bar> loose = {{"", "", "", endingEnd("1", "stop", false)}, {endingStart("1"), "", "", endingEnd("2", "stop", true)},
                              {endingStart("2")}, {"", "", words("D.S.", "dalsegno=\"s\"")}, {"", "", words("To Coda", "tocoda=\"c\"")},
                              {"", "", words("Fine", "fine=\"yes\"")}};
    const MusicXmlSong w = imported(museScore(loose));
    texts.insert(texts.end(), w.warnings.begin(), w.warnings.end());
    texts.push_back(imported(m + msNote(60, 4, "whole") + "</measure></part></score-partwise>").warnings.at(0));
    for (const std::string& t : texts) {
        std::string e = en(t);
        // What is quoted from the score stays as written.
        for (std::size_t a = e.find('"'); a != std::string::npos; a = e.find('"')) {
            const std::size_t b = e.find('"', a + 1);
            e.erase(a, b == std::string::npos ? std::string::npos : b - a + 1);
        }
        EXPECT_TRUE(std::all_of(e.begin(), e.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
            << t << "\n -> " << e;
    }
    EXPECT_GE(texts.size(), 18u);
}

}  // namespace
}  // namespace kantor
