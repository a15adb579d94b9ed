#include <gtest/gtest.h>

#include "base/Codepage.h"
#include "import/MidiLyrics.h"
#include "midi/MidiFile.h"
#include "midi/SmfWriter.h"

namespace kantor {
namespace {

MidiTextTrack track(std::initializer_list<std::pair<uint32_t, std::string>> lyrics, uint8_t type = 5) {
    MidiTextTrack t;
    for (const auto& [tick, text] : lyrics) t.events.push_back(MidiTextEvent{tick, type, text});
    return t;
}

std::string pieces(const std::vector<MidiTextTrack>& tracks, int c) {
    std::vector<LyricPiece> out;
    std::string why;
    if (!midiLyricsFor(tracks, c, out, why)) return "! " + why;
    std::string s;
    for (const LyricPiece& p : out)
        s += (p.newLine ? "|" : " ") + p.text + "@" + std::to_string(p.tick) + ":" + std::to_string(p.line) + "." +
             std::to_string(p.column);
    return s;
}

TEST(MidiLyrics, TheChannelsTrackAndItsNameWin) {
    MidiTextTrack notes = track({{0, "さ"}});
    notes.noteChannels = 1u << 2;
    MidiTextTrack named = track({{0, "く"}});
    named.channelPrefix = 2;
    MidiTextTrack other = track({{0, "ら"}});
    other.noteChannels = 1u << 5;
    // The track that names the channel (as an exported file has it) wins over the notes' own.
    EXPECT_EQ(pieces({notes, named, other}, 2), "|く@0:1.1");
    EXPECT_EQ(pieces({notes, other}, 2), "|さ@0:1.1");
    EXPECT_EQ(pieces({notes, other}, 5), "|ら@0:1.1");
    EXPECT_EQ(pieces({notes, other}, 7), "|さ@0:1.1");  // none is the channel's: the first
    EXPECT_EQ(pieces({notes}, 7), "|さ@0:1.1");  // the only track with lyrics
    EXPECT_EQ(pieces({MidiTextTrack{}}, 0), "! the MIDI file has no lyrics");
}

TEST(MidiLyrics, KaraokeMarksAndEncodings) {
    // Lyric events: CR/LF end or begin a line, blanks and "-" are dropped, cp932 is read.
    const std::string sjis = utf8ToCp932("さ");
    EXPECT_EQ(pieces({track({{0, sjis}, {10, " ku-"}, {20, "ra\r"}, {30, "\nsa"}, {40, "-"}, {50, "ku"}})}, 0),
              "|さ@0:1.1 ku@10:1.2 ra@20:1.4|sa@30:2.1 ku@50:2.3");
    // Text events of a karaoke file: "@" headers, names before the first mark, "/" and "\".
    MidiTextTrack kar = track({{0, "@KMIDI KARAOKE FILE"}, {0, "Words"}, {0, "\\sa"}, {5, "ku"}, {9, "/ra"}}, 1);
    EXPECT_EQ(pieces({kar}, 0), "|sa@0:1.1 ku@5:1.3|ra@9:2.1");
    // A few text events in a file that is no karaoke file are no lyrics.
    EXPECT_EQ(pieces({track({{0, "(c) someone"}}, 1)}, 0), "! the MIDI file has no lyrics");
}

// A karaoke or lyric MIDI file as programs write it, read back: its notes loaded, its lyrics
// for channel 1 placed ("|" a phrase head, "-" a note without syllables).
struct Placed {
    bool ok = false;
    std::string sung, error;
    MidiLyricsReport report;
};

Placed place(const std::vector<SmfTrack>& tracks, const MidiLyricsChoice& choice = {}) {
    const std::vector<uint8_t> smf = buildSmf(1, 480, tracks);
    Placed out;
    std::vector<MidiTextTrack> text;
    std::vector<LyricPiece> pieces;
    MidiFile midi;
    if (!readMidiText(smf, text, out.error) || !midi.loadImage(smf, "t.kar") ||
        !midiLyricsFor(text, 0, pieces, out.error, choice, &out.report))
        return out;
    std::vector<NoteLyric> notes;
    if (!placeMidiLyrics(midi, 0, pieces, notes, out.report, out.error)) return out;
    std::size_t count = 0;
    for (const auto& e : midi.channel(0)) count += e && e->isNote();
    std::vector<std::string> at(count, "-");
    for (const NoteLyric& nl : notes) {
        std::string t = nl.phraseHead ? "|" : "";
        for (std::size_t k = 0; k < nl.syllables.size(); ++k) t += (k ? "," : "") + nl.syllables[k];
        at[nl.note] = t;
    }
    for (const std::string& t : at) out.sung += (out.sung.empty() ? "" : " ") + t;
    out.ok = true;
    return out;
}

// Quarter notes on channel 1, each `gap` ticks shorter than a beat, from `from`.
SmfTrack melody(int count, uint32_t from = 0, uint32_t gap = 0) {
    SmfTrack t;
    for (int i = 0; i < count; ++i) t.note(from + 480u * i, from + 480u * (i + 1) - gap, 0, 69, 100);
    return t;
}

TEST(MidiLyrics, KaraokeFirstLineWithoutAMarkIsSung) {
    // Text events as karaoke programs write them: headers, then the first line with no "/" or "\".
    SmfTrack conductor, words;
    conductor.tempo(0, 500000).text(0, 1, "@KMIDI KARAOKE FILE").text(0, 1, "@V0100");
    words.text(0, 3, "Words").text(0, 1, "@LJPN").text(0, 1, "@Tさくら");
    words.text(0, 1, "sa").text(480, 1, "ku").text(960, 1, "ra").text(1440, 1, "/sa").text(1920, 1, "ku").text(2400, 1, "ra");
    const Placed p = place({conductor, words, melody(6)});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.sung, "|SA KU RA |SA KU RA");
    // A label before the first mark at the tick of the first syllable still names the track.
    SmfTrack labelled;
    labelled.text(0, 1, "notes/lyric track").text(0, 1, "\\sa").text(480, 1, "ku");
    EXPECT_EQ(place({conductor, labelled, melody(2)}).sung, "|SA KU");
}

TEST(MidiLyrics, MelismasHoldTheVowelAndNotesAfterARestStaySilent) {
    // Legato notes without a lyric go on singing; "_" and "-" hold the syllable over notes
    // after a short break too; after a rest (and before the first lyric) a note is silent.
    SmfTrack words, notes;
    notes.note(0, 480, 0, 60, 100);                                   // before any lyric: silent
    for (uint32_t s : {960u, 1440u, 1920u}) notes.note(s, s + 480, 0, 62, 100);  // さ + two legato
    notes.note(2880, 3200, 0, 64, 100).note(3360, 3800, 0, 65, 100);   // "ku_" then a detached note
    notes.note(4800, 5200, 0, 67, 100);                                 // after a rest: silent
    notes.note(5280, 5700, 0, 67, 100).note(5760, 6100, 0, 67, 100);    // "ra", then "_" on its own
    notes.note(6240, 6600, 0, 60, 100).note(6240, 6600, 0, 64, 100);    // "N" on a chord
    words.text(960, 5, "さ").text(2880, 5, "ku_").text(5280, 5, "ra").text(5760, 5, "_").text(6240, 5, "n");
    const Placed p = place({words, notes});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.sung, "- |さ あ あ KU う - RA あ N -");
    EXPECT_EQ(p.report.melismaNotes, 3u);
    EXPECT_EQ(p.report.silentNotes, 2u);
    const auto told = p.report.notes();
    ASSERT_EQ(told.size(), 2u);
    EXPECT_EQ(told[0], "3 notes without a lyric hold the syllable before (melisma)");
    EXPECT_EQ(told[1], "2 notes without a lyric after a rest stay silent");
}

