#pragma once
// The voice data file (.vxb): a 536-byte header, an optional 8-byte extension block,
// then per sample a 76-byte record followed by its data. Integers are little-endian,
// texts cp932 (UTF-8 in memory), zero-terminated inside their fields.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "base/ByteIO.h"
#include "base/LastError.h"
#include "base/Translation.h"
#include "voice/Voice.h"

namespace kantor {

inline constexpr const char* kVoiceMagic = "My Kantorellion Voice Data";
inline constexpr uint16_t kVoiceFileVersion = 202;
inline constexpr std::size_t kVoiceHeaderSize = 536;
inline constexpr std::size_t kVoiceExtensionSize = 8;
inline constexpr std::size_t kSampleRecordSize = 76;

// The context area: samples chosen by the sound before a note (VCV "a か", CVVC endings
// "a k"). It follows the data of the last counted sample record, so a reader of plain
// voices, which reads the counted records and stops, never sees it:
//   area header (32 bytes)  0 magic "Kantor Context" (16, zero-padded)  16 version u32 (1)
//                           20 number of context records u32  24 zero (8)
//   per sample a 76-byte record laid out as a sample record (code, kana, pitch, data size,
//   markers B, C, D), whose last 32 bytes hold:
//                           44 the sound before, ASCII lower case, zero-padded (8)
//                           52 kind u8 (1 = reached from that sound, 2 = ending into the
//                              consonant the code names)  53 zero (3)
//                           56 overlap u32: byte offset from the data start where the
//                              crossfade with the sound before ends  60 zero (16)
//   followed by its data. A voice without context samples has no area at all.
inline constexpr const char* kContextMagic = "Kantor Context";
inline constexpr uint32_t kContextVersion = 1;
inline constexpr std::size_t kContextHeaderSize = 32;

namespace voicetext {
inline constexpr const char* kReadFailed = KANTOR_TEXT("Voice データの読み込みに失敗しました。");
inline constexpr const char* kNotVoiceFile = KANTOR_TEXT("My Kantorellion Voice Dataﾌｧｲﾙではありません。");
inline constexpr const char* kUnsupportedVersion = KANTOR_TEXT("未対応なﾊﾞｰｼﾞｮﾝのVoiceData（Vxbﾌｧｲﾙ）です。");
inline constexpr const char* kCreateFailed = KANTOR_TEXT("VoicdDataの作成に失敗しました。");
}  // namespace voicetext

// Header, offsets 0..535.
struct VoiceFileHeader {
    std::string magic = kVoiceMagic;  // 0, 32 bytes
    std::string voiceName;            // 32, 64 bytes
    std::string comment;              // 96, 64 bytes
    std::string comment2;             // 160, 64 bytes
    uint16_t version = kVoiceFileVersion;  // 224
    uint16_t formatCode = 8;               // 226
    uint32_t tuning = 440000;              // 228
    uint32_t sampleCount = 0;              // 232
    uint32_t extensionSize = 8;            // 236; then 296 zero bytes
};

// Sample record, 76 bytes.
struct SampleRecord {
    std::string code;  // 0, 12 bytes
    std::string kana;  // 12, 12 bytes
    uint32_t pitch = 0;     // 24
    uint32_t dataSize = 0;  // 28
    uint32_t markerB = 0;   // 32
    uint32_t markerC = 0;   // 36
    uint32_t markerD = 0;   // 40; then 32 zero bytes (plain records)
    // Context records only (bytes 44..75).
    std::string after;      // 44, 8 bytes
    uint8_t kind = 0;       // 52
    uint32_t overlap = 0;   // 56
};

// Field readers and writers (reader must hold the whole record; check ok() after).
VoiceFileHeader readVoiceFileHeader(ByteReader& r);
void writeVoiceFileHeader(ByteWriter& w, const VoiceFileHeader& h);
SampleRecord readSampleRecord(ByteReader& r);
void writeSampleRecord(ByteWriter& w, const SampleRecord& s);
SampleRecord readContextRecord(ByteReader& r);
void writeContextRecord(ByteWriter& w, const SampleRecord& s);

// Reads voice files from bytes or from a path. Failures leave one of the voicetext
// messages (or "メモリが不足しています。") in lastError().
class VoiceFileReader : public LastError {
public:
    // Parses and validates a header (magic, then version <= 202).
    bool readHeader(std::span<const uint8_t> bytes, VoiceFileHeader& header);
    // Reads a whole voice; `name` becomes the voice's name (trailing blanks removed).
    // The header is also returned when asked for. nullptr on failure.
    std::unique_ptr<Voice> read(std::span<const uint8_t> bytes, const std::string& name,
                                VoiceFileHeader* header = nullptr);
    std::unique_ptr<Voice> readFile(const std::string& path, const std::string& name,
                                    VoiceFileHeader* header = nullptr);
    // The same checks, but the file is mapped and the samples' data is left in it
    // (VoiceSample::mapped): only the pages of the samples that are used are ever read.
    std::unique_ptr<Voice> mapFile(const std::string& path, const std::string& name,
                                   VoiceFileHeader* header = nullptr);

    // The header and the sample records without their sound, with the same checks; only
    // the bytes of the records are read (info of a large voice reads a few kilobytes).
    // Context records, when asked for, follow in `context`.
    bool readIndex(const std::string& path, VoiceFileHeader& header, std::vector<SampleRecord>& records,
                   std::vector<SampleRecord>* context = nullptr);

private:
    bool checkTuning(const VoiceFileHeader& header);
    bool checkMarkers(const VoiceFileHeader& header, const SampleRecord& rec);
    // The context area after the counted records, when there is one: its samples go to
    // `voice` (when given) and its records to `records` (when given).
    bool readContextArea(ByteReader& r, const VoiceFileHeader& header, Voice* voice, bool copyData,
                         std::vector<SampleRecord>* records);
    std::unique_ptr<Voice> parse(std::span<const uint8_t> bytes, const std::string& name,
                                 VoiceFileHeader* header, bool copyData);
};

// Builds the bytes of a voice file: the header (its sample count replaced by the number
// of samples given; the 8-byte extension block written when extensionSize is not 0),
// then each sample's record and data, then the context area when `context` holds samples.
// Texts are converted to cp932 and cut to fit
// their field at a character boundary.
std::vector<uint8_t> buildVoiceFile(const VoiceFileHeader& header,
                                    const std::vector<std::unique_ptr<VoiceSample>>& samples,
                                    const std::vector<std::unique_ptr<VoiceSample>>& context = {});

class VoiceFileWriter : public LastError {
public:
    // Writes through a temporary file that replaces `path` only once complete; on
    // failure "VoicdDataの作成に失敗しました。" and `path` is left as it was.
    bool write(const std::string& path, const VoiceFileHeader& header,
               const std::vector<std::unique_ptr<VoiceSample>>& samples,
               const std::vector<std::unique_ptr<VoiceSample>>& context = {});
};

// Removes trailing blanks (spaces and tabs), as voice names are compared.
std::string trimTrailingBlanks(std::string s);

}  // namespace kantor
