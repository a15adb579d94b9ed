// One language at a time: every import path of the command line and each of its errors, run
// in Japanese and in English, prints no text of the other language. File names, the bank's
// lines and the song's data do not count; they are taken out before looking.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <set>

#include "import/TestBank.h"
#include "support/CliRun.h"

namespace kantor {
namespace {

namespace fs = std::filesystem;
using test::CliResult;

bool hasJapanese(const std::string& s) {
    for (std::size_t i = 0; i + 2 < s.size(); ++i) {
        const auto b0 = static_cast<unsigned char>(s[i]), b1 = static_cast<unsigned char>(s[i + 1]);
        if (b0 == 0xE3 && b1 >= 0x81 && b1 <= 0x83) return true;  // kana
        if (b0 >= 0xE4 && b0 <= 0xE9) return true;                 // ideographs
        if (b0 == 0xEF && (b1 == 0xBC || b1 == 0xBD || b1 == 0xBE)) return true;  // full- and half-width forms
    }
    return false;
}

// Words of three letters or more that are not names of files, formats, commands or data.
std::vector<std::string> englishWords(const std::string& text, const std::set<std::string>& data) {
    static const std::set<std::string> names = {
        // formats and file kinds as they are written in either language
        "oto", "ini", "wav", "WAV", "XML", "MusicXML", "MIDI", "Midi", "mid", "uta", "Uta", "musicxml", "mxl", "txt", "readme", "Voice", "vxb",
        // the command line's own command names and its machine-read "key: value" lines
        "voice", "import", "bank", "new", "project", "info"};
    std::vector<std::string> out;
    static const std::regex word("[A-Za-z]{3,}");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), word); it != std::sregex_iterator(); ++it) {
        const std::string w = it->str();
        if (names.count(w) || data.count(w) || std::regex_match(w, std::regex("vxb[0-9]+"))) continue;
        out.push_back(w);
    }
    return out;
}

std::string without(std::string text, const std::string& part) {
    for (std::size_t at; !part.empty() && (at = text.find(part)) != std::string::npos;) text.erase(at, part.size());
    return text;
}

class ImportLanguage : public ::testing::Test, public test::CliFolders {
protected:
    ImportLanguage() : CliFolders({{"SA", "さ", 64}}) {
        test::writeSyntheticVoice(voiceDir, "SakuraVox",
                                  {{"SA", "さ", 64}, {"KU", "く", 64}, {"RA", "ら", 64}, {"YA", "や", 64}, {"YO", "よ", 64},
                                   {"I", "い", 64}, {"NO", "の", 64}, {"SO", "そ", 64}, {"HA", "は", 64}, {"MI", "み", 64},
                                   {"WA", "わ", 64}, {"TA", "た", 64}, {"SU", "す", 64}, {"KA", "か", 64}, {"GI", "ぎ", 64},
                                   {"RI", "り", 64}, {"U", "う", 64}});
        // A bank in the oto.ini form with ASCII names, so that any Japanese in an English run
        // is the program's: two usable samples, a line of no form, a missing file, an alias
        // that names no syllable and times past the end of the sound.
        bank = dir.file("bank");
        const auto sound = test::wavBytes(test::syllableSound(test::noteHz(72), 44100), 44100, 1, test::WavKind::Pcm16);
        test::writeFile(fs::path(bank) / "ka.wav", sound);
        test::writeFile(fs::path(bank) / "sa.wav", sound);
        test::writeFile(fs::path(bank) / "br.wav", sound);
        test::writeFile(fs::path(bank) / "te.wav", sound);
        test::writeText(fs::path(bank) / "oto.ini",
                        "ka.wav=ka,40,150,-500,70,20\r\nsa.wav=sa,40,150,-500,70,20\r\nxxxx\r\n"
                        "nu.wav=nu,40,150,-500,70,20\r\nbr.wav=zz,40,150,-500,70,20\r\nte.wav=te,9000,150,-500,70,20\r\n",
                        false);
        // A folder with an oto.ini of which no line gives a sample, and one with none.
        useless = dir.file("useless");
        test::writeText(fs::path(useless) / "oto.ini", "nu.wav=nu,40,150,-500,70,20\r\n", false);
        empty = dir.file("empty");
        fs::create_directories(empty);
        midi = std::string(KANTOR_SOURCE_DIR) + "/tests/import/data/sakura.kar";
        score = std::string(KANTOR_SOURCE_DIR) + "/tests/import/data/sakura.musicxml";
        fs::create_directories(dir.file("out"));
    }

