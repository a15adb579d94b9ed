#include <gtest/gtest.h>

#include "base/Translation.h"
#include "import/MusicXml.h"
#include "midi/MidiFile.h"
#include "midi/TempoMap.h"

namespace kantor {
namespace {

std::string note(const std::string& step, int octave, int duration, const std::string& extra = {},
                 const std::string& lyric = {}) {
    return "<note><pitch><step>" + step + "</step><octave>" + std::to_string(octave) + "</octave></pitch><duration>" +
           std::to_string(duration) + "</duration>" + extra + lyric + "</note>";
}
std::string rest(int duration) { return "<note><rest/><duration>" + std::to_string(duration) + "</duration></note>"; }
std::string lyric(const std::string& text, bool extend = false) {
    return "<lyric number=\"1\"><syllabic>single</syllabic><text>" + text + "</text>" + (extend ? "<extend/>" : "") +
           "</lyric>";
}
std::string score(const std::vector<std::string>& measures, const std::string& second = {}) {
    std::string s = R"(<?xml version="1.0" encoding="UTF-8"?>
<score-partwise version="3.1"><part-list><score-part id="P1"><part-name>Voice</part-name></score-part>)";
    if (!second.empty()) s += R"(<score-part id="P2"><part-name>Piano</part-name></score-part>)";
    s += "</part-list><part id=\"P1\">";
    for (std::size_t i = 0; i < measures.size(); ++i)
        s += "<measure number=\"" + std::to_string(i + 1) + "\">" + measures[i] + "</measure>";
    s += "</part>";
    if (!second.empty()) s += "<part id=\"P2\">" + second + "</part>";
    return s + "</score-partwise>";
}
const std::string kAttributes =
    "<attributes><divisions>2</divisions><time><beats>3</beats><beat-type>4</beat-type></time></attributes>"
    "<direction><sound tempo=\"100\"/></direction>";

struct Loaded {
    MidiFile midi;
    TempoMap map;
    MusicXmlSong song;
};

std::unique_ptr<Loaded> import(const std::string& xml, int part = 0) {
    auto l = std::make_unique<Loaded>();
    std::string error;
    EXPECT_TRUE(importMusicXmlText(xml, "t.musicxml", part, l->song, error)) << error;
    EXPECT_TRUE(l->midi.loadImage(l->song.smf, "t.mid")) << l->midi.lastError();
    EXPECT_TRUE(l->map.build(l->midi));
    return l;
}

// "key@start-end" of the notes of a channel.
std::vector<std::string> notes(const MidiFile& midi, int c) {
    std::vector<std::string> out;
    for (const auto& e : midi.channel(c))
        if (e && e->isNote())
            out.push_back(std::to_string(e->value1) + "@" + std::to_string(e->value2) + "-" + std::to_string(e->value3));
    return out;
}

std::vector<std::string> sung(const MusicXmlSong& s) {
    std::vector<std::string> out;
    for (const NoteLyric& n : s.lyrics) {
        std::string t = std::to_string(n.note) + (n.phraseHead ? "|" : ":");
        for (const std::string& x : n.syllables) t += x + ",";
        out.push_back(t);
    }
    return out;
}

TEST(MusicXml, NotesTiesChordsRestsGraceAndTempo) {
    // 3/4 at 100 bpm, divisions 2 (an eighth is 1).
    auto l = import(score({kAttributes + note("C", 4, 2, "", lyric("さ")) +
                               note("E", 4, 4, "<tie type=\"start\"/>", lyric("く")) +
                               note("G", 4, 4, "<chord/><tie type=\"start\"/>") +  // the top note of a chord
                               note("D", 4, 1, "<grace/>"),                         // takes no time
                           note("E", 4, 2, "<tie type=\"stop\"/>") + note("G", 4, 2, "<chord/><tie type=\"stop\"/>") +
                               rest(2) + note("A", 4, 2, "", lyric("ら"))}));
    EXPECT_EQ(notes(l->midi, 0), (std::vector<std::string>{"60@0-480", "67@480-1920", "69@2400-2880"}));
    EXPECT_EQ(notes(l->midi, 1), (std::vector<std::string>{"64@480-1920"}));  // under the top note
    EXPECT_EQ(sung(l->song), (std::vector<std::string>{"0|さ,", "1:く,", "2|ら,"}));  // a rest begins a phrase
    ASSERT_EQ(l->map.tempos().size(), 1u);
    EXPECT_EQ(l->map.tempos()[0].usPerQuarter, 600000u);
    ASSERT_GE(l->map.measures().size(), 2u);
    EXPECT_EQ(l->map.measures()[0].length, 1440u);
    EXPECT_EQ(l->map.measures()[0].numerator, 3);
    EXPECT_EQ(l->song.parts.size(), 1u);
    EXPECT_EQ(l->song.parts[0].name, "Voice");
}

TEST(MusicXml, RepeatsAndEndingsArePlayedOut) {
    const std::string fwd = "<barline location=\"left\"><repeat direction=\"forward\"/></barline>";
    const std::string back = "<barline location=\"right\"><repeat direction=\"backward\"/></barline>";
    auto ending = [](const char* n, const char* type) {
        return std::string("<barline><ending number=\"") + n + "\" type=\"" + type + "\"/></barline>";
    };
    auto bar = [](const std::string& step, const std::string& text) { return note(step, 4, 6, "", lyric(text)); };
    auto l = import(score({kAttributes + bar("C", "あ"), fwd + bar("D", "い"),
                           ending("1", "start") + bar("E", "う") + back + ending("1", "stop"),
                           ending("2", "start") + bar("F", "え") + ending("2", "stop"), bar("G", "お")}));
    // 1, 2, 3 (first ending), 2, 4 (second ending), 5.
    EXPECT_EQ(notes(l->midi, 0), (std::vector<std::string>{"60@0-1440", "62@1440-2880", "64@2880-4320",
                                                           "62@4320-5760", "65@5760-7200", "67@7200-8640"}));
    ASSERT_EQ(l->song.lyrics.size(), 6u);
    EXPECT_EQ(l->song.lyrics[3].syllables, std::vector<std::string>{"い"});
}

TEST(MusicXml, AnExtendingLyricHoldsItsSyllable) {
    auto l = import(score({kAttributes + note("C", 4, 2, "", lyric("kyo", true)) + note("D", 4, 2) + note("E", 4, 2),
                           note("F", 4, 2, "", lyric("さくら")) + note("G", 4, 2) + note("A", 4, 2)}));
    // The melisma sings the vowel again, with an extend line or without one.
    EXPECT_EQ(sung(l->song), (std::vector<std::string>{"0|KYO,", "1:お,", "2:お,", "3:さ,く,ら,", "4:あ,", "5:あ,"}));
    EXPECT_EQ(l->song.melismaNotes, 4u);
}

TEST(MusicXml, ThePartWithLyricsSingsOrTheOneAsked) {
    const std::string piano = "<measure number=\"1\">" + kAttributes + note("C", 3, 6) + "</measure>";
    auto l = import(score({kAttributes + note("C", 4, 6, "", lyric("ら"))}, piano));
    EXPECT_EQ(l->song.sungPart, 0);
    EXPECT_EQ(notes(l->midi, 1), (std::vector<std::string>{"48@0-1440"}));
    MusicXmlSong s;
    std::string error;
    EXPECT_FALSE(importMusicXmlText(score({kAttributes + note("C", 4, 6, "", lyric("ら"))}, piano), "t.musicxml", 3, s, error));
    EXPECT_EQ(translatedTo(Language::English, error), "t.musicxml: there is no part 3 (the score has 2)");
    ASSERT_TRUE(importMusicXmlText(score({kAttributes + note("C", 4, 6, "", lyric("ら"))}, piano), "t.musicxml", 2, s, error));
    EXPECT_EQ(s.sungPart, 1);
    EXPECT_EQ(s.parts[1].channel, 1);
    EXPECT_TRUE(s.lyrics.empty());
    EXPECT_FALSE(importMusicXmlText(score({kAttributes + note("C", 4, 6, "", lyric("ら")), note("C", 4, 6)}, piano),
                                    "t.musicxml", 0, s, error));
    EXPECT_EQ(translatedTo(Language::English, error), "t.musicxml: part 2 (Piano) has 1 measures, part 1 has 2");
}

TEST(MusicXml, BadInputIsNamedWithTheMeasure) {
    MusicXmlSong s;
    std::string error;
    EXPECT_FALSE(importMusicXmlText("<score-partwise><part", "bad.xml", 0, s, error));
    EXPECT_NE(translatedTo(Language::English, error).find("bad.xml: not well-formed XML at byte"), std::string::npos) << error;
    EXPECT_FALSE(importMusicXmlText("<score-timewise/>", "tw.xml", 0, s, error));
    EXPECT_NE(error.find("timewise"), std::string::npos) << error;
    EXPECT_FALSE(importMusicXmlText("<html/>", "x.xml", 0, s, error));
    const auto en = [&] { return translatedTo(Language::English, error); };
    EXPECT_FALSE(importMusicXmlText(score({kAttributes + note("C", 4, 6, "", lyric("ら")), note("H", 4, 6)}), "t.xml", 0,
                                    s, error));
    EXPECT_EQ(en(), "t.xml: part 1 (Voice), measure 2: a note of no pitch (H)");
    EXPECT_FALSE(importMusicXmlText(score({kAttributes + note("C", 4, 6, "", lyric("ら")), note("C", 4, 6, "", lyric("桜"))}),
                                    "t.xml", 0, s, error));
    EXPECT_EQ(en(), "t.xml: part 1 (Voice), measure 2: unknown piece \"桜\" in the lyric \"桜\"; lyrics must be "
                    "written in kana or romaji");
    EXPECT_FALSE(importMusicXmlText(score({"<attributes><divisions>0</divisions></attributes>"}), "t.xml", 0, s, error));
    EXPECT_EQ(en(), "t.xml: part 1 (Voice), measure 1: bad <divisions> 0");
    EXPECT_TRUE(s.smf.empty());
}

}  // namespace
}  // namespace kantor
