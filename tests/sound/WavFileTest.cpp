#include <gtest/gtest.h>

#include <sys/stat.h>

#include <climits>
#include <fstream>

#include "sound/WavFile.h"
#include "base/ByteIO.h"
#include "base/FileIO.h"
#include "voice/VoiceTestFiles.h"

namespace kantor {
namespace {

// Builds RIFF files chunk by chunk, the way various writers lay them out.
struct RiffBuilder {
    ByteWriter w;
    RiffBuilder(const char* form = "WAVE") {
        w.bytes("RIFF", 4);
        w.u32le(0);
        w.bytes(form, 4);
    }
    RiffBuilder& chunk(const char* id, const std::vector<uint8_t>& body, bool pad = true) {
        w.bytes(id, 4);
        w.u32le(static_cast<uint32_t>(body.size()));
        w.bytes(body.data(), body.size());
        if (pad && (body.size() & 1)) w.u8(0);
        return *this;
    }
    std::vector<uint8_t> done() {
        w.patchU32le(4, static_cast<uint32_t>(w.size() - 8));
        return w.buffer();
    }
};

std::vector<uint8_t> fmtBody(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, std::size_t size) {
    ByteWriter w;
    w.u16le(tag);
    w.u16le(channels);
    w.u32le(rate);
    w.u32le(rate * channels * bits / 8);
    w.u16le(static_cast<uint16_t>(channels * bits / 8));
    w.u16le(bits);
    if (size >= 18) w.u16le(static_cast<uint16_t>(size - 18));
    if (size == 40) {
        w.u16le(bits);      // valid bits
        w.u32le(4);         // channel mask
        w.u16le(1);         // sub-format: PCM GUID 00000001-0000-0010-8000-00aa00389b71
        w.bytes("\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 14);
    }
    return w.buffer();
}

const std::vector<uint8_t> kData = {1, 2, 3, 4, 5, 6};

TEST(WavReader, ReadsWhatRealWritersProduce) {
    std::vector<uint8_t> list = {'I', 'N', 'F', 'O', 'I', 'S', 'F', 'T', 14, 0, 0, 0};
    for (char c : std::string("Lavf59.27.100")) list.push_back(static_cast<uint8_t>(c));
    list.push_back(0);
    struct Case {
        const char* name;
        std::vector<uint8_t> file;
    } cases[] = {
        {"fmt 16", RiffBuilder().chunk("fmt ", fmtBody(1, 1, 44100, 16, 16)).chunk("data", kData).done()},
        {"fmt 18", RiffBuilder().chunk("fmt ", fmtBody(1, 1, 44100, 16, 18)).chunk("data", kData).done()},
        {"LIST before data", RiffBuilder().chunk("fmt ", fmtBody(1, 1, 44100, 16, 16)).chunk("LIST", list).chunk("data", kData).done()},
        {"extensible + fact", RiffBuilder().chunk("fmt ", fmtBody(kWaveFormatExtensible, 1, 44100, 16, 40)).chunk("fact", {3, 0, 0, 0}).chunk("data", kData).done()},
        {"odd chunk before fmt, chunks after data",
         RiffBuilder().chunk("junk", {1, 2, 3}).chunk("fmt ", fmtBody(1, 1, 44100, 16, 16)).chunk("data", kData).chunk("id3 ", {9, 9, 9}).chunk("LIST", list).done()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WavReader r;
        WaveFormatTriple t;
        ASSERT_TRUE(r.readFormat(c.file, t)) << r.lastError();
        EXPECT_EQ(t.channels, 1);
        EXPECT_EQ(t.samplesPerSec, 44100u);
        EXPECT_EQ(t.bitsPerSample, 16);
        EXPECT_EQ(t.formatTag, kWaveFormatPcm);
        uint32_t size = 0;
        ASSERT_TRUE(r.readDataSize(c.file, size)) << r.lastError();
        EXPECT_EQ(size, 6u);
        SoundBuffer data;
        ASSERT_TRUE(r.readData(c.file, data)) << r.lastError();
        EXPECT_EQ(std::vector<uint8_t>(data.bytes().begin(), data.bytes().end()), kData);
        EXPECT_EQ(data.capacity(), 6u + 1000u);
    }
    // An odd data chunk at the very end of the file, without its pad byte.
    std::vector<uint8_t> odd = RiffBuilder().chunk("fmt ", fmtBody(1, 1, 8000, 8, 16)).chunk("data", {7, 8, 9}, false).done();
    WavReader r;
    SoundBuffer data;
    ASSERT_TRUE(r.readData(odd, data));
    EXPECT_EQ(data.byteLength(), 3u);
}

TEST(WavReader, ReportsEachFault) {
    auto expectError = [](const std::vector<uint8_t>& file, const char* message) {
        WavReader r;
        SoundBuffer data;
        EXPECT_FALSE(r.readData(file, data));
        EXPECT_EQ(r.lastError(), message);
        EXPECT_FALSE(data.hasData());
    };
    expectError({}, "Not a waveform-audio file.");
    expectError(RiffBuilder("AVI ").chunk("fmt ", fmtBody(1, 1, 44100, 16, 16)).chunk("data", kData).done(),
                "Not a waveform-audio file.");
    expectError(RiffBuilder().chunk("data", kData).done(), "Unable to locate 'fmt' chunk.");
    expectError(RiffBuilder().chunk("fmt ", fmtBody(1, 1, 44100, 16, 16)).done(), "Unable to locate 'data' chunk.");
    expectError(RiffBuilder().chunk("fmt ", {1, 0, 1, 0}).chunk("data", kData).done(), "Error reading 'fmt' chunk.");
    // Declared sizes running past the end of the file.
    std::vector<uint8_t> f = RiffBuilder().chunk("fmt ", fmtBody(1, 1, 44100, 16, 16)).chunk("data", kData).done();
    std::vector<uint8_t> cut(f.begin(), f.end() - 1);
    expectError(cut, "Error reading 'data' chunk.");
    std::vector<uint8_t> huge = f;
    storeLE32(&huge[40], 0xFFFFFFFF);
    expectError(huge, "Error reading 'data' chunk.");
    WavReader r;
    uint32_t size = 0;
    EXPECT_FALSE(r.readDataSize(huge, size));
    EXPECT_EQ(r.lastError(), "Error reading 'data' chunk.");
    std::vector<uint8_t> fmtCut(f.begin(), f.begin() + 30);
    expectError(fmtCut, "Error reading 'fmt' chunk.");
    // A RIFF size larger than the file is clamped to the file.
    std::vector<uint8_t> bigRiff = f;
    storeLE32(&bigRiff[4], 0xFFFFFFF0);
    SoundBuffer data;
    EXPECT_TRUE(r.readData(bigRiff, data));
}

// A gigabyte of zeros, alone or after a RIFF header: each is a chain of empty chunks, and
// the walk stops after a bounded number of them instead of stepping through the whole file.
TEST(WavReader, AGigabyteOfEmptyChunksIsRefusedAfterFewReads) {
    struct Zeros : WavReader::Source {
        std::vector<uint8_t> head;
        uint64_t reads = 0;
        uint64_t size() const override { return 1ull << 30; }
        bool readAt(uint64_t offset, uint8_t* dst, std::size_t n) override {
            // A walk that would go on for ever is cut short, so that the test ends either way.
            if (++reads > 100000 || offset + n > size()) return false;
            for (std::size_t i = 0; i < n; ++i) dst[i] = offset + i < head.size() ? head[offset + i] : 0;
            return true;
        }
    };
    Zeros zeros;
    WavReader r;
    WaveFormatTriple format;
    EXPECT_FALSE(r.readFormat(zeros, format));
    EXPECT_EQ(r.lastError(), "Not a waveform-audio file.");
    EXPECT_LE(zeros.reads, uint64_t(WavReader::kMaxChunks));

    Zeros riff;
    ByteWriter w;
    w.bytes("RIFF", 4);
    w.u32le(0xFFFFFFF0u);
    w.bytes("WAVE", 4);
    riff.head = w.buffer();
    uint32_t size = 0;
    EXPECT_FALSE(r.readDataSize(riff, size));
    EXPECT_EQ(r.lastError(), "Unable to locate 'fmt' chunk.");
    EXPECT_LE(riff.reads, uint64_t(WavReader::kMaxChunks) + 1);

    // Real files keep far fewer chunks than the bound before their data.
    RiffBuilder many;
    many.chunk("fmt ", fmtBody(1, 1, 44100, 16, 16));
    for (int i = 0; i < 100; ++i) many.chunk("LIST", {1, 2, 3});
    EXPECT_TRUE(r.readDataSize(many.chunk("data", kData).done(), size));
    EXPECT_EQ(size, kData.size());
}

TEST(WavReader, OpensFilesAndTakesLongPaths) {
    testing::TempDir dir;
    WavReader r;
    WaveFormatTriple t;
    // The text, then the file and the reason.
    EXPECT_FALSE(r.readFormat(dir.file("missing.wav"), t));
    EXPECT_EQ(r.lastError(), "Failed to open file.\n" + dir.file("missing.wav") + ": No such file or directory");
    EXPECT_FALSE(r.readFormat(dir.path(), t));  // a folder
    EXPECT_EQ(r.lastError(), "Failed to open file.\n" + dir.path() + ": a folder, not a file");

    // A path far beyond 128 bytes is fine; only one the file system cannot take is refused.
    std::string deep = dir.path();
    while (deep.size() < 300) {
        deep += "/" + std::string(40, 'd');
        ASSERT_EQ(::mkdir(deep.c_str(), 0700), 0);
    }
    std::string path = deep + "/file.wav";
    std::vector<uint8_t> f = RiffBuilder().chunk("fmt ", fmtBody(1, 2, 22050, 16, 18)).chunk("data", kData).done();
    ASSERT_TRUE(writeFileAtomically(path, f));
    ASSERT_TRUE(r.readFormat(path, t)) << r.lastError();
    EXPECT_EQ(t.channels, 2);
    std::string tooLong(PATH_MAX, 'x');
    EXPECT_FALSE(r.readFormat(tooLong, t));
    EXPECT_EQ(r.lastError(), "Waveﾌｧｲﾙのパス長が128ﾊﾞｲﾄを超えています。");
    EXPECT_FALSE(r.readFormat(std::string(PATH_MAX - 1, 'x'), t));
    EXPECT_TRUE(r.lastError().starts_with("Failed to open file.\n"));  // accepted by the length check
}

SoundEntry piece(std::vector<int16_t> samples, uint32_t start, uint32_t duration) {
    SoundEntry e;
    e.data = SoundBuffer::fromSamples(samples);
    e.startMs = start;
    e.durationMs = duration;
    return e;
}

TEST(WavWriter, LaysPiecesOutInTime) {
    testing::TempDir dir;
    std::string path = dir.file("out.wav");
    std::vector<SoundEntry> pieces;
    pieces.push_back(piece(std::vector<int16_t>(4410, 100), 0, 100));
    pieces.push_back(SoundEntry{});  // no data: skipped
    pieces.back().startMs = 120;
    pieces.push_back(piece({-1, -2, -3}, 250, 1));
    WavWriter w;
    ASSERT_TRUE(w.writeSoundList(path, pieces, kMono16, 44100)) << w.lastError();
    std::vector<uint8_t> f;
    ASSERT_EQ(readWholeFile(path, f), ReadStatus::Ok);
    const uint32_t dataLength = 8820 + 13230 + 6;
    ASSERT_EQ(f.size(), 46u + dataLength);
    EXPECT_EQ(std::string(f.begin(), f.begin() + 4), "RIFF");
    EXPECT_EQ(loadLE32(&f[4]), f.size() - 8);
    EXPECT_EQ(std::string(f.begin() + 8, f.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(loadLE32(&f[16]), 18u);
    EXPECT_EQ(loadLE16(&f[20]), 1);
    EXPECT_EQ(loadLE16(&f[22]), 1);
    EXPECT_EQ(loadLE32(&f[24]), 44100u);
    EXPECT_EQ(loadLE32(&f[28]), 88200u);
    EXPECT_EQ(loadLE16(&f[32]), 2);
    EXPECT_EQ(loadLE16(&f[34]), 16);
    EXPECT_EQ(loadLE16(&f[36]), 0);
    EXPECT_EQ(std::string(f.begin() + 38, f.begin() + 42), "data");
    EXPECT_EQ(loadLE32(&f[42]), dataLength);
    EXPECT_EQ(loadLE16(&f[46 + 8818]), 100);
    for (std::size_t i = 46 + 8820; i < 46 + 8820 + 13230; ++i) ASSERT_EQ(f[i], 0) << i;  // 150 ms of silence
    EXPECT_EQ(static_cast<int16_t>(loadLE16(&f[46 + 8820 + 13230])), -1);

    // The reader reads it back.
    WavReader r;
    SoundBuffer data;
    ASSERT_TRUE(r.readData(path, data));
    EXPECT_EQ(data.byteLength(), dataLength);
}

TEST(WavWriter, StartsWithTheFirstPieceAndPadsOddData) {
    testing::TempDir dir;
    std::string path = dir.file("one.wav");
    std::vector<SoundEntry> pieces;
    pieces.push_back(piece({5, 6}, 5000, 1));
    WavWriter w;
    ASSERT_TRUE(w.writeSoundList(path, pieces, kMono16, 44100));
    std::vector<uint8_t> f;
    ASSERT_EQ(readWholeFile(path, f), ReadStatus::Ok);
    EXPECT_EQ(f.size(), 46u + 4u);
    EXPECT_EQ(loadLE16(&f[46]), 5);

    // 8-bit data: silence is 128, and an odd data length gets a pad byte after it.
    std::vector<SoundEntry> bytes(2);
    bytes[0].data.assign(std::vector<uint8_t>{10});
    bytes[0].startMs = 0;
    bytes[0].durationMs = 0;
    bytes[1].data.assign(std::vector<uint8_t>{20, 30});
    bytes[1].startMs = 1;
    ASSERT_TRUE(w.writeSoundList(path, bytes, packFormat(8, 1), 11025));
    ASSERT_EQ(readWholeFile(path, f), ReadStatus::Ok);
    // 1 ms at 11025 bytes/s = 11 bytes of silence; data 1 + 11 + 2 = 14 bytes: even.
    EXPECT_EQ(loadLE32(&f[42]), 14u);
    EXPECT_EQ(f[47], 128);
    EXPECT_EQ(f[57], 128);
    EXPECT_EQ(f[58], 20);
    bytes[1].data.assign(std::vector<uint8_t>{20});
    ASSERT_TRUE(w.writeSoundList(path, bytes, packFormat(8, 1), 11025));
    ASSERT_EQ(readWholeFile(path, f), ReadStatus::Ok);
    EXPECT_EQ(loadLE32(&f[42]), 13u);
    EXPECT_EQ(f.size(), 46u + 14u);
    EXPECT_EQ(loadLE32(&f[4]), f.size() - 8);
}

TEST(WavWriter, OverlappingPiecesFollowEachOther) {
    testing::TempDir dir;
    std::string path = dir.file("overlap.wav");
    std::vector<SoundEntry> pieces;
    pieces.push_back(piece(std::vector<int16_t>(441, 1), 0, 10));
    pieces.push_back(piece(std::vector<int16_t>(441, 2), 5, 10));   // starts 5 ms early: no gap
    pieces.push_back(piece(std::vector<int16_t>(441, 3), 30, 10));  // 10 ms after the second one's end
    WavWriter w;
    ASSERT_TRUE(w.writeSoundList(path, pieces, kMono16, 44100));
    WavReader r;
    SoundBuffer data;
    ASSERT_TRUE(r.readData(path, data));
    ASSERT_EQ(data.sampleCount(), 441u * 3 + 441u);
    EXPECT_EQ(data.sample(440), 1);
    EXPECT_EQ(data.sample(441), 2);  // nothing overwritten
    EXPECT_EQ(data.sample(881), 2);
    EXPECT_EQ(data.sample(882), 0);
    EXPECT_EQ(data.sample(882 + 440), 0);
    EXPECT_EQ(data.sample(882 + 441), 3);
}

TEST(WavWriter, FailsWithoutHarmingAnEarlierFile) {
    testing::TempDir dir;
    WavWriter w;
    std::vector<SoundEntry> pieces;
    pieces.push_back(piece({1}, 0, 1));
    EXPECT_FALSE(w.writeSoundList(dir.file("no/such/dir.wav"), pieces, kMono16, 44100));
    // The text, then why.
    EXPECT_EQ(w.lastError().rfind("WAVEファイルへの書き込みができません。\n", 0), 0u) << w.lastError();
    EXPECT_NE(w.lastError().find("no such file"), std::string::npos) << w.lastError();
    EXPECT_FALSE(w.writeSoundList(std::string(PATH_MAX, 'y'), pieces, kMono16, 44100));
    EXPECT_EQ(w.lastError(), "Waveﾌｧｲﾙのパス長が128ﾊﾞｲﾄを超えています。");
    std::string path = dir.file("keep.wav");
    ASSERT_TRUE(w.writeSoundList(path, pieces, kMono16, 44100));
    AtomicFile::injectFaultForTesting(AtomicFile::Fault::Write);
    std::vector<SoundEntry> other;
    other.push_back(piece({1, 2, 3, 4}, 0, 1));
    EXPECT_FALSE(w.writeSoundList(path, other, kMono16, 44100));
    EXPECT_EQ(w.lastError().rfind("WAVEファイルへの書き込みができません。", 0), 0u) << w.lastError();
    WavReader r;
    uint32_t size = 0;
    ASSERT_TRUE(r.readDataSize(path, size));
    EXPECT_EQ(size, 2u);
}

TEST(SplitChannel, TakesOneChannelOfStereo) {
    std::vector<uint8_t> src = {1, 2, 3, 4, 5, 6, 7, 8, 9};  // two 16-bit frames and a stray byte
    std::vector<uint8_t> dst;
    EXPECT_EQ(splitChannel(packFormat(16, 2), 44100, 0, src, dst), 2);
    EXPECT_EQ(dst, (std::vector<uint8_t>{1, 2, 5, 6}));
    EXPECT_EQ(splitChannel(packFormat(16, 2), 44100, 1, src, dst), 2);
    EXPECT_EQ(dst, (std::vector<uint8_t>{3, 4, 7, 8}));
    EXPECT_EQ(splitChannel(packFormat(8, 2), 44100, 1, src, dst), 1);
    EXPECT_EQ(dst, (std::vector<uint8_t>{2, 4, 6, 8}));
    EXPECT_EQ(splitChannel(packFormat(16, 1), 44100, 1, src, dst), 0);
    EXPECT_TRUE(dst.empty());
    EXPECT_EQ(splitChannel(packFormat(4, 2), 44100, 0, src, dst), 0);
}

}  // namespace
}  // namespace kantor