    // Every path and error, in one language; what the runs printed, file names taken out.
    std::vector<std::pair<std::string, std::string>> runAll(const char* lang) {
        std::vector<std::pair<std::string, std::string>> printed;
        const std::string out = dir.file(std::string("out/") + lang);
        fs::create_directories(out);
        auto run = [&](const std::string& what, cli::Args a) {
            // The voice commands take the voice folder after "voice"; the song commands both folders.
            if (a[0] == "voice")
                a.insert(a.begin() + 1, {"--voice-dir", voiceDir});
            else if (a[0] != "info")
                a = common(std::move(a));
            a.insert(a.end(), {"--lang", lang});
            const CliResult r = test::runCli(a);
            printed.emplace_back(what, without(without(r.out + r.err, dir.path()), KANTOR_SOURCE_DIR));
            return r;
        };
        EXPECT_EQ(run("bank import", {"voice", "import-bank", bank}).status, 0);
        EXPECT_EQ(run("bank import as a project", {"voice", "import-bank", bank, "--project", out + "/p.vxbprj"}).status, 0);
        EXPECT_EQ(run("bank import from a missing folder", {"voice", "import-bank", dir.file("nowhere")}).status, 1);
        EXPECT_EQ(run("bank import without oto.ini", {"voice", "import-bank", empty}).status, 1);
        EXPECT_EQ(run("bank import of no usable line", {"voice", "import-bank", useless}).status, 1);
        EXPECT_EQ(run("score import", {"import", score, "-o", out + "/sakura.uta", "--voice", "SakuraVox"}).status, 0);
        EXPECT_EQ(run("score import by voice name", {"import", score, "-o", out + "/named.uta", "--voice", "sakuravox"}).status, 0);
        EXPECT_EQ(run("score import with an unknown voice", {"import", score, "-o", out + "/x.uta", "--voice", "Nobody"}).status,
                  1);
        EXPECT_EQ(run("new song with an unknown voice", {"new", midi, "-o", out + "/k.uta", "--vox", "1", "--lyrics-from-midi", "--voice", "Nobody"}).status, 1);
        EXPECT_EQ(run("voice info of an unknown voice", {"voice", "info", "Nobody"}).status, 1);
        EXPECT_EQ(run("reading a missing song", {"info", out + "/missing.uta"}).status, 1);
        fs::create_directories(out + "/folder.uta");
        EXPECT_EQ(run("reading a song that is a folder", {"info", out + "/folder.uta"}).status, 1);
        return printed;
    }

    std::string bank, useless, empty, midi, score;
    // The data of the runs: the bank's lines and names, the voices, the score's part.
    const std::set<std::string> data = {"xxxx", "zz", "SakuraVox", "sakuravox", "TestVox", "Nobody", "sakura", "named",
                                        "useless", "empty", "nowhere", "missing", "vxbprj", "folder", "out",
                                        "MaleVox", "FemaleVox"};
};

TEST_F(ImportLanguage, JapaneseRunsPrintNoEnglishAndEnglishRunsNoJapanese) {
    for (const auto& [what, text] : runAll("ja")) {
        EXPECT_FALSE(text.empty()) << what;
        const auto words = englishWords(text, data);
        EXPECT_TRUE(words.empty()) << what << ": English \"" << (words.empty() ? "" : words[0]) << "\" in\n" << text;
    }
    for (const auto& [what, text] : runAll("en")) {
        EXPECT_FALSE(text.empty()) << what;
        EXPECT_FALSE(hasJapanese(text)) << what << ": Japanese in\n" << text;
    }
}

// The same promise for what the readers themselves say: the summary and the skipped lines
// of a bank, and the errors of the MusicXML reader, named in both languages.
TEST_F(ImportLanguage, TheBankSummaryNamesEverythingInTheChosenLanguage) {
    const CliResult ja = test::runCli({"voice", "--voice-dir", voiceDir, "import-bank", bank, "--lang", "ja"});
    ASSERT_EQ(ja.status, 0) << ja.err;
    for (const char* line : {"作成したサンプル: 2（1音高）", "飛ばした行: 4", "WAVファイルがない: nu.wav=nu", "  1: エイリアスが音節を表していない"})
        EXPECT_NE(ja.out.find(line), std::string::npos) << line << "\n" << ja.out;
    const CliResult en = test::runCli({"voice", "--voice-dir", voiceDir, "import-bank", bank, "--lang", "en"});
    ASSERT_EQ(en.status, 0) << en.err;
    for (const char* line : {"samples made: 2 (1 pitch)", "lines skipped: 4", "the WAV file is missing: nu.wav=nu",
                             "  1: the alias names no syllable"})
        EXPECT_NE(en.out.find(line), std::string::npos) << line << "\n" << en.out;
}

// The MusicXML reader's own errors (a score that is no XML, a lyric of no syllable, a part
// that is not there): waiting for the reader's texts to join the catalog.
TEST_F(ImportLanguage, TheScoreReadersErrorsFollowTheLanguage) {
    test::writeText(dir.file("x1.musicxml"), "<score-partwise><part-list>", false);
    for (const char* lang : {"ja", "en"}) {
        for (const cli::Args& a : {cli::Args{"import", dir.file("x1.musicxml"), "-o", dir.file("b.uta")},
                                   cli::Args{"import", score, "-o", dir.file("c.uta"), "--part", "2"},
                                   cli::Args{"import", score, "-o", dir.file("d.uta"), "--voice", "TestVox"}}) {
            cli::Args args = a;
            args.insert(args.end(), {"--lang", lang});
            const CliResult r = test::runCli(common(args));
            EXPECT_EQ(r.status, 1);
            const std::string text = without(r.err, dir.path());
            if (std::string(lang) == "ja")
                EXPECT_TRUE(englishWords(text, data).empty()) << text;
            else
                EXPECT_FALSE(hasJapanese(without(without(text, "桜"), "く"))) << text;  // the lyrics are song data
        }
    }
}

}  // namespace
}  // namespace kantor
