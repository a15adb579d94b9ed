#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>

#include "base/FileIO.h"
#include "import/BankImporter.h"
#include "import/BankWave.h"
#include "import/OtoIni.h"
#include "midi/MidiFile.h"
#include "midi/SmfWriter.h"
#include "midi/TempoMap.h"
#include "song/Song.h"
#include "song/VoxTrackBuilder.h"
#include "support/CliRun.h"
#include "support/TempDir.h"
#include "synth/SongRenderer.h"
#include "synth/SynthEngine.h"
#include "import/TestBank.h"
#include "voice/VoiceBank.h"
#include "voice/SyllableTable.h"
#include "voice/VoiceFile.h"
#include "voicemaker/AutoMarker.h"

namespace kantor {
namespace {

namespace fs = std::filesystem;
using test::WavKind;

// ---- the text forms ----

TEST(OtoIni, LinesFieldsAndBlanks) {
    OtoLine l;
    ASSERT_TRUE(parseOtoLine("か.wav=か,45,120,-250,80,20\r", l));
    EXPECT_EQ(l.file, "か.wav");
    EXPECT_EQ(l.alias, "か");
    EXPECT_DOUBLE_EQ(l.offset, 45);
    EXPECT_DOUBLE_EQ(l.consonant, 120);
    EXPECT_DOUBLE_EQ(l.cutoff, -250);
    EXPECT_DOUBLE_EQ(l.preutterance, 80);
    EXPECT_DOUBLE_EQ(l.overlap, 20);
    // An empty alias is the file's name; missing and empty fields are 0; decimals are read.
    ASSERT_TRUE(parseOtoLine("sub\\_ああ.WAV=,12.5,,", l));
    EXPECT_EQ(l.alias, "_ああ");
    EXPECT_DOUBLE_EQ(l.offset, 12.5);
    EXPECT_DOUBLE_EQ(l.cutoff, 0);
    bool blank = false;
    EXPECT_FALSE(parseOtoLine("  \t", l, &blank));
    EXPECT_TRUE(blank);
    for (const char* bad : {"no equals sign", "=か,1,2,3,4,5", "a.wav=か,1,x,3,4,5", "a.wav=か,1,2,3,4,5,6", "a.wav=か,1e99"}) {
        EXPECT_FALSE(parseOtoLine(bad, l, &blank)) << bad;
        EXPECT_FALSE(blank);
    }
}

TEST(OtoIni, TextIsUtf8OrCp932) {
    const std::string utf8 = "name=テスト歌手\n";
    EXPECT_EQ(bankTextToUtf8(utf8ToCp932(utf8)), utf8);
    EXPECT_EQ(bankTextToUtf8(utf8), utf8);
    EXPECT_EQ(bankTextToUtf8("\xEF\xBB\xBF" + utf8), utf8);
    EXPECT_EQ(characterName("image=a.bmp\r\nName = テスト歌手\r\n"), "テスト歌手");
    EXPECT_EQ(splitLines("a\r\nb\rc\n\nd").size(), 5u);
}

TEST(OtoIni, NoteNames) {
    EXPECT_EQ(noteFromName("C4"), 72);  // middle C, 261.6 Hz, note 72 of this system
    EXPECT_EQ(noteFromName("A4"), 81);  // 440 Hz
    EXPECT_EQ(noteFromName("C#4"), 73);
    EXPECT_EQ(noteFromName("Db4"), 73);
    EXPECT_EQ(noteFromName("B7"), 119);
    EXPECT_EQ(noteFromName("C-1"), 12);
    EXPECT_EQ(noteFromName("H4"), -1);
    EXPECT_EQ(noteFromName("C44"), -1);
    EXPECT_EQ(findNoteName("_G#3"), 68);
    EXPECT_EQ(findNoteName("強C4"), 72);
    EXPECT_EQ(findNoteName("A3soft"), 69);
    EXPECT_EQ(findNoteName("ABC"), -1);
    EXPECT_EQ(findNoteName("BC45"), -1);
    EXPECT_EQ(findNoteName("voice"), -1);
}

TEST(OtoIni, AliasesNameSyllables) {
    PrefixMap map = parsePrefixMap("C4\t\t↓\nC#4\t\t↓\nD4\t\t↓\nG4\t\t↑\nG#4\t\t↑\nA4\t\t↑\nE4\t\t\n");
    ASSERT_EQ(map.entries.size(), 7u);
    struct Case {
        const char* alias;
        const char* code;
        bool head;
        int note;
    };
    for (const Case& c : std::vector<Case>{{"か", "KA", true, -1},
                                           {"- か", "KA", true, -1},
                                           {"-か", "KA", true, -1},
                                           {"か↑", "KA", true, 80},    // the middle of G4..A4
                                           {"か↓", "KA", true, 73},
                                           {"a か", "KA", false, -1},
                                           {"a か↑", "KA", false, 80},
                                           {"カ", "KA", true, -1},
                                           {"ka", "KA", true, -1},
                                           {"- shi", "SI", true, -1},
                                           {"o KYA", "KYA", false, -1},
                                           {"きゃ", "KYA", true, -1},
                                           {"かC4", "KA", true, 72},
                                           {"ka_G4", "KA", true, 79},
                                           {"か2", "KA", true, -1},
                                           {"うぃ", "WI", true, -1},
                                           {"wi", "WI", true, -1},
                                           {"い", "I", true, -1},
                                           {"ん", "N", true, -1}}) {
        AliasSyllable s;
        ASSERT_TRUE(mapAlias(c.alias, map, s)) << c.alias;
        const SyllableRow* row = syllableRow(s.row);
        EXPECT_EQ(row->code, c.code) << c.alias;
        EXPECT_EQ(s.head, c.head) << c.alias;
        EXPECT_EQ(s.affixNote, c.note) << c.alias;
    }
    for (const char* none : {"a R", "R", "息", "てぃ", "-", "", "a -", "ゔ"}) {
        AliasSyllable s;
        EXPECT_FALSE(mapAlias(none, map, s)) << none;
    }
}

// ---- the WAV files ----

TEST(BankWave, EveryFormIsBroughtTo16BitMonoAt44100) {
    test::TempDir dir;
    const std::vector<float> x = test::syllableSound(220.0, 22050, 10, 10, 200);
    std::vector<int16_t> reference;
    for (auto [kind, channels] : std::vector<std::pair<WavKind, int>>{
             {WavKind::Pcm16, 1}, {WavKind::Pcm8, 1}, {WavKind::Pcm24, 2}, {WavKind::Float32, 2}}) {
        const std::string path = dir.file("w" + std::to_string(int(kind)) + ".wav");
        test::writeFile(path, test::wavBytes(x, 22050, channels, kind));
        BankWave w;
        BankWaveInfo info;
        ASSERT_TRUE(w.probe(path, info)) << w.lastError();
        EXPECT_EQ(info.rate, 22050);
        EXPECT_EQ(info.channels, channels);
        EXPECT_EQ(info.frames, int64_t(x.size()));
        std::vector<int16_t> y;
        ASSERT_TRUE(w.read(path, y)) << w.lastError();
        EXPECT_NEAR(double(y.size()), 2.0 * double(x.size()), 2.0);
        // The vowel keeps its pitch and level through the rate conversion.
        const std::size_t mid = y.size() * 3 / 4;
        const double period = estimatePeriod(y, mid);
        EXPECT_NEAR(44100.0 / period, 220.0, 1.0);
        int peak = 0;
        for (std::size_t i = mid - 2000; i < mid + 2000; ++i) peak = std::max(peak, std::abs(int(y[i])));
        EXPECT_NEAR(peak, 0.5 * 32767, kind == WavKind::Pcm8 ? 1500 : 800);
        if (reference.empty()) reference = y;
    }
    BankWave w;
    BankWaveInfo info;
    test::writeFile(dir.file("bad.wav"), {'R', 'I', 'F', 'F', 1, 2, 3});
    EXPECT_FALSE(w.probe(dir.file("bad.wav"), info));
    EXPECT_FALSE(w.lastError().empty());
}

// ---- a whole bank ----

constexpr int kLow = 72;   // "C4"
constexpr int kHigh = 79;  // "G4"
const std::vector<std::pair<const char*, const char*>> kSyllables = {
    {"あ", "A"},  {"い", "I"},  {"う", "U"},  {"え", "E"},  {"お", "O"},  {"か", "KA"}, {"き", "KI"}, {"く", "KU"},
    {"け", "KE"}, {"こ", "KO"}, {"さ", "SA"}, {"し", "SI"}, {"す", "SU"}, {"せ", "SE"}, {"そ", "SO"}, {"た", "TA"},
    {"ち", "TI"}, {"つ", "TU"}, {"て", "TE"}, {"と", "TO"}, {"な", "NA"}, {"に", "NI"}};

// offset 40 ms, preutterance 70 ms: B lands at 110 ms, where the vowel starts.
constexpr double kOffsetMs = 40, kPreMs = 70, kVowelMs = 110;

// 22 syllables at "C4" (folder low, 16-bit mono 44,100 Hz) and "G4" (folder high, 24-bit
// stereo 48,000 Hz), cp932 oto.ini files with hiragana aliases carrying the suffixes of
// prefix.map, a VCV line, a bad line, a missing file, an alias without a syllable, a line
// past its file's end and a fixed part that runs past the vowel.
struct Bank {
    test::TempDir dir;
    fs::path root = fs::path(dir.path()) / "テスト音源";
    Bank() {
        std::string prefix;
        for (int n = 119; n >= 36; --n) prefix += test::usualNoteName(n) + "\t\t" + (n < 76 ? "_C4" : "_G4") + "\n";
        test::writeText(root / "prefix.map", prefix, false);
        test::writeText(root / "character.txt", "name=テスト歌手\r\nauthor=テスト\r\n", true);
        test::writeText(root / "readme.txt", "利用規約: テスト用です。\r\n", true);
        std::string low, high;
        for (auto [kana, code] : kSyllables) {
            test::writeFile(root / "low" / (std::string(kana) + ".wav"),
                            test::wavBytes(test::syllableSound(test::noteHz(kLow), 44100), 44100, 1, WavKind::Pcm16));
            test::writeFile(root / "high" / (std::string(kana) + ".wav"),
                            test::wavBytes(test::syllableSound(test::noteHz(kHigh), 48000), 48000, 2, WavKind::Pcm24));
            low += std::string(kana) + ".wav=" + kana + "_C4,40,150,-500,70,20\r\n";
            const bool pastVowel = std::string(code) == "SO";
            high += std::string(kana) + ".wav=" + kana + "_G4,40," + (pastVowel ? "700" : "150") + ",-500,70,20\r\n";
        }
        test::writeFile(root / "low" / "_aka.wav",
                        test::wavBytes(test::syllableSound(test::noteHz(kLow), 44100), 44100, 1, WavKind::Pcm16));
        test::writeFile(root / "low" / "breath.wav",
                        test::wavBytes(test::syllableSound(test::noteHz(kLow), 44100), 44100, 1, WavKind::Pcm16));
        low += "_aka.wav=a か_C4,40,150,-500,70,20\r\n";       // VCV: the head entry wins
        low += "this line is not an oto line\r\n";              // bad line
        low += "ぬ.wav=ぬ_C4,40,150,-500,70,20\r\n";            // missing file
        low += "breath.wav=R_C4,40,150,-500,70,20\r\n";         // no syllable
        low += "て.wav=て_C4,9000,150,-500,70,20\r\n";          // past the end
        low += "\r\n";
        test::writeText(root / "low" / "oto.ini", low, true);
        test::writeText(root / "high" / "oto.ini", high, true);
    }
    // Every file of the bank with its bytes.
    std::map<std::string, std::vector<uint8_t>> snapshot() const {
        std::map<std::string, std::vector<uint8_t>> s;
        for (auto& e : fs::recursive_directory_iterator(root)) {
            std::vector<uint8_t> bytes;
            if (e.is_regular_file()) readWholeFile(e.path().string(), bytes);
            s[e.path().string()] = bytes;
        }
        return s;
    }
};

std::vector<std::string> filesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(BankImport, TheSummaryCountsWhatWasMadeAndWhatWasSkipped) {
    Bank bank;
    BankImporter importer;
    VoiceProject project;
    BankSummary s;
    int calls = 0, lastDone = 0, lastTotal = -1;
    ASSERT_TRUE(importer.read(bank.root.string(), "", project, s, [&](int done, int total) {
        EXPECT_LE(done, total);
        EXPECT_GE(done, lastDone);
        ++calls;
        lastDone = done;
        lastTotal = total;
        return true;
    })) << importer.lastError();
    EXPECT_EQ(s.voiceName, "テスト歌手");
    EXPECT_EQ(s.readme, "利用規約: テスト用です。\r\n");
    EXPECT_EQ(s.otoFiles, 2);
    EXPECT_EQ(s.lines, 49);
    EXPECT_EQ(s.samples, 45);  // 44 plain, and the VCV line "a か"
    EXPECT_EQ(s.vcvSamples, 1);
    EXPECT_EQ(s.pitches, 2);
    EXPECT_EQ(s.unused, 0);
    EXPECT_EQ(s.autoMarked, 1);
    // Every kept sample is measured, the one whose fixed part runs past its vowel from its
    // preutterance; the tags (prefix.map) agree with the measures.
    EXPECT_EQ(s.measuredPitch, 45) << s.text();
    EXPECT_TRUE(s.correctedPitches.empty()) << s.text();
    ASSERT_EQ(s.skipped.size(), 4u);
    EXPECT_EQ(s.skippedFor(SkipReason::BadLine), 1);
    EXPECT_EQ(s.skippedFor(SkipReason::MissingWave), 1);
    EXPECT_EQ(s.skippedFor(SkipReason::NoSyllable), 1);
    EXPECT_EQ(s.skippedFor(SkipReason::PastEnd), 1);
    EXPECT_EQ(s.skipped[0].file, "low/oto.ini");
    EXPECT_EQ(s.skipped[0].line, 24);
    EXPECT_EQ(s.skipped[0].reason, SkipReason::BadLine);
    EXPECT_EQ(s.skipped[1].line, 25);
    EXPECT_EQ(s.skipped[1].reason, SkipReason::MissingWave);
    EXPECT_EQ(s.skipped[3].line, 27);
    EXPECT_NE(s.text().find("low/oto.ini:25: WAVファイルがない: ぬ.wav=ぬ_C4"), std::string::npos) << s.text();
    EXPECT_GE(calls, 10);
    EXPECT_EQ(lastDone, lastTotal);
    EXPECT_EQ(lastTotal, 45);  // the WAV files that give samples

    ASSERT_EQ(project.items.size(), 44u);
    EXPECT_EQ(project.voiceName, "テスト歌手");
    for (const auto& item : project.items) {
        ASSERT_TRUE(item->hasData() && item->hasProperties());
        EXPECT_TRUE(item->pitchNumber == kLow || item->pitchNumber == kHigh);
        // A at the offset (the 40 ms of sound before it kept), B at the preutterance.
        EXPECT_EQ(item->markerA, 1764u);
        EXPECT_EQ(item->markerB, 1764u + 3087u);
        if (item->code == "SO" && item->pitchNumber == kHigh) {
            EXPECT_GT(item->markerD, item->markerC + 2205) << "the automatic markers give a real loop";
            continue;
        }
        // C at the end of the fixed part and D at the cutoff, each moved by at most a few
        // periods onto the rising zero crossings that make the smoothest loop.
        const double period = 44100.0 / test::noteHz(int(item->pitchNumber));
        EXPECT_GE(item->markerC, 1764u + 6615u);
        EXPECT_LE(item->markerC, 1764u + 6615u + uint32_t(8 * period) + 1);
        EXPECT_LE(item->markerD, 1764u + 22050u);
        EXPECT_GE(item->markerD, 1764u + 22050u - uint32_t(9 * period) - 1);
        const std::vector<int16_t> x = item->data.samples();
        EXPECT_FALSE(loopSeam(x, item->markerC, item->markerD).clicks()) << item->code << item->pitchNumber;
    }
    // The head entry gave か's plain sample; the VCV line is kept as "a か".
    ASSERT_EQ(project.contextItems.size(), 1u);
    EXPECT_EQ(project.contextItems[0]->code, "KA");
    EXPECT_EQ(project.contextItems[0]->after, "a");
    EXPECT_EQ(project.contextItems[0]->contextKind, 1);
    auto ka = std::find_if(project.items.begin(), project.items.end(),
                           [](const auto& i) { return i->code == "KA" && i->pitchNumber == kLow; });
    ASSERT_NE(ka, project.items.end());
    EXPECT_EQ((*ka)->notation, "か");
}

TEST(BankImport, AVowelLineIsUsedWhenNoHeadEntryExistsAndPitchesComeFromFoldersOrMeasuring) {
    test::TempDir dir;
    const fs::path root = fs::path(dir.path()) / "bank";
    // No prefix.map: folder "A3" groups its lines under its name; every pitch is measured.
    test::writeFile(root / "A3" / "x.wav",
                    test::wavBytes(test::syllableSound(test::noteHz(69), 44100), 44100, 1, WavKind::Float32));
    test::writeFile(root / "other" / "y.wav",
                    test::wavBytes(test::syllableSound(test::noteHz(76), 44100), 44100, 1, WavKind::Pcm8));
    test::writeText(root / "A3" / "oto.ini", "x.wav=a か,40,150,-500,70,20\n", false);
    test::writeText(root / "other" / "oto.ini", "y.wav=- き,40,150,-500,70,20\ny.wav=u き,40,150,-500,70,20\n", false);
    BankImporter importer;
    VoiceProject project;
    BankSummary s;
    ASSERT_TRUE(importer.read(root.string(), "Named", project, s)) << importer.lastError();
    EXPECT_EQ(s.voiceName, "Named");
    ASSERT_EQ(project.items.size(), 2u);
    EXPECT_EQ(project.items[0]->code, "KA");
    EXPECT_EQ(project.items[0]->pitchNumber, 69u);
    EXPECT_EQ(project.items[1]->code, "KI");
    EXPECT_EQ(project.items[1]->pitchNumber, 76u);
    // Every sample measured (the folder's name only groups); the VCV lines also kept as such.
    EXPECT_EQ(s.measuredPitch, 4);
    EXPECT_EQ(s.unused, 0);
    EXPECT_EQ(project.contextItems.size(), 2u);
    // Without character.txt or --name the folder's name is the voice's.
    ASSERT_TRUE(importer.read(root.string(), "", project, s));
    EXPECT_EQ(s.voiceName, "bank");

    // A bank unpacked without converting its file names keeps them in cp932, and one made
    // on a file system that ignores case may name "X.WAV" for "x.wav".
    const fs::path raw = fs::path(dir.path()) / "raw";
    test::writeFile(raw / utf8ToCp932("く.wav"),
                    test::wavBytes(test::syllableSound(test::noteHz(72), 44100), 44100, 1, WavKind::Pcm16));
    test::writeFile(raw / "lower.wav",
                    test::wavBytes(test::syllableSound(test::noteHz(72), 44100), 44100, 1, WavKind::Pcm16));
    test::writeText(raw / "oto.ini", "く.wav=くC4,40,150,-500,70,20\nLOWER.WAV=けC4,40,150,-500,70,20\n", true);
    ASSERT_TRUE(importer.read(raw.string(), "", project, s)) << importer.lastError();
    EXPECT_EQ(s.samples, 2) << s.text();
}

// A fixed part past the cutoff where the automatic markers find the vowel only after the
// latest place D may take (one second after a preutterance set in the silence): the loop
// falls back to the stretch between the preutterance and D rather than losing the line.
TEST(BankImport, AutomaticMarkersPastTheLoopReachFallBackToTheStretchBeforeD) {
    test::TempDir dir;
    const fs::path root = fs::path(dir.path()) / "late";
    test::writeFile(root / "a.wav",
                    test::wavBytes(test::syllableSound(test::noteHz(72), 44100, 850, 50, 1000), 44100, 1, WavKind::Pcm16));
    test::writeText(root / "oto.ini", "a.wav=あC4,0,1500,-1900,50,20\n", false);
    BankImporter importer;
    VoiceProject project;
    BankSummary s;
    ASSERT_TRUE(importer.read(root.string(), "", project, s)) << importer.lastError() << s.text();
    ASSERT_EQ(project.items.size(), 1u);
    EXPECT_EQ(s.autoMarked, 1);
    const VoiceItem& item = *project.items[0];
    EXPECT_EQ(item.markerB, 2205u);
    EXPECT_EQ(item.markerD, 2205u + 44100u);
    EXPECT_GT(item.markerC, item.markerB);
    EXPECT_LT(item.markerC + 441, item.markerD);
}

// Sings a song with the imported voice and measures every note: its pitch, and where its
// vowel starts against the note's start.
TEST(BankImport, AnImportedVoiceSingsInTuneWithOnsetsOnThePreutterance) {
    Bank bankFolder;
    test::TempDir voices;
    const std::map<std::string, std::vector<uint8_t>> before = bankFolder.snapshot();
    BankImporter importer;
    BankSummary summary;
    std::string id;
    ASSERT_TRUE(importer.importVoice(bankFolder.root.string(), "", voices.path(), id, summary)) << importer.lastError();
    EXPECT_EQ(bankFolder.snapshot(), before) << "the bank folder is only read";
    EXPECT_EQ(filesIn(voices.path()), (std::vector<std::string>{id + ".readme.txt", id + ".vxb"}));

    // The song: one note a second, each its own phrase, 600 ms long.
    const std::vector<std::pair<int, const char*>> notes = {{70, "KA"}, {72, "SA"}, {74, "TA"}, {76, "NA"},
                                                            {79, "KO"}, {81, "SI"}, {84, "A"},  {67, "TE"},
                                                            {77, "SO"}, {75, "NI"}};
    MidiFile midi;
    TempoMap map;
    Song song;
    VoiceBank bank;
    bank.setVoiceFolder(voices.path());
    SynthEngine engine{bank, map};
    SmfTrack t;
    t.tempo(0, 500000);  // 960 ticks a second
    for (std::size_t i = 0; i < notes.size(); ++i) {
        const uint32_t start = 960 * uint32_t(i + 1);
        t.note(start, start + 576, 0, uint8_t(notes[i].first), 100);
    }
    ASSERT_TRUE(midi.loadImage(buildSmf(0, 480, {t}), voices.file("s.mid")));
    ASSERT_TRUE(map.build(midi));
    song.songDefaults().voiceName = id;
    ASSERT_TRUE(makeVoxChannel(song, midi.channel(0), 0));
    song.setSongPath(voices.file("s.uta"));
    for (std::size_t i = 0; i < notes.size(); ++i) {
        VoxEvent& e = *song.channel(0).events[i];
        e.setCode(0, notes[i].second);
        e.syllableLength[0] = 1;
        song.makePhraseHead(0, i);
    }
    SongRenderer renderer(song, engine);
    std::vector<PlaybackPiece> pieces;
    ASSERT_TRUE(renderer.renderSong(RenderRequest{}, pieces)) << renderer.lastError();
    ASSERT_EQ(pieces.size(), notes.size());
    for (std::size_t i = 0; i < notes.size(); ++i) {
        const PlaybackPiece& p = pieces[i];
        const std::vector<int16_t> y = p.data.samples();
        const double noteStartMs = 1000.0 * double(i + 1);
        int peak = 0;
        for (int16_t v : y) peak = std::max(peak, std::abs(int(v)));
        ASSERT_GT(peak, 1000) << notes[i].second;
        std::size_t onset = 0;
        while (onset < y.size() && std::abs(int(y[onset])) < peak / 2) ++onset;
        const double onsetMs = double(p.startMs) + double(onset) * 1000.0 / 44100.0;
        EXPECT_NEAR(onsetMs, noteStartMs, 2.0) << notes[i].second << " at " << notes[i].first;
        const double period = estimatePeriod(y, onset + 11025);
        ASSERT_GT(period, 0) << notes[i].second;
        const double cents = 1200.0 * std::log2((44100.0 / period) / test::noteHz(notes[i].first));
        EXPECT_LT(std::abs(cents), 20.0) << notes[i].second << " at " << notes[i].first;
    }
    ASSERT_TRUE(bank.ensureVoiceLoaded(id));
    const Voice* v = bank.findVoice(id);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->samples.size(), 44u);
}

TEST(BankImport, AFailedImportLeavesNothingBehind) {
    test::TempDir voices;
    BankImporter importer;
    BankSummary s;
    std::string id;
    // A folder without oto.ini, a bank whose lines all fail, a cancelled import and a
    // failing write.
    test::TempDir empty;
    EXPECT_FALSE(importer.importVoice(empty.path(), "", voices.path(), id, s));
    test::writeText(fs::path(empty.path()) / "oto.ini", "gone.wav=か,40,150,-500,70,20\n", false);
    EXPECT_FALSE(importer.importVoice(empty.path(), "", voices.path(), id, s));
    EXPECT_EQ(s.skippedFor(SkipReason::MissingWave), 1);
    Bank bank;
    EXPECT_FALSE(importer.importVoice(bank.root.string(), "", voices.path(), id, s, nullptr,
                                      [](int done, int) { return done < 10; }));
    EXPECT_EQ(importer.lastError(), "取り消しました。");
    AtomicFile::injectFaultForTesting(AtomicFile::Fault::Write);
    EXPECT_FALSE(importer.importVoice(bank.root.string(), "", voices.path(), id, s));
    AtomicFile::injectFaultForTesting(AtomicFile::Fault::None);
    EXPECT_TRUE(id.empty());
    EXPECT_TRUE(filesIn(voices.path()).empty());
    EXPECT_FALSE(importer.importProject(bank.root.string(), "", voices.file("p.vxbprj"), s,
                                        [](int done, int) { return done < 3; }));
    EXPECT_TRUE(filesIn(voices.path()).empty());
}

TEST(BankImport, TheCommandLineMakesAVoiceOrAProjectAndVoiceInfoShowsTheReadme) {
    Bank bank;
    test::TempDir voices;
    test::CliResult r = test::runCli({"voice", "import-bank", bank.root.string(), "--voice-dir", voices.path()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("作成したサンプル: 45（2音高）"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("飛ばした行: 4"), std::string::npos) << r.out;
    const std::size_t at = r.out.rfind("voice: ");
    ASSERT_NE(at, std::string::npos);
    const std::string id = r.out.substr(at + 7, r.out.size() - at - 8);
    r = test::runCli({"voice", "info", id, "--voice-dir", voices.path()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Voice名: テスト歌手"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("利用規約: テスト用です。"), std::string::npos) << r.out;
    // Deleting the voice takes its readme along.
    r = test::runCli({"voice", "delete", id, "--voice-dir", voices.path()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(fileExists(voices.file(id + ".readme.txt")));

    test::TempDir out;
    r = test::runCli({"voice", "import-bank", bank.root.string(), "--name", "Alto", "--project", out.file("alto.vxbprj")});
    ASSERT_EQ(r.status, 0) << r.err;
    VoiceProject project;
    ASSERT_TRUE(project.load(out.file("alto.vxbprj"))) << project.lastError();
    EXPECT_EQ(project.voiceName, "Alto");
    EXPECT_EQ(project.items.size(), 44u);
    EXPECT_TRUE(fileExists(out.file("alto.readme.txt")));
    r = test::runCli({"voice", "import-bank", out.file("nothing-here"), "--voice-dir", voices.path()});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("フォルダではありません。"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace kantor
