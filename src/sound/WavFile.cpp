#include "sound/WavFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

#include "base/ByteIO.h"
#include "base/FileIO.h"
#include "base/Texts.h"

namespace kantor {

namespace {

class MemorySource : public WavReader::Source {
public:
    explicit MemorySource(std::span<const uint8_t> bytes) : bytes_(bytes) {}
    uint64_t size() const override { return bytes_.size(); }
    bool readAt(uint64_t offset, uint8_t* dst, std::size_t n) override {
        if (offset > bytes_.size() || n > bytes_.size() - offset) return false;
        if (n) std::memcpy(dst, bytes_.data() + offset, n);
        return true;
    }

private:
    std::span<const uint8_t> bytes_;
};

class FileSource : public WavReader::Source {
public:
    explicit FileSource(const std::string& path) {
        // Never blocks: a named pipe is opened without waiting for a writer, then refused.
        fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd_ < 0) why_ = std::strerror(errno);
        struct stat st {};
        if (fd_ >= 0 && (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode))) {
            why_ = S_ISDIR(st.st_mode) ? "a folder, not a file" : "not a regular file";
            ::close(fd_);
            fd_ = -1;
        }
        if (fd_ >= 0) size_ = static_cast<uint64_t>(st.st_size);
    }
    ~FileSource() override {
        if (fd_ >= 0) ::close(fd_);
    }
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;
    bool isOpen() const { return fd_ >= 0; }
    // Why it did not open.
    const std::string& why() const { return why_; }
    uint64_t size() const override { return size_; }
    bool readAt(uint64_t offset, uint8_t* dst, std::size_t n) override {
        if (offset > size_ || n > size_ - offset) return false;
        std::size_t got = 0;
        while (got < n) {
            ssize_t r = ::pread(fd_, dst + got, n - got, static_cast<off_t>(offset + got));
            if (r < 0 && errno == EINTR) continue;
            if (r <= 0) return false;
            got += static_cast<std::size_t>(r);
        }
        return true;
    }

private:
    int fd_ = -1;
    uint64_t size_ = 0;
    std::string why_;
};

struct Chunk {
    uint64_t offset = 0;  // of the chunk's data
    uint32_t size = 0;    // declared
};

// Looks for a chunk with this id among the chunks in [from, end).
bool findChunk(WavReader::Source& s, const char* id, uint64_t from, uint64_t end, Chunk& out) {
    uint64_t off = from;
    uint8_t h[8];
    for (int seen = 0; seen < WavReader::kMaxChunks && off + 8 <= end; ++seen) {
        if (!s.readAt(off, h, 8)) return false;
        uint32_t size = loadLE32(h + 4);
        if (std::memcmp(h, id, 4) == 0) {
            out.offset = off + 8;
            out.size = size;
            return true;
        }
        off += 8 + uint64_t{size} + (size & 1u);  // odd sizes are followed by a pad byte
    }
    return false;
}

}  // namespace

bool wavPathTooLong(const std::string& path) { return path.size() > static_cast<std::size_t>(PATH_MAX - 1); }

bool WavReader::readPath(const std::string& path, const Request& request) {
    clearError();
    if (wavPathTooLong(path)) return fail(wavtext::kPathTooLong);
    if (path.find('\0') != std::string::npos) return fail(std::string(wavtext::kOpenFailed) + "\nthe path holds a zero byte");
    FileSource source(path);
    // The file and the reason on a second line.
    if (!source.isOpen()) return fail(std::string(wavtext::kOpenFailed) + "\n" + path + ": " + source.why());
    return readSource(source, request);
}