TEST(MidiLyrics, VersesInLyricTracksAreChosen) {
    // Two verses, each in a lyric track of its own without notes, as notation programs write them.
    SmfTrack conductor, verse1, verse2;
    conductor.tempo(0, 500000);
    verse1.text(0, 3, "verse 1").text(0, 5, "さ").text(480, 5, "く").text(960, 5, "ら");
    verse2.text(0, 3, "verse 2").text(0, 5, "や").text(480, 5, "よ").text(960, 5, "い");
    const std::vector<SmfTrack> file{conductor, melody(3), verse1, verse2};
    Placed p = place(file);
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.sung, "|さ く ら");
    EXPECT_EQ(p.report.notes().at(0),
              "the lyrics of track 3 (verse 1) are taken, verse 1 of 2; --verse N or --lyrics-track N takes another");
    p = place(file, MidiLyricsChoice{2, 0});
    EXPECT_EQ(p.sung, "|や よ い");
    EXPECT_TRUE(p.report.notes().empty());
    p = place(file, MidiLyricsChoice{0, 3});
    EXPECT_EQ(p.sung, "|さ く ら");
    p = place(file, MidiLyricsChoice{3, 0});
    EXPECT_FALSE(p.ok);
    EXPECT_EQ(p.error, "the MIDI file has 2 lyric tracks (3 \"verse 1\", 4 \"verse 2\"), no verse 3");
    p = place(file, MidiLyricsChoice{0, 2});
    EXPECT_EQ(p.error, "track 2 of the MIDI file has no lyrics (tracks with lyrics: 3 \"verse 1\", 4 \"verse 2\")");
}

