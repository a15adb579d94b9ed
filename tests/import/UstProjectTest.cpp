// Projects of other singing editors as they write them (tests/import/data/sakura.ust in cp932
// with VCV lyrics, rests and a tempo change; sakura.ustx with two tracks and parts), read
// into a MIDI file and lyrics, and hostile or damaged projects refused.
#include <gtest/gtest.h>

#include "base/Codepage.h"
#include "base/FileIO.h"
#include "import/UstProject.h"
#include "midi/MidiFile.h"
#include "midi/TempoMap.h"

namespace kantor {
namespace {

const std::string kData = std::string(KANTOR_SOURCE_DIR) + "/tests/import/data/";

// The notes of channel c of the SMF, "start+length:key" each, read back by the MIDI reader.
std::vector<std::string> midiNotes(const MidiFile& midi, int c) {
    std::vector<std::string> out;
    for (const auto& e : midi.channel(c))
        if (e && e->isNote())
            out.push_back(std::to_string(e->startTick()) + "+" + std::to_string(e->endTick() - e->startTick()) + ":" +
                          std::to_string(e->noteNumber()));
    return out;
}

// The syllables of the track on its notes: "|" marks a phrase head, "-" a silent note.
std::string sung(const ProjectTrackSong& t) {
    std::vector<std::string> at(t.notes, "-");
    for (const NoteLyric& nl : t.lyrics) {
        std::string s = nl.phraseHead ? "|" : "";
        for (std::size_t k = 0; k < nl.syllables.size(); ++k) s += (k ? "," : "") + nl.syllables[k];
        if (nl.note < at.size()) at[nl.note] = s;
    }
    std::string out;
    for (const std::string& s : at) out += (out.empty() ? "" : " ") + s;
    return out;
}

std::vector<std::string> temposOf(const MidiFile& midi) {
    TempoMap map;
    EXPECT_TRUE(map.build(midi));
    std::vector<std::string> out;
    for (const TempoRecord& t : map.tempos()) out.push_back(std::to_string(t.tick) + "=" + std::to_string(t.usPerQuarter));
    return out;
}

TEST(UstProject, Cp932UstWithVcvLyricsRestsAndATempoChange) {
    std::vector<uint8_t> bytes;
    ASSERT_EQ(readWholeFile(kData + "sakura.ust", bytes), ReadStatus::Ok);
    SingingProject project;
    std::string error;
    ASSERT_TRUE(readUst(std::string(bytes.begin(), bytes.end()), project, error)) << error;
    ASSERT_EQ(project.tracks.size(), 1u);
    EXPECT_EQ(project.tracks[0].notes.size(), 15u);  // the rests are no notes
    EXPECT_EQ(project.tracks[0].notes[1].lyric, "a く");
    EXPECT_EQ(project.tracks[0].notes[1].where, "[#0002]");

    ProjectSong song;
    ASSERT_TRUE(projectSong(project, 0, song, error)) << error;
    ASSERT_EQ(song.tracks.size(), 1u);
    EXPECT_EQ(song.tracks[0].channel, 0);
    // VCV heads and marks after the kana go, half-width katakana and romaji are read, "+"
    // holds the vowel, the breath is a silent note and begins no phrase of its own.
    EXPECT_EQ(sung(song.tracks[0]), "|さ く ら |さ く ら - |YA よ い の そ ら あ は");
    EXPECT_EQ(song.tempos, 2u);
    EXPECT_EQ(song.notCarried,
              "breaths (1), envelopes (1), flags (1), intensities (1), pitch bends (1), vibratos (1)");

    MidiFile midi;
    ASSERT_TRUE(midi.loadImage(song.smf, "sakura.mid"));
    EXPECT_EQ(midi.division(), 480);
    EXPECT_EQ(midiNotes(midi, 0),
              (std::vector<std::string>{"960+480:69", "1440+480:69", "1920+960:71", "3360+480:69", "3840+480:69",
                                        "4320+960:71", "5520+240:64", "5760+480:69", "6240+480:71", "6720+480:72",
                                        "7200+480:71", "7680+480:69", "8160+240:71", "8400+240:69", "8640+960:65"}));
    EXPECT_EQ(temposOf(midi), (std::vector<std::string>{"0=500000", "3360=600000"}));

    // The same project in UTF-8, as newer editors write it with "Charset=UTF-8", reads the same.
    std::string utf8 = cp932ToUtf8(std::string(bytes.begin(), bytes.end()));
    utf8.insert(utf8.find("[#SETTING]"), "Charset=UTF-8\r\n");
    SingingProject again;
    ASSERT_TRUE(readUst(utf8, again, error)) << error;
    ProjectSong song2;
    ASSERT_TRUE(projectSong(again, 0, song2, error)) << error;
    EXPECT_EQ(song2.smf, song.smf);
    EXPECT_EQ(sung(song2.tracks[0]), sung(song.tracks[0]));
}

TEST(UstProject, UstxWithTwoTracksPartsTempoAndMeterChanges) {
    ProjectSong song;
    std::string error;
    ASSERT_TRUE(importSingingProject(kData + "sakura.ustx", 0, song, error)) << error;
    ASSERT_EQ(song.tracks.size(), 2u);
    EXPECT_EQ(song.tracks[0].name, "Melody");
    EXPECT_EQ(song.tracks[1].name, "Harmony");
    EXPECT_EQ(song.tracks[1].channel, 1);
    EXPECT_EQ(sung(song.tracks[0]), "|さ く ら |SA KU RA や よ い の そ ら あ は");
    EXPECT_EQ(sung(song.tracks[1]), "|あ あ あ う");
    EXPECT_EQ(song.notCarried, "expression curves (1), pitch bends (1), vibratos (1)");

    MidiFile midi;
    ASSERT_TRUE(midi.loadImage(song.smf, "sakura.mid"));
    // The second part's notes sit at its position; the harmony part starts at its own.
    const auto melody = midiNotes(midi, 0);
    ASSERT_EQ(melody.size(), 14u);
    EXPECT_EQ(melody[3], "2400+480:69");
    EXPECT_EQ(melody[6], "4320+480:69");
    EXPECT_EQ(melody[13], "7200+960:65");
    EXPECT_EQ(midiNotes(midi, 1), (std::vector<std::string>{"960+960:64", "1920+960:66", "2880+960:64", "3840+960:62"}));
    EXPECT_EQ(temposOf(midi), (std::vector<std::string>{"0=500000", "4320=621762"}));
    TempoMap map;
    ASSERT_TRUE(map.build(midi));
    ASSERT_GE(map.measures().size(), 3u);
    EXPECT_EQ(map.measures()[2].start, 3840u);  // 3/4 from the third bar
    EXPECT_EQ(map.measures()[2].numerator, 3);

    // One track alone.
    ProjectSong one;
    ASSERT_TRUE(importSingingProject(kData + "sakura.ustx", 2, one, error)) << error;
    ASSERT_EQ(one.tracks.size(), 1u);
    EXPECT_EQ(one.tracks[0].name, "Harmony");
    EXPECT_EQ(one.tracks[0].channel, 0);
    EXPECT_FALSE(importSingingProject(kData + "sakura.ustx", 3, one, error));
    EXPECT_NE(error.find("sakura.ustx: the project has 2 tracks with notes, no track 3"), std::string::npos) << error;
}

TEST(UstProject, LyricsAreReducedToSyllables) {
    const std::pair<const char*, const char*> cases[] = {
        {"a か", "か"}, {"- さ", "さ"}, {"か↑", "か"}, {"u らA4", "ら"}, {"か強", "か"}, {"ka", "ka"},
        {"* ka", "ka"}, {"R", ""},     {"", ""},     {"+", "ー"},     {"-", "ー"},    {"ｻ", "ｻ"},
        {"  ら  ", "ら"}, {"a\xE3\x80\x80ら", "ら"}, {"ソー", "ソー"},
    };
    for (const auto& [lyric, reduced] : cases) EXPECT_EQ(projectLyric(lyric), reduced) << lyric;
}

TEST(UstProject, EnglishLyricsAreListedAllAtOnce) {
    std::string ust = "[#SETTING]\nTempo=120\n";
    const char* words[] = {"a", "eyes", "of", "blue", "さ", "sky", "twinkle", "star"};
    for (int i = 0; i < 8; ++i)
        ust += "[#" + std::string(i < 10 ? "000" : "00") + std::to_string(i) + "]\nLength=480\nLyric=" + words[i] +
               "\nNoteNum=60\n";
    SingingProject project;
    std::string error;
    ASSERT_TRUE(readUst(ust, project, error)) << error;
    ProjectSong song;
    ASSERT_FALSE(projectSong(project, 0, song, error));
    EXPECT_NE(error.find("6 pieces of the lyrics are no syllables:"), std::string::npos) << error;
    EXPECT_NE(error.find("UST: [#0001]: \"s\" in \"eyes\""), std::string::npos) << error;
    EXPECT_NE(error.find("(1 more)"), std::string::npos) << error;
    EXPECT_NE(error.find("歌詞はかなかローマ字で書いてください。"), std::string::npos) << error;
    EXPECT_TRUE(song.smf.empty());
}

TEST(UstProject, DamagedAndHostileProjectsAreRefused) {
    SingingProject p;
    std::string error;
    struct Case {
        const char* ust;
        const char* message;
    };
    const Case ustCases[] = {
        {"[#0000]\nLength=480\nLyric=あ\nNoteNum=300\n", "[#0000]: NoteNum \"300\" is no note 0 to 127"},
        {"[#0000]\nLength=-5\nLyric=あ\nNoteNum=60\n", "[#0000]: Length \"-5\" is no length"},
        {"[#0000]\nLength=4e8\nLyric=あ\nNoteNum=60\n", "[#0000]: Length \"4e8\""},
        {"[#SETTING]\nTempo=nan\n[#0000]\nLength=1\nLyric=あ\nNoteNum=60\n", "[#SETTING]: Tempo \"nan\" is no tempo"},
        {"[#0000]\nLength=480\nLyric=あ\nNoteNum=60\nTempo=0\n", "[#0000]: Tempo \"0\" is no tempo"},
        {"[#0000]\nLength=2000000000\nLyric=R\n[#0001]\nLength=2000000000\nLyric=R\n", "too long for a MIDI file"},
        {"[#VERSION]\nUST Version1.2\n", "no note sections"},
        {"[#0000\nLength=1\n", "is no section of a .ust"},
    };
    for (const Case& c : ustCases) {
        EXPECT_FALSE(readUst(c.ust, p, error)) << c.ust;
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
    }
    // A 1 MB lyric is shown cut, with its size.
    const std::string big = "[#0000]\nLength=480\nLyric=a" + std::string(1 << 20, 'x') + "\nNoteNum=60\n";
    ASSERT_TRUE(readUst(big, p, error)) << error;
    ProjectSong song;
    EXPECT_FALSE(projectSong(p, 0, song, error));
    EXPECT_LT(error.size(), 400u);
    EXPECT_NE(error.find("(1048577 bytes)"), std::string::npos) << error;

    const Case ustxCases[] = {
        {"resolution: 480\nvoice_parts: [{track_no: 0, notes: [{position: 0, duration: 480, tone: 500, lyric: あ}]}]\n",
         "voice_parts[0].notes[0]: tone 500 is no note 0 to 127"},
        {"voice_parts: [{track_no: 0, notes: [{position: x, duration: 480, tone: 60, lyric: あ}]}]\n",
         "voice_parts[0].notes[0]: "},
        {"voice_parts: [{track_no: 0, notes: [{position: -99999999999, duration: 480, tone: 60}]}]\n", "out of range"},
        {"tempos: [{position: 0, bpm: .nan}]\nvoice_parts: []\n", "tempos[0]: bpm nan is no tempo"},
        {"resolution: 0\n", "resolution 0 is out of range"},
        {"voice_parts: [{track_no: 0, notes: [{position: 0, duration: 480, tone: 60, lyric: [\n", "line "},
        {"- just\n- a list\n", "not a .ustx project"},
        {"voice_parts: []\n", "the project has no notes"},
        {"\x1b[2J: {a: 1}\n", "the project has no notes"},
    };
    for (const Case& c : ustxCases) {
        EXPECT_FALSE(readUstx(c.ust, p, error)) << c.ust;
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
        EXPECT_EQ(error.find('\x1b'), std::string::npos) << error;
    }
    // Aliases naming one long list many times: every visit counts against the limit.
    std::string bomb = "n: &n [";
    for (int i = 0; i < 50000; ++i) bomb += "{},";
    bomb += "]\nvoice_parts:\n";
    for (int i = 0; i < 600; ++i) bomb += "- {track_no: 0, notes: *n}\n";
    EXPECT_FALSE(readUstx(bomb, p, error));
    EXPECT_NE(error.find("more than 200000 notes"), std::string::npos) << error;
    // Sixteen tracks with notes are more than the channels a song sings on, unless one is chosen.
    std::string many = "voice_parts:\n";
    for (int i = 0; i < 16; ++i)
        many += "- {track_no: " + std::to_string(i) + ", notes: [{position: 0, duration: 480, tone: 60, lyric: あ}]}\n";
    ASSERT_TRUE(readUstx(many, p, error)) << error;
    EXPECT_FALSE(projectSong(p, 0, song, error));
    EXPECT_NE(error.find("choose one with --part N"), std::string::npos) << error;
    EXPECT_TRUE(projectSong(p, 16, song, error)) << error;
}

}  // namespace
}  // namespace kantor