bool WavReader::readSource(Source& s, const Request& request) {
    clearError();
    const uint64_t fileSize = s.size();
    // The RIFF chunk of form WAVE, searched among the top-level chunks.
    uint64_t off = 0, riffStart = 0, riffEnd = 0;
    bool found = false;
    uint8_t h[12];
    for (int seen = 0; seen < kMaxChunks && off + 12 <= fileSize; ++seen) {
        if (!s.readAt(off, h, 12)) break;
        uint32_t size = loadLE32(h + 4);
        if (std::memcmp(h, "RIFF", 4) == 0 && std::memcmp(h + 8, "WAVE", 4) == 0) {
            riffStart = off + 12;
            riffEnd = std::min<uint64_t>(off + 8 + std::max<uint32_t>(size, 4), fileSize);
            found = true;
            break;
        }
        off += 8 + uint64_t{size} + (size & 1u);
    }
    if (!found) return fail(wavtext::kNotWave);

    Chunk fmt;
    if (!findChunk(s, "fmt ", riffStart, riffEnd, fmt)) return fail(wavtext::kNoFmt);
    // The whole declared chunk must be there, and hold at least the PCM fields.
    if (fmt.size < 16 || fmt.offset + fmt.size > fileSize) return fail(wavtext::kFmtError);
    uint8_t f[40] = {};
    std::size_t fmtRead = std::min<std::size_t>(fmt.size, sizeof f);
    if (!s.readAt(fmt.offset, f, fmtRead)) return fail(wavtext::kFmtError);
    if (request.mode == Mode::Format) {
        WaveFormatTriple& t = *request.format;
        t.formatTag = loadLE16(f);
        t.channels = loadLE16(f + 2);
        t.samplesPerSec = loadLE32(f + 4);
        t.bitsPerSample = loadLE16(f + 14);
        if (t.formatTag == kWaveFormatExtensible && fmtRead >= 40) t.formatTag = loadLE16(f + 24);
        return true;
    }

    Chunk data;
    if (!findChunk(s, "data", riffStart, riffEnd, data)) return fail(wavtext::kNoData);
    // A declared size running past the end of the file is refused, not read past.
    if (data.offset + data.size > fileSize) return fail(wavtext::kDataError);
    if (request.mode == Mode::DataSize) {
        *request.size = data.size;
        return true;
    }
    SoundBuffer buffer;
    if (!buffer.allocate(data.size, request.spare)) return fail(text::kOutOfMemory);
    if (!s.readAt(data.offset, buffer.data(), data.size)) return fail(wavtext::kDataError);
    *request.data = std::move(buffer);
    return true;
}

bool WavReader::readFormat(const std::string& path, WaveFormatTriple& format) {
    return readPath(path, {Mode::Format, &format});
}
bool WavReader::readDataSize(const std::string& path, uint32_t& size) {
    return readPath(path, {Mode::DataSize, nullptr, &size});
}
bool WavReader::readData(const std::string& path, SoundBuffer& data, std::size_t spare) {
    return readPath(path, {Mode::Data, nullptr, nullptr, &data, spare});
}
bool WavReader::readFormat(Source& source, WaveFormatTriple& format) {
    return readSource(source, {Mode::Format, &format});
}
bool WavReader::readDataSize(Source& source, uint32_t& size) {
    return readSource(source, {Mode::DataSize, nullptr, &size});
}
bool WavReader::readFormat(std::span<const uint8_t> bytes, WaveFormatTriple& format) {
    MemorySource s(bytes);
    return readSource(s, {Mode::Format, &format});
}
bool WavReader::readDataSize(std::span<const uint8_t> bytes, uint32_t& size) {
    MemorySource s(bytes);
    return readSource(s, {Mode::DataSize, nullptr, &size});
}
bool WavReader::readData(std::span<const uint8_t> bytes, SoundBuffer& data, std::size_t spare) {
    MemorySource s(bytes);
    return readSource(s, {Mode::Data, nullptr, nullptr, &data, spare});
}

std::vector<uint8_t> wavHeader(uint32_t packed, uint32_t rate, uint32_t dataLength) {
    WaveFormatRecord f = makeWaveFormat(packed, rate);
    ByteWriter w;
    w.bytes("RIFF", 4);
    w.u32le(static_cast<uint32_t>(38u + uint64_t{dataLength} + (dataLength & 1u)));
    w.bytes("WAVE", 4);
    w.bytes("fmt ", 4);
    w.u32le(kWavFmtChunkSize);
    w.u16le(f.formatTag);
    w.u16le(f.channels);
    w.u32le(f.samplesPerSec);
    w.u32le(f.avgBytesPerSec);
    w.u16le(f.blockAlign);
    w.u16le(f.bitsPerSample);
    w.u16le(f.extraSize);
    w.bytes("data", 4);
    w.u32le(dataLength);
    return std::move(w.buffer());
}

namespace {

// Collects output in a 128 KiB block and hands full blocks to the file.
class BlockWriter {
public:
    explicit BlockWriter(AtomicFile& file) : file_(file) { block_.reserve(kBlock); }
    bool put(const uint8_t* p, std::size_t n) {
        while (n) {
            std::size_t take = std::min(n, kBlock - block_.size());
            block_.insert(block_.end(), p, p + take);
            p += take;
            n -= take;
            if (block_.size() == kBlock && !flush()) return false;
        }
        return true;
    }
    bool fill(uint8_t value, uint64_t n) {
        while (n) {
            std::size_t take = static_cast<std::size_t>(std::min<uint64_t>(n, kBlock - block_.size()));
            block_.insert(block_.end(), take, value);
            n -= take;
            if (block_.size() == kBlock && !flush()) return false;
        }
        return true;
    }
    bool flush() {
        bool ok = block_.empty() || file_.write(block_);
        block_.clear();
        return ok;
    }

private:
    static constexpr std::size_t kBlock = 0x20000;
    AtomicFile& file_;
    std::vector<uint8_t> block_;
};

}  // namespace

