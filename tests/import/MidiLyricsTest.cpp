#include <gtest/gtest.h>

#include "base/Codepage.h"
#include "import/MidiLyrics.h"

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
    EXPECT_EQ(pieces({notes, other}, 7), "! the MIDI file has lyrics in several tracks, none of them channel 8's");
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

}  // namespace
}  // namespace kantor
