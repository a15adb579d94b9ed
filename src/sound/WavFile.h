#pragma once
// Reading and writing RIFF/WAVE files with uncompressed PCM, straight from and to bytes
// (no platform RIFF functions). The reader finds the chunks wherever they are, skips
// any others (LIST, fact, ...), honours the pad byte after odd chunk sizes, and checks
// every declared size against the data really present.
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "base/LastError.h"
#include "base/Translation.h"
#include "sound/SoundBuffer.h"
#include "sound/SoundEntry.h"
#include "sound/SoundFormat.h"

namespace kantor {

namespace wavtext {
inline constexpr const char* kOpenFailed = "Failed to open file.";
inline constexpr const char* kNotWave = "Not a waveform-audio file.";
inline constexpr const char* kNoFmt = "Unable to locate 'fmt' chunk.";
inline constexpr const char* kFmtError = "Error reading 'fmt' chunk.";
inline constexpr const char* kNoData = "Unable to locate 'data' chunk.";
inline constexpr const char* kDataError = "Error reading 'data' chunk.";
inline constexpr const char* kPathTooLong = KANTOR_TEXT("Waveﾌｧｲﾙのパス長が128ﾊﾞｲﾄを超えています。");
inline constexpr const char* kWriteFailed = KANTOR_TEXT("WAVEファイルへの書き込みができません。");
inline constexpr const char* kTooLargeForWav = "the sound is longer than a WAV file can hold (4 GB)";
}  // namespace wavtext

// Offsets of the file the writer produces.
inline constexpr std::size_t kWavHeaderSize = 46;   // data starts here
inline constexpr uint32_t kWavFmtChunkSize = 18;

inline constexpr uint16_t kWaveFormatPcm = 1;
inline constexpr uint16_t kWaveFormatExtensible = 0xFFFE;

// What the reader returns from the "fmt " chunk.
struct WaveFormatTriple {
    uint16_t bitsPerSample = 0;  // bytes 14-15
    uint16_t channels = 0;       // bytes 2-3
    uint32_t samplesPerSec = 0;  // bytes 4-7
    // Not part of the triple, for display: the format tag at bytes 0-1, or for
    // WAVE_FORMAT_EXTENSIBLE the tag held in the first two bytes of its sub-format.
    uint16_t formatTag = 0;

    uint32_t packed() const { return packFormat(bitsPerSample, channels); }
};

// A path longer than the file system takes (PATH_MAX - 1 bytes) is refused.
bool wavPathTooLong(const std::string& path);

// Each operation opens, reads and closes the file by itself (or reads the bytes given).
// A walk through the chunks of one level looks at no more than kMaxChunks of them, so a
// file of zeros (a chain of empty chunks) is refused at once, whatever its size.
class WavReader : public LastError {
public:
    static constexpr int kMaxChunks = 1024;

    // Random access to the bytes of a file or of a memory block.
    class Source {
    public:
        virtual ~Source() = default;
        virtual uint64_t size() const = 0;
        // Reads exactly n bytes at offset; false if they are not all there.
        virtual bool readAt(uint64_t offset, uint8_t* dst, std::size_t n) = 0;
    };

    bool readFormat(const std::string& path, WaveFormatTriple& format);
    bool readDataSize(const std::string& path, uint32_t& size);
    // data receives the data chunk: its nominal length is the data size, followed by
    // `spare` zero bytes.
    bool readData(const std::string& path, SoundBuffer& data, std::size_t spare = kSoundSpare);

    bool readFormat(std::span<const uint8_t> bytes, WaveFormatTriple& format);
    bool readDataSize(std::span<const uint8_t> bytes, uint32_t& size);
    bool readData(std::span<const uint8_t> bytes, SoundBuffer& data, std::size_t spare = kSoundSpare);

    bool readFormat(Source& source, WaveFormatTriple& format);
    bool readDataSize(Source& source, uint32_t& size);

private:
    enum class Mode { Format, DataSize, Data };
    struct Request {
        Mode mode;
        WaveFormatTriple* format = nullptr;
        uint32_t* size = nullptr;
        SoundBuffer* data = nullptr;
        std::size_t spare = 0;
    };
    bool readPath(const std::string& path, const Request& request);
    bool readSource(Source& source, const Request& request);
};

// Writes one file whose data is the pieces (in start order) laid out in time: the file
// starts with the first piece's sound, and the gap before each further piece becomes
// silence (0 for 16-bit, 128 for 8-bit data). Pieces without data are skipped. A piece
// that starts before the previous one ends follows it directly, with no gap (so nothing
// is overwritten). The file is replaced only once it is complete: on failure
// "WAVEファイルへの書き込みができません。" and any earlier file stays as it was.
class WavWriter : public LastError {
public:
    bool writeSoundList(const std::string& path, const std::vector<SoundEntry>& pieces, uint32_t packed,
                        uint32_t rate);

    // The same for pieces whose data is fetched one at a time, in order, so that only one
    // piece need be in memory: `data(i)` returns piece i's bytes (exactly byteLength of
    // them) or an empty span on failure (which fails the write).
    struct PieceInfo {
        uint32_t startMs = 0;
        uint32_t durationMs = 0;
        uint32_t byteLength = 0;
    };
    using PieceData = std::function<std::span<const uint8_t>(std::size_t index)>;
    bool writePieces(const std::string& path, const std::vector<PieceInfo>& pieces, const PieceData& data,
                     uint32_t packed, uint32_t rate);
};

// The 46 bytes before the data of a written file.
std::vector<uint8_t> wavHeader(uint32_t packed, uint32_t rate, uint32_t dataLength);

// Copies one channel (0 or 1) of interleaved stereo into dst (resized to what it holds):
// for 16-bit stereo 2 bytes out of every 4, from byte 0 or 2. Returns the bytes per
// mono sample; 0 (and an empty dst) when the channel is not in the format or the
// format has no whole bytes per sample. An incomplete last frame is left out.
int splitChannel(uint32_t packed, uint32_t rate, int channel, std::span<const uint8_t> src,
                 std::vector<uint8_t>& dst);

}  // namespace kantor