bool WavWriter::writeSoundList(const std::string& path, const std::vector<SoundEntry>& pieces, uint32_t packed,
                               uint32_t rate) {
    std::vector<PieceInfo> infos;
    std::vector<const SoundEntry*> withData;
    try {
        for (const SoundEntry& p : pieces) {
            if (!p.hasData()) continue;
            infos.push_back({p.startMs, p.durationMs, p.byteLength()});
            withData.push_back(&p);
        }
    } catch (const std::bad_alloc&) {
        clearError();
        return fail(text::kOutOfMemory);
    }
    return writePieces(
        path, infos,
        [&](std::size_t i) { return std::span<const uint8_t>(withData[i]->data.data(), withData[i]->byteLength()); },
        packed, rate);
}

bool WavWriter::writePieces(const std::string& path, const std::vector<PieceInfo>& pieces, const PieceData& data,
                            uint32_t packed, uint32_t rate) {
    clearError();
    if (wavPathTooLong(path)) return fail(wavtext::kPathTooLong);
    // Lay the pieces out first, so that the header is written with its final sizes.
    std::vector<uint64_t> silences;
    uint64_t dataLength = 0;
    uint32_t runningEnd = 0;
    bool first = true;
    try {
        silences.reserve(pieces.size());
        for (const PieceInfo& p : pieces) {
            if (first) runningEnd = p.startMs;
            first = false;
            uint32_t gap = p.startMs > runningEnd ? p.startMs - runningEnd : 0;
            uint64_t silence = bytesForMilliseconds(packed, rate, gap);
            silences.push_back(silence);
            dataLength += silence + p.byteLength;
            uint64_t end = uint64_t{std::max(runningEnd, p.startMs)} + p.durationMs;
            runningEnd = static_cast<uint32_t>(std::min<uint64_t>(end, UINT32_MAX));
        }
    } catch (const std::bad_alloc&) {
        return fail(text::kOutOfMemory);
    }
    // RIFF sizes are 32 bits: checked before the file is touched.
    if (dataLength > UINT32_MAX - 38u - 1u) return fail(std::string(wavtext::kWriteFailed) + "\n" + wavtext::kTooLargeForWav);
    const uint8_t silenceByte = formatBits(packed) == 8 ? 128 : 0;

    AtomicFile file(path);
    if (!file.isOpen()) return fail(std::string(wavtext::kWriteFailed) + "\n" + file.error());
    BlockWriter out(file);
    std::vector<uint8_t> header = wavHeader(packed, rate, static_cast<uint32_t>(dataLength));
    bool ok = out.put(header.data(), header.size());
    for (std::size_t i = 0; ok && i < pieces.size(); ++i) {
        ok = out.fill(silenceByte, silences[i]);
        if (!ok || pieces[i].byteLength == 0) continue;
        const std::span<const uint8_t> bytes = data(i);
        ok = bytes.size() == pieces[i].byteLength && out.put(bytes.data(), bytes.size());
    }
    if (ok && (dataLength & 1u)) {
        uint8_t pad = 0;
        ok = out.put(&pad, 1);
    }
    ok = ok && out.flush() && file.commit();
    if (!ok) {
        return fail(std::string(wavtext::kWriteFailed) + (file.error().empty() ? "" : "\n" + file.error()));
    }
    return true;
}

int splitChannel(uint32_t packed, uint32_t, int channel, std::span<const uint8_t> src, std::vector<uint8_t>& dst) {
    dst.clear();
    const std::size_t bytesPerSample = formatBits(packed) / 8u;
    const std::size_t channels = formatChannels(packed);
    if (bytesPerSample == 0 || channel < 0 || static_cast<std::size_t>(channel) >= channels) return 0;
    const std::size_t frame = bytesPerSample * channels;
    const std::size_t frames = src.size() / frame;
    dst.resize(frames * bytesPerSample);
    const std::size_t at = static_cast<std::size_t>(channel) * bytesPerSample;
    for (std::size_t i = 0; i < frames; ++i)
        std::memcpy(dst.data() + i * bytesPerSample, src.data() + i * frame + at, bytesPerSample);
    return static_cast<int>(bytesPerSample);
}

}  // namespace kantor
