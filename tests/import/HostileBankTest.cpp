// Voice banks as a careless or hostile download may come: names that lead out of the
// folder, links, pipes and folders where WAV files should be, outputs pointed into the
// bank, headers that lie about their size, float files of NaN, oto.ini files of hundreds
// of thousands of lines, and disks that fill up.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <limits>
#include <map>

#include "base/FileIO.h"
#include "import/BankFiles.h"
#include "base/Translation.h"
#include "import/BankImporter.h"
#include "import/BankWave.h"
#include "import/TestBank.h"
#include "support/CliRun.h"
#include "support/TempDir.h"
#include "voicemaker/VoiceProject.h"

namespace kantor {
namespace {

namespace fs = std::filesystem;

// The summaries and reasons read here are the English ones.
struct English {
    English() { setLanguage(Language::English); }
    ~English() { setLanguage(Language::Japanese); }
};
using test::WavKind;

std::vector<uint8_t> syllableWav(int note) {
    return test::wavBytes(test::syllableSound(test::noteHz(note), 44100), 44100, 1, WavKind::Pcm16);
}

// A small bank recorded at C4: あ か さ た, one file each, plus what a test adds.
struct SmallBank {
    test::TempDir dir;
    fs::path root = fs::path(dir.path()) / "bank";
    std::string oto;
    SmallBank() {
        for (const char* kana : {"あ", "か", "さ", "た"}) {
            test::writeFile(root / (std::string(kana) + ".wav"), syllableWav(72));
            oto += std::string(kana) + ".wav=" + kana + "C4,40,150,-500,70,20\r\n";
        }
    }
    void writeOto() const { test::writeText(root / "oto.ini", oto, false); }
    std::map<std::string, std::vector<uint8_t>> snapshot() const {
        std::map<std::string, std::vector<uint8_t>> s;
        for (auto& e : fs::recursive_directory_iterator(root)) {
            std::vector<uint8_t> bytes;
            if (e.is_regular_file() && !e.is_symlink()) readWholeFile(e.path().string(), bytes);
            s[e.path().string()] = bytes;
        }
        return s;
    }
};

const SkippedLine* skippedAt(const BankSummary& s, const std::string& file, int line) {
    for (const SkippedLine& l : s.skipped)
        if (l.file == file && l.line == line) return &l;
    return nullptr;
}

TEST(HostileBank, ABankIsReadOnlyInsideItsFolder) {
    English english;
    SmallBank bank;
    const fs::path outside = fs::path(bank.dir.path());
    // A private file beside the bank, and ways of naming it from inside.
    test::writeFile(outside / "secret.wav", syllableWav(60));
    test::writeText(outside / "passwd", "root:x:0:0:root:/root:/bin/bash\n", false);
    fs::create_directories(bank.root / "sub");
    fs::create_symlink(outside / "secret.wav", bank.root / "linked.wav");
    fs::create_symlink(bank.root / "か.wav", bank.root / "sub" / "inside.wav");  // stays in the bank: fine
    fs::create_symlink(outside, bank.root / "up");                              // a folder link out
    fs::create_directory(bank.root / "folder.wav");
    ASSERT_EQ(::mkfifo((bank.root / "pipe.wav").c_str(), 0644), 0);
    fs::create_symlink(outside / "passwd", bank.root / "readme.txt");
    test::writeText(bank.root / "character.txt", "name=\x1b]0;owned\x07\x1b[2Jvoice\r\n", false);
    bank.oto += "../secret.wav=な,40,150,-500,70,20\r\n";               // line 5
    bank.oto += "..\\secret.wav=に,40,150,-500,70,20\r\n";              // 6
    bank.oto += (outside / "secret.wav").string() + "=ぬ,40,150,-500,70,20\r\n";  // 7
    bank.oto += "linked.wav=ね,40,150,-500,70,20\r\n";                  // 8
    bank.oto += "up/secret.wav=の,40,150,-500,70,20\r\n";               // 9
    bank.oto += "folder.wav=は,40,150,-500,70,20\r\n";                  // 10
    bank.oto += "pipe.wav=ひ,40,150,-500,70,20\r\n";                    // 11
    bank.oto += "sub/inside.wav=ふC4,40,150,-500,70,20\r\n";            // 12
    bank.oto += "C:\\voice\\secret.wav=へ,40,150,-500,70,20\r\n";       // 13
    bank.writeOto();

    BankImporter importer;
    VoiceProject project;
    BankSummary s;
    ASSERT_TRUE(importer.read(bank.root.string(), "", project, s)) << importer.lastError();
    EXPECT_EQ(project.items.size(), 5u) << s.text();  // あ か さ た, and ふ through the link inside
    for (int line : {5, 6, 7, 8, 9, 13}) {
        const SkippedLine* l = skippedAt(s, "oto.ini", line);
        ASSERT_NE(l, nullptr) << line << "\n" << s.text();
        EXPECT_EQ(l->reason, SkipReason::OutsideBank) << line;
    }
    const SkippedLine* folder = skippedAt(s, "oto.ini", 10);
    ASSERT_NE(folder, nullptr);
    EXPECT_EQ(folder->reason, SkipReason::NotAFile);
    EXPECT_EQ(translated(folder->detail), "a folder, not a file");
    const SkippedLine* pipe = skippedAt(s, "oto.ini", 11);
    ASSERT_NE(pipe, nullptr);
    EXPECT_EQ(translated(pipe->detail), "a named pipe (FIFO), not a file");
    // The readme that links out is not read, and the refusal is listed.
    EXPECT_EQ(s.readme, "");
    const SkippedLine* readme = skippedAt(s, "readme.txt", 0);
    ASSERT_NE(readme, nullptr) << s.text();
    EXPECT_EQ(readme->reason, SkipReason::OutsideBank);
    // Printed texts from the bank carry no control bytes.
    const std::string text = s.text();
    EXPECT_NE(text.find("voice name: \\x1b]0;owned\\x07\\x1b[2Jvoice"), std::string::npos) << text;
    EXPECT_EQ(text.find('\x1b'), std::string::npos);
    EXPECT_NE(text.find("readme.txt: the file lies outside the bank folder"), std::string::npos) << text;
    EXPECT_NE(text.find("oto.ini:10: not a file that can be read (a folder, not a file): folder.wav="), std::string::npos)
        << text;

    // The same through the command line, and an oto.ini that is itself a link out.
    fs::create_directories(bank.root / "more");
    test::writeText(outside / "oto.ini", "secret.wav=ま,40,150,-500,70,20\r\n", false);
    fs::create_symlink(outside / "oto.ini", bank.root / "more" / "oto.ini");
    test::TempDir voices;
    test::CliResult r = test::runCli({"--lang", "en", "voice", "import-bank", bank.root.string(), "--voice-dir", voices.path()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("more/oto.ini: the file lies outside the bank folder"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("samples made: 5 "), std::string::npos) << r.out;
    for (const auto& e : fs::directory_iterator(voices.path()))
        EXPECT_EQ(e.path().string().find(".readme.txt"), std::string::npos) << "no readme came from outside";
}

TEST(HostileBank, AProjectIsNeverWrittenIntoTheBankNorOverAFileWithoutForce) {
    English english;
    SmallBank bank;
    bank.writeOto();
    test::writeText(bank.root / "readme.txt", "terms of use\r\n", false);
    test::writeText(bank.root / "character.txt", "name=Small\r\n", false);
    const auto before = bank.snapshot();
    for (const char* target : {"oto.ini", "か.wav", "readme.txt", "character.txt", "new.vxbprj"}) {
        const std::string out = (bank.root / target).string();
        test::CliResult r = test::runCli({"--lang", "en", "voice", "import-bank", bank.root.string(), "--project", out, "--force"});
        EXPECT_EQ(r.status, 1) << target;
        EXPECT_NE(r.err.find("lies in the bank folder"), std::string::npos) << r.err;
    }
    // A project beside the bank whose readme would land in it: "bank.vxbprj" writes
    // "bank.readme.txt" next to it, outside; a link to the bank folder counts as the bank.
    fs::create_symlink(bank.root, fs::path(bank.dir.path()) / "alias");
    test::CliResult r = test::runCli(
        {"--lang", "en", "voice", "import-bank", bank.root.string(), "--project", bank.dir.file("alias/x.vxbprj")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(bank.snapshot(), before) << "nothing in the bank was changed or added";

    // An existing project is replaced only with --force, and so is its readme.
    test::TempDir out;
    test::writeText(out.file("mine.vxbprj"), "the user's own file", false);
    r = test::runCli({"--lang", "en", "voice", "import-bank", bank.root.string(), "--project", out.file("mine.vxbprj")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("exists (use --force to replace it)"), std::string::npos) << r.err;
    std::vector<uint8_t> bytes;
    ASSERT_EQ(readWholeFile(out.file("mine.vxbprj"), bytes), ReadStatus::Ok);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "the user's own file");
    test::writeText(out.file("other.readme.txt"), "the user's notes", false);
    r = test::runCli({"--lang", "en", "voice", "import-bank", bank.root.string(), "--project", out.file("other.vxbprj")});
    EXPECT_EQ(r.status, 1) << "the readme beside the project is the user's too";
    EXPECT_FALSE(fileExists(out.file("other.vxbprj")));
    r = test::runCli({"--lang", "en", "voice", "import-bank", bank.root.string(), "--project", out.file("mine.vxbprj"), "--force"});
    ASSERT_EQ(r.status, 0) << r.err;
    VoiceProject project;
    ASSERT_TRUE(project.load(out.file("mine.vxbprj"))) << project.lastError();
    EXPECT_EQ(project.items.size(), 4u);
    EXPECT_TRUE(fileExists(out.file("mine.readme.txt")));
    EXPECT_EQ(bank.snapshot(), before);
}

// A RIFF header that declares `declared` bytes of 16-bit stereo at 2 MHz over `real` bytes.
std::vector<uint8_t> lyingWav(uint32_t declared, std::size_t real) {
    std::vector<uint8_t> b;
    b.insert(b.end(), {'R', 'I', 'F', 'F'});
    test::put32(b, declared + 36);
    b.insert(b.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    test::put32(b, 16);
    test::put16(b, 1);
    test::put16(b, 2);
    test::put32(b, 2000000);
    test::put32(b, 8000000);
    test::put16(b, 4);
    test::put16(b, 16);
    b.insert(b.end(), {'d', 'a', 't', 'a'});
    test::put32(b, declared);
    for (std::size_t i = 0; i < real; ++i) b.push_back(uint8_t(i * 37));
    return b;
}

TEST(HostileBank, SoundFilesTakeMemoryByWhatTheyHoldAndNaNIsNoSound) {
    English english;
    test::TempDir dir;
    BankWave w;
    std::vector<int16_t> x;
    // 2 GB declared at 2 MHz (537 s: under the ten minutes), 64 KB there.
    test::writeFile(dir.file("liar.wav"), lyingWav(0x7FFFFFF0u, 65536));
    ASSERT_TRUE(w.read(dir.file("liar.wav"), x)) << w.lastError();
    EXPECT_LT(x.size(), 2000u);
    EXPECT_LE(x.capacity(), 65536u);

    // Float files of NaN (or infinity) are refused, not turned into silence.
    std::vector<float> nan(44100, std::numeric_limits<float>::quiet_NaN());
    test::writeFile(dir.file("nan.wav"), test::wavBytes(nan, 44100, 1, WavKind::Float32));
    EXPECT_FALSE(w.read(dir.file("nan.wav"), x));
    EXPECT_NE(translated(w.lastError()).find("not numbers"), std::string::npos) << w.lastError();
    std::vector<float> inf = test::syllableSound(test::noteHz(72), 44100);
    inf[20000] = std::numeric_limits<float>::infinity();
    test::writeFile(dir.file("inf.wav"), test::wavBytes(inf, 44100, 2, WavKind::Float32));
    EXPECT_FALSE(w.read(dir.file("inf.wav"), x));

    // In a bank: the NaN file's lines are skipped with the reason, the rest is imported;
    // a bank of nothing but NaN fails, listing its lines.
    SmallBank bank;
    test::writeFile(bank.root / "な.wav", test::wavBytes(nan, 44100, 1, WavKind::Float32));
    test::writeFile(bank.root / "に.wav", lyingWav(0x7FFFFFF0u, 4 << 20));
    bank.oto += "な.wav=な,40,150,-500,70,20\r\nに.wav=に,40,150,-500,70,20\r\n";
    bank.writeOto();
    BankImporter importer;
    VoiceProject project;
    BankSummary s;
    ASSERT_TRUE(importer.read(bank.root.string(), "", project, s)) << importer.lastError();
    EXPECT_GE(project.items.size(), 4u) << s.text();
    const SkippedLine* l = skippedAt(s, "oto.ini", 5);
    ASSERT_NE(l, nullptr) << s.text();
    EXPECT_EQ(l->reason, SkipReason::BadWave);
    EXPECT_NE(s.text().find("oto.ini:5: the WAV file cannot be read (samples that are not numbers"), std::string::npos)
        << s.text();

    test::TempDir nanBank, voices;
    for (const char* kana : {"あ", "い"})
        test::writeFile(fs::path(nanBank.path()) / (std::string(kana) + ".wav"), test::wavBytes(nan, 44100, 1, WavKind::Float32));
    test::writeText(fs::path(nanBank.path()) / "oto.ini", "あ.wav=あ,40,150,-500,70,20\nい.wav=い,40,150,-500,70,20\n", false);
    test::CliResult r = test::runCli({"--lang", "en", "voice", "import-bank", nanBank.path(), "--voice-dir", voices.path()});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("oto.ini:1: the WAV file cannot be read"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("oto.ini:2: the WAV file cannot be read"), std::string::npos) << r.err;
    EXPECT_TRUE(fs::is_empty(voices.path()));
}

TEST(HostileBank, HugeOtoFilesAreRefusedAndACancelStopsWithinAFile) {
    English english;
    // 120,000 lines, every one naming its pitch: more than any bank has, refused at once.
    SmallBank bank;
    for (int i = 0; i < 120000; ++i) bank.oto += "か.wav=かC4,40,150,-500,70,20\n";
    bank.writeOto();
    BankImporter importer;
    VoiceProject project;
    BankSummary s;
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_FALSE(importer.read(bank.root.string(), "", project, s));
    EXPECT_NE(translated(importer.lastError()).find("more than 100000 lines"), std::string::npos) << importer.lastError();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(5));

    // One long recording with 3,000 lines of unknown pitch: a cancel during its measuring
    // takes effect within the file.
    test::TempDir dir;
    const fs::path root = fs::path(dir.path()) / "long";
    std::vector<float> x;
    for (int k = 0; k < 40; ++k) {
        const std::vector<float> one = test::syllableSound(test::noteHz(60 + k % 12), 44100, 50, 100, 850);
        x.insert(x.end(), one.begin(), one.end());
    }
    test::writeFile(root / "long.wav", test::wavBytes(x, 44100, 1, WavKind::Pcm16));
    std::string oto;
    for (int i = 0; i < 3000; ++i)
        oto += "long.wav=- か," + std::to_string(30 + (i % 40) * 1000 + i / 40) + ",150,-600,120,40\n";
    test::writeText(root / "oto.ini", oto, false);
    // Measuring all of them takes seconds; the answer "stop" comes at the first report.
    const auto started = std::chrono::steady_clock::now();
    const bool ok = importer.read(root.string(), "", project, s, [&](int, int) { return false; });
    EXPECT_FALSE(ok);
    EXPECT_EQ(importer.lastError(), KANTOR_TEXT("取り消しました。"));
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(2500))
        << "the cancel waited for the whole file";
}

TEST(HostileBank, FailuresNameTheFileAndTheReasonAndAVoiceComesWithItsReadme) {
    English english;
    SmallBank bank;
    bank.writeOto();
    test::writeText(bank.root / "readme.txt", "terms of use\r\n", false);
    BankImporter importer;
    BankSummary s;
    std::string id;

    // A disk that fills up: writes fail with the system's reason (a file size limit stands
    // in for a full disk here).
    test::TempDir voices, out;
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 4096;
    ::setrlimit(RLIMIT_FSIZE, &small);
    const bool voiceOk = importer.importVoice(bank.root.string(), "", voices.path(), id, s);
    const std::string voiceError = importer.lastError();
    const bool projectOk = importer.importProject(bank.root.string(), "", out.file("p.vxbprj"), s);
    const std::string projectError = importer.lastError();
    ::setrlimit(RLIMIT_FSIZE, &old);
    ::signal(SIGXFSZ, SIG_DFL);
    EXPECT_FALSE(voiceOk);
    EXPECT_NE(voiceError.find(voices.path() + "/vxb"), std::string::npos) << voiceError;
    EXPECT_NE(voiceError.find("File too large"), std::string::npos) << voiceError;
    EXPECT_FALSE(projectOk);
    EXPECT_NE(projectError.find(out.file("p.vxbprj")), std::string::npos) << projectError;
    EXPECT_NE(projectError.find("File too large"), std::string::npos) << projectError;
    EXPECT_TRUE(fs::is_empty(voices.path()));
    EXPECT_FALSE(fileExists(out.file("p.vxbprj")));
    EXPECT_FALSE(fileExists(out.file("p.readme.txt")));

    // A voice folder that cannot be written: the folder is a file.
    test::writeText(out.file("not-a-folder"), "x", false);
    EXPECT_FALSE(importer.importVoice(bank.root.string(), "", out.file("not-a-folder"), id, s));
    EXPECT_NE(importer.lastError().find(out.file("not-a-folder")), std::string::npos) << importer.lastError();
    EXPECT_NE(importer.lastError().find("Not a directory"), std::string::npos) << importer.lastError();

    // The voice and its readme take their names together: when the voice cannot take its
    // name, its readme goes too.
    AtomicFile::injectFaultForTesting(AtomicFile::Fault::Sync, 1);
    EXPECT_FALSE(importer.importVoice(bank.root.string(), "", voices.path(), id, s));
    AtomicFile::injectFaultForTesting(AtomicFile::Fault::None);
    EXPECT_TRUE(fs::is_empty(voices.path()));
    ASSERT_TRUE(importer.importVoice(bank.root.string(), "", voices.path(), id, s)) << importer.lastError();
    EXPECT_TRUE(fileExists(voices.file(id + ".vxb")));
    EXPECT_TRUE(fileExists(voices.file(id + ".readme.txt")));
}

TEST(HostileBank, PrintedBankTextIsOneLineWithoutControlBytes) {
    English english;
    EXPECT_EQ(printableBankText("かC4"), "かC4");
    EXPECT_EQ(printableBankText("a\x1b[2Jb\r\nc\x7f"), "a\\x1b[2Jb\\x0d\\x0ac\\x7f");
    EXPECT_EQ(printableBankText("\xc2\x9b" "31m"), "\\xc2\\x9b31m");  // a C1 control (CSI)
    EXPECT_EQ(printableBankText("\xff\xfe" "x"), "\\xff\\xfex");      // not UTF-8
    EXPECT_EQ(printableBankText("\xe3\x81"), "\\xe3\\x81");           // a cut character
    const std::string longName(5000, 'a');
    EXPECT_EQ(printableBankText(longName, 10), "aaaaaaaaaa\xE2\x80\xA6 (5000 bytes)");
}

}  // namespace
}  // namespace kantor
