// Scores and karaoke files written by other programs (tests/import/data/README.md).
#include <gtest/gtest.h>

#include "base/FileIO.h"
#include "base/Translation.h"
#include "import/MidiLyrics.h"
#include "import/MusicXml.h"
#include "midi/MidiFile.h"

namespace kantor {
namespace {

const std::string kData = std::string(KANTOR_SOURCE_DIR) + "/tests/import/data/";

std::string joined(const std::vector<NoteLyric>& notes) {
    std::string s;
    for (const NoteLyric& n : notes) {
        s += n.phraseHead ? "|" : " ";
        for (std::size_t k = 0; k < n.syllables.size(); ++k) s += (k ? "," : "") + n.syllables[k];
    }
    return s;
}

TEST(FilesFromOtherPrograms, MuseScoreMusicXmlAndItsCompressedForm) {
    MusicXmlSong xml, mxl;
    std::string error;
    ASSERT_TRUE(importMusicXml(kData + "sakura.musicxml", 0, xml, error)) << error;
    ASSERT_TRUE(importMusicXml(kData + "sakura.mxl", 0, mxl, error)) << error;
    EXPECT_EQ(xml.smf, mxl.smf);
    EXPECT_EQ(joined(xml.lyrics), joined(mxl.lyrics));

    // The repeat is played out (measures 3 and 4 twice, the first ending once, then the
    // second), the grace note takes no time, the tie is one note held by the extending み,
    // the last chord sings its top note.
    EXPECT_EQ(joined(xml.lyrics),
              "|さ く ら さ く ら や よ い の そ ら は み い や よ い の そ ら は み わ た す か ぎ り の う た");
    ASSERT_EQ(xml.parts.size(), 1u);
    EXPECT_EQ(xml.parts[0].notes, 32u);
    MidiFile midi;
    ASSERT_TRUE(midi.loadImage(xml.smf, "sakura.mid")) << midi.lastError();
    EXPECT_EQ(midi.format(), 1);
    std::vector<uint32_t> starts;
    for (const auto& e : midi.channel(0))
        if (e && e->isNote()) starts.push_back(e->value2);
    ASSERT_EQ(starts.size(), 32u);
    EXPECT_EQ(starts[14], 4u * 1920);       // the tied note of the first ending, measure 5
    EXPECT_EQ(starts[15], 5u * 1920);       // measure 3 again
    EXPECT_EQ(starts[31], 9u * 1920);       // the last chord, measure 8 played tenth
    EXPECT_EQ(midi.channel(1).size(), 1u);  // its lower note
}

TEST(FilesFromOtherPrograms, Abc2midiKaraokeFile) {
    std::vector<uint8_t> bytes;
    ASSERT_EQ(readWholeFile(kData + "sakura.kar", bytes), ReadStatus::Ok);
    std::vector<MidiTextTrack> tracks;
    std::string error;
    ASSERT_TRUE(readMidiText(bytes, tracks, error)) << error;
    EXPECT_TRUE(hasMidiLyrics(tracks));
    std::vector<LyricPiece> pieces;
    ASSERT_TRUE(midiLyricsFor(tracks, 0, pieces, error)) << error;
    MidiFile midi;
    ASSERT_TRUE(midi.loadImage(bytes, "sakura.kar"));
    std::vector<NoteLyric> notes;
    MidiLyricsReport report;
    ASSERT_TRUE(placeMidiLyrics(midi, 0, pieces, notes, report, error)) << error;
    EXPECT_EQ(report.unplaced, 0u);
    // The last two notes have no words: they go on from "ri" without a rest, a melisma.
    EXPECT_EQ(joined(notes), "|SA KU RA SA KU RA YA YO I NO SO RA WA MI|WA TA SU KA GI RI い い");
    EXPECT_EQ(notes.back().note, 21u);
    EXPECT_EQ(report.melismaNotes, 2u);
}

TEST(FilesFromOtherPrograms, DamagedFilesAreRefused) {
    std::vector<uint8_t> bytes;
    ASSERT_EQ(readWholeFile(kData + "sakura.kar", bytes), ReadStatus::Ok);
    std::vector<MidiTextTrack> tracks;
    std::string error;
    for (std::size_t cut : {5u, 20u, 40u, 200u, 470u}) {
        std::vector<uint8_t> part(bytes.begin(), bytes.begin() + static_cast<long>(cut));
        EXPECT_FALSE(readMidiText(part, tracks, error)) << cut;
    }
    MusicXmlSong song;
    std::vector<uint8_t> xml;
    ASSERT_EQ(readWholeFile(kData + "sakura.musicxml", xml), ReadStatus::Ok);
    EXPECT_FALSE(importMusicXmlText(std::string(xml.begin(), xml.begin() + 5000), "cut.musicxml", 0, song, error));
    EXPECT_NE(translatedTo(Language::English, error).find("cut.musicxml: not well-formed XML"), std::string::npos) << error;
    EXPECT_FALSE(importMusicXml(kData + "sakura.kar.mxl", 0, song, error));
    EXPECT_FALSE(importMusicXml(kData + "sakura.abc", 0, song, error));
}

}  // namespace
}  // namespace kantor