TEST(MidiLyrics, LyricsInTimeAndThoseOnNoNote) {
    // Up to a 16th note (120 ticks) early still belongs to the note; later ones are reported
    // with tick, measure and text.
    SmfTrack conductor, words;
    conductor.tempo(0, 500000).timeSignature(0, 3, 2);
    words.text(0, 5, "さ").text(480 - 120, 5, "く").text(960 + 60, 5, "ら").text(1440 - 200, 5, "あ");
    words.text(6000, 5, "お\x07").endOfTrack(7000);
    const Placed p = place({conductor, words, melody(4, 0, 240)});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.sung, "|さ く ら -");
    EXPECT_EQ(p.report.unplaced, 2u);
    ASSERT_EQ(p.report.unplacedShown.size(), 2u);
    EXPECT_EQ(p.report.unplacedShown[0], "tick 1240, measure 1: \"あ\"");
    EXPECT_EQ(p.report.unplacedShown[1], "tick 6000, measure 5: \"お\\x07\"");
}

TEST(MidiLyrics, EncodingIsDecidedByMostEventsAndLongTextsAreCut) {
    // UTF-8 lyrics with one stray byte stay UTF-8; the byte is reported at its own tick.
    SmfTrack words;
    words.text(0, 5, "さ").text(480, 5, "く").text(960, 5, "ら").text(1440, 5, "\xE3\x81").text(1920, 5, "や");
    Placed p = place({words, melody(5)});
    EXPECT_FALSE(p.ok);
    EXPECT_NE(p.error.find("1 piece of the lyrics is no syllable:\n  tick 1440, measure 1, line 1, column 4: "
                           "\"\\xE3\" in \"\\xE3\\x81\""),
              std::string::npos)
        << p.error;
    // cp932 lyrics are still read as cp932.
    SmfTrack sjis;
    sjis.text(0, 5, utf8ToCp932("さ")).text(480, 5, utf8ToCp932("ｸ")).text(960, 5, utf8ToCp932("ラ"));
    p = place({sjis, melody(3)});
    EXPECT_EQ(p.sung, "|さ く ら");
    // A 1 MB lyric makes a short message with its size; many bad pieces are listed at once.
    SmfTrack big;
    big.text(0, 5, "eyes").text(480, 5, std::string(1 << 20, 'x'));
    for (int i = 2; i < 10; ++i) big.text(480u * i, 5, "sky");
    p = place({big, melody(10)});
    EXPECT_FALSE(p.ok);
    EXPECT_LT(p.error.size(), 600u);
    EXPECT_NE(p.error.find("10 pieces of the lyrics are no syllables:"), std::string::npos) << p.error;
    EXPECT_NE(p.error.find("\"s\" in \"eyes\""), std::string::npos) << p.error;
    EXPECT_NE(p.error.find("(1048576 bytes)"), std::string::npos) << p.error;
    EXPECT_NE(p.error.find("(5 more)"), std::string::npos) << p.error;
    EXPECT_NE(p.error.find("歌詞はかなかローマ字で書いてください。"), std::string::npos) << p.error;
}

}  // namespace
}  // namespace kantor
