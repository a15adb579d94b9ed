#include "voice/VoiceFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "base/Codepage.h"
#include "base/FileIO.h"
#include "base/Texts.h"
#include "base/Tuning.h"
#include "sound/SoundFormat.h"

namespace kantor {
namespace {

std::string fieldText(ByteReader& r, std::size_t size) {
    std::span<const uint8_t> v = r.view(size);
    if (v.empty()) return {};
    return cp932FieldToUtf8(v.data(), v.size());
}

// Converts to cp932 and cuts to at most fieldSize - 1 bytes without splitting a
// double-byte character.
std::string cp932ForField(const std::string& utf8, std::size_t fieldSize) {
    std::string s = utf8ToCp932(utf8);
    std::size_t limit = fieldSize - 1, n = 0;
    while (n < s.size()) {
        unsigned char c = static_cast<unsigned char>(s[n]);
        std::size_t len = ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) ? 2 : 1;
        if (n + len > limit) break;
        n += len;
    }
    s.resize(n);
    return s;
}

}  // namespace

std::string trimTrailingBlanks(std::string s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.pop_back();
    return s;
}

VoiceFileHeader readVoiceFileHeader(ByteReader& r) {
    VoiceFileHeader h;
    h.magic = r.fixedText(32);  // compared byte for byte, not converted
    h.voiceName = fieldText(r, 64);
    h.comment = fieldText(r, 64);
    h.comment2 = fieldText(r, 64);
    h.version = r.u16le();
    h.formatCode = r.u16le();
    h.tuning = r.u32le();
    h.sampleCount = r.u32le();
    h.extensionSize = r.u32le();
    r.skip(296);
    return h;
}

void writeVoiceFileHeader(ByteWriter& w, const VoiceFileHeader& h) {
    w.fixedText(h.magic, 32);
    w.fixedText(cp932ForField(h.voiceName, 64), 64);
    w.fixedText(cp932ForField(h.comment, 64), 64);
    w.fixedText(cp932ForField(h.comment2, 64), 64);
    w.u16le(h.version);
    w.u16le(h.formatCode);
    w.u32le(h.tuning);
    w.u32le(h.sampleCount);
    w.u32le(h.extensionSize);
    w.zeros(296);
}

SampleRecord readSampleRecord(ByteReader& r) {
    SampleRecord s;
    s.code = fieldText(r, 12);
    s.kana = fieldText(r, 12);
    s.pitch = r.u32le();
    s.dataSize = r.u32le();
    s.markerB = r.u32le();
    s.markerC = r.u32le();
    s.markerD = r.u32le();
    r.skip(32);
    return s;
}

void writeSampleRecord(ByteWriter& w, const SampleRecord& s) {
    w.fixedText(cp932ForField(s.code, 12), 12);
    w.fixedText(cp932ForField(s.kana, 12), 12);
    w.u32le(s.pitch);
    w.u32le(s.dataSize);
    w.u32le(s.markerB);
    w.u32le(s.markerC);
    w.u32le(s.markerD);
    w.zeros(32);
}

SampleRecord readContextRecord(ByteReader& r) {
    SampleRecord s;
    s.code = fieldText(r, 12);
    s.kana = fieldText(r, 12);
    s.pitch = r.u32le();
    s.dataSize = r.u32le();
    s.markerB = r.u32le();
    s.markerC = r.u32le();
    s.markerD = r.u32le();
    s.after = r.fixedText(8);
    s.kind = r.u8();
    r.skip(3);
    s.overlap = r.u32le();
    r.skip(16);
    return s;
}

void writeContextRecord(ByteWriter& w, const SampleRecord& s) {
    w.fixedText(cp932ForField(s.code, 12), 12);
    w.fixedText(cp932ForField(s.kana, 12), 12);
    w.u32le(s.pitch);
    w.u32le(s.dataSize);
    w.u32le(s.markerB);
    w.u32le(s.markerC);
    w.u32le(s.markerD);
    w.fixedText(s.after.substr(0, 7), 8);
    w.u8(s.kind);
    w.zeros(3);
    w.u32le(s.overlap);
    w.zeros(16);
}

namespace {

// Whether the bytes at the reader start a context area (a plain voice may end in anything).
bool atContextArea(const ByteReader& r) {
    if (r.remaining() < kContextHeaderSize) return false;
    const std::string_view magic(kContextMagic);
    for (std::size_t i = 0; i < 16; ++i) {
        const char want = i < magic.size() ? magic[i] : '\0';
        if (static_cast<char>(r.current()[i]) != want) return false;
    }
    return true;
}

}  // namespace

// Markers count bytes of the sample once converted to 16-bit mono at 44100 Hz: the most
// a marker of `dataSize` stored bytes may be.
static uint64_t markerLimitOf(uint16_t formatCode, uint32_t dataSize) {
    uint32_t packed = kMono16, rate = kRate44100;
    decodeSampleFormatCode(formatCode, packed, rate);
    const uint64_t frameBytes = std::max<uint64_t>(1, uint64_t{formatBits(packed)} / 8 * formatChannels(packed));
    return (uint64_t{dataSize} / frameBytes + 1) * 2 * kRate44100 / std::max<uint32_t>(rate, 1) + 2;
}

bool VoiceFileReader::checkTuning(const VoiceFileHeader& header) {
    if (header.tuning >= kMinTuning && header.tuning <= kMaxTuning) return true;
    return fail(std::string(voicetext::kReadFailed) + "\nthe voice's tuning " + std::to_string(header.tuning) +
                " is out of range");
}

bool VoiceFileReader::checkMarkers(const VoiceFileHeader& header, const SampleRecord& rec) {
    // A marker past the data would make every note of the syllable gigabytes long.
    if (rec.dataSize == 0 || std::max({rec.markerB, rec.markerC, rec.markerD}) <= markerLimitOf(header.formatCode, rec.dataSize))
        return true;
    return fail(std::string(voicetext::kReadFailed) + "\nsample " + rec.code + ": a marker lies past its data");
}

bool VoiceFileReader::readContextArea(ByteReader& r, const VoiceFileHeader& header, Voice* voice, bool copyData,
                                      std::vector<SampleRecord>* records) {
    if (!atContextArea(r)) return true;  // a plain voice
    r.skip(16);
    const uint32_t version = r.u32le();
    const uint32_t count = r.u32le();
    r.skip(8);
    // An area of a later layout is left alone: the voice still sings its plain samples.
    if (!r.ok() || version != kContextVersion) return true;
    for (uint32_t i = 0; i < count; ++i) {
        if (!r.has(kSampleRecordSize)) return fail(std::string(voicetext::kReadFailed) + "\nthe context samples are cut short");
        SampleRecord rec = readContextRecord(r);
        if (!checkMarkers(header, rec)) return false;
        if (rec.dataSize != 0 && !r.has(rec.dataSize))
            return fail(std::string(voicetext::kReadFailed) + "\nthe context samples are cut short");
        std::span<const uint8_t> data = r.view(rec.dataSize);
        // Only the kinds this reader knows, with a sound before them of ASCII letters.
        bool known = (rec.kind == 1 || rec.kind == 2) && !rec.after.empty() && rec.dataSize != 0;
        for (char& c : rec.after) {
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
            known = known && c >= 'a' && c <= 'z';
        }
        if (!known) continue;
        if (records) records->push_back(rec);
        if (!voice) continue;
        auto sample = std::make_unique<VoiceSample>();
        sample->code = std::move(rec.code);
        sample->kana = std::move(rec.kana);
        sample->pitch = rec.pitch;
        sample->markerB = rec.markerB;
        sample->markerC = rec.markerC;
        sample->markerD = rec.markerD;
        sample->kind = static_cast<SampleKind>(rec.kind);
        sample->after = std::move(rec.after);
        sample->overlap = std::min(rec.overlap, rec.markerB);
        if (!copyData) sample->mapped = data;
        else if (!sample->data.assign(data, kSoundSpare)) return fail(text::kOutOfMemory);
        try {
            voice->contextSamples.push_back(std::move(sample));
        } catch (const std::bad_alloc&) {
            return fail(text::kOutOfMemory);
        }
    }
    return true;
}

bool VoiceFileReader::readIndex(const std::string& path, VoiceFileHeader& header, std::vector<SampleRecord>& records,
                                std::vector<SampleRecord>* context) {
    if (context) context->clear();
    clearError();
    records.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return fail(voicetext::kReadFailed);
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return fail(voicetext::kReadFailed);
    const uint64_t size = static_cast<uint64_t>(st.st_size);
    auto readAt = [&](uint64_t offset, uint8_t* to, std::size_t n) {
        std::size_t got = 0;
        while (got < n) {
            const ssize_t r = ::pread(fd, to + got, n - got, static_cast<off_t>(offset + got));
            if (r < 0 && errno == EINTR) continue;
            if (r <= 0) return false;
            got += static_cast<std::size_t>(r);
        }
        return true;
    };
    std::vector<uint8_t> head(kVoiceHeaderSize);
    if (size < kVoiceHeaderSize || !readAt(0, head.data(), head.size())) return fail(voicetext::kReadFailed);
    if (!readHeader(head, header) || !checkTuning(header)) return false;
    uint64_t offset = kVoiceHeaderSize + (header.extensionSize != 0 ? kVoiceExtensionSize : 0);
    if (offset > size) return fail(voicetext::kReadFailed);
    uint8_t buf[kSampleRecordSize];
    // Each record needs its bytes, so a huge count ends with the file.
    for (uint32_t i = 0; i < header.sampleCount; ++i) {
        if (size - offset < kSampleRecordSize || !readAt(offset, buf, sizeof buf)) return fail(voicetext::kReadFailed);
        ByteReader r(buf, sizeof buf);
        SampleRecord rec = readSampleRecord(r);
        offset += kSampleRecordSize;
        if (!checkMarkers(header, rec)) return false;
        if (size - offset < rec.dataSize) return fail(voicetext::kReadFailed);
        offset += rec.dataSize;
        records.push_back(std::move(rec));
    }
    if (context && size - offset >= kContextHeaderSize) {
        // The context records are read like the plain ones, record by record.
        std::vector<uint8_t> area(kContextHeaderSize);
        if (!readAt(offset, area.data(), area.size())) return fail(voicetext::kReadFailed);
        ByteReader ar(area);
        if (!atContextArea(ar)) return true;
        ar.skip(16);
        const uint32_t version = ar.u32le(), count = ar.u32le();
        if (version != kContextVersion) return true;
        offset += kContextHeaderSize;
        for (uint32_t i = 0; i < count; ++i) {
            if (size - offset < kSampleRecordSize || !readAt(offset, buf, sizeof buf)) return fail(voicetext::kReadFailed);
            ByteReader r(buf, sizeof buf);
            SampleRecord rec = readContextRecord(r);
            offset += kSampleRecordSize;
            if (!checkMarkers(header, rec)) return false;
            if (size - offset < rec.dataSize) return fail(voicetext::kReadFailed);
            offset += rec.dataSize;
            if ((rec.kind == 1 || rec.kind == 2) && rec.dataSize != 0) context->push_back(std::move(rec));
        }
    }
    return true;
}

bool VoiceFileReader::readHeader(std::span<const uint8_t> bytes, VoiceFileHeader& header) {
    if (bytes.size() < kVoiceHeaderSize) return fail(voicetext::kReadFailed);
    ByteReader r(bytes.data(), kVoiceHeaderSize);
    header = readVoiceFileHeader(r);
    if (!r.ok()) return fail(voicetext::kReadFailed);
    if (header.magic != kVoiceMagic) return fail(voicetext::kNotVoiceFile);
    if (header.version > kVoiceFileVersion) return fail(voicetext::kUnsupportedVersion);
    return true;
}

std::unique_ptr<Voice> VoiceFileReader::read(std::span<const uint8_t> bytes, const std::string& name,
                                             VoiceFileHeader* headerOut) {
    return parse(bytes, name, headerOut, true);
}

std::unique_ptr<Voice> VoiceFileReader::mapFile(const std::string& path, const std::string& name,
                                                VoiceFileHeader* header) {
    clearError();
    auto file = std::make_shared<MappedFile>();
    const ReadStatus st = file->open(path);
    if (st != ReadStatus::Ok) {
        fail(st == ReadStatus::NotFound ? std::string(voicetext::kReadFailed)
                                        : std::string(voicetext::kReadFailed) + "\n" + path + ": " +
                                              readStatusText(st));
        return nullptr;
    }
    std::unique_ptr<Voice> voice = parse(file->bytes(), name, header, false);
    if (voice) voice->file = std::move(file);
    return voice;
}

std::unique_ptr<Voice> VoiceFileReader::parse(std::span<const uint8_t> bytes, const std::string& name,
                                              VoiceFileHeader* headerOut, bool copyData) {
    clearError();
    VoiceFileHeader header;
    if (!readHeader(bytes, header)) return nullptr;
    ByteReader r(bytes);
    r.skip(kVoiceHeaderSize);
    // Exactly 8 bytes follow whenever the field is not 0, whatever its value.
    if (header.extensionSize != 0 && !r.skip(kVoiceExtensionSize)) {
        fail(voicetext::kReadFailed);
        return nullptr;
    }
    if (!checkTuning(header)) return nullptr;
    auto voice = std::make_unique<Voice>();
    voice->name = trimTrailingBlanks(name);
    voice->formatCode = header.formatCode;
    voice->tuning = header.tuning;
    for (uint32_t i = 0; i < header.sampleCount; ++i) {
        if (!r.has(kSampleRecordSize)) {
            fail(voicetext::kReadFailed);
            return nullptr;
        }
        SampleRecord rec = readSampleRecord(r);
        if (!checkMarkers(header, rec)) return nullptr;
        auto sample = std::make_unique<VoiceSample>();
        sample->code = std::move(rec.code);
        sample->kana = std::move(rec.kana);
        sample->pitch = rec.pitch;
        sample->markerB = rec.markerB;
        sample->markerC = rec.markerC;
        sample->markerD = rec.markerD;
        if (rec.dataSize != 0) {
            // The length is checked before anything is allocated.
            if (!r.has(rec.dataSize)) {
                fail(voicetext::kReadFailed);
                return nullptr;
            }
            if (!copyData) {
                sample->mapped = r.view(rec.dataSize);
            } else if (!sample->data.assign(r.view(rec.dataSize), kSoundSpare)) {
                fail(text::kOutOfMemory);
                return nullptr;
            }
        }
        try {
            voice->samples.push_back(std::move(sample));
        } catch (const std::bad_alloc&) {
            fail(text::kOutOfMemory);
            return nullptr;
        }
    }
    if (!readContextArea(r, header, voice.get(), copyData, nullptr)) return nullptr;
    if (headerOut) *headerOut = std::move(header);
    return voice;
}

std::unique_ptr<Voice> VoiceFileReader::readFile(const std::string& path, const std::string& name,
                                                 VoiceFileHeader* header) {
    clearError();
    std::vector<uint8_t> bytes;
    if (readWholeFile(path, bytes) != ReadStatus::Ok) {
        fail(voicetext::kReadFailed);
        return nullptr;
    }
    return read(bytes, name, header);
}

std::vector<uint8_t> buildVoiceFile(const VoiceFileHeader& header,
                                    const std::vector<std::unique_ptr<VoiceSample>>& samples,
                                    const std::vector<std::unique_ptr<VoiceSample>>& context) {
    ByteWriter w;
    VoiceFileHeader h = header;
    uint32_t count = 0;
    for (const auto& s : samples)
        if (s) ++count;
    h.sampleCount = count;
    writeVoiceFileHeader(w, h);
    if (h.extensionSize != 0) w.zeros(kVoiceExtensionSize);
    for (const auto& s : samples) {
        if (!s) continue;
        SampleRecord rec;
        rec.code = s->code;
        rec.kana = s->kana;
        rec.pitch = s->pitch;
        rec.dataSize = s->dataSize();
        rec.markerB = s->markerB;
        rec.markerC = s->markerC;
        rec.markerD = s->markerD;
        writeSampleRecord(w, rec);
        w.bytes(s->sound());
    }
    uint32_t contextCount = 0;
    for (const auto& s : context)
        if (s && s->kind != SampleKind::Plain && s->hasSound()) ++contextCount;
    if (contextCount != 0) {
        w.fixedText(kContextMagic, 16);
        w.u32le(kContextVersion);
        w.u32le(contextCount);
        w.zeros(8);
        for (const auto& s : context) {
            if (!s || s->kind == SampleKind::Plain || !s->hasSound()) continue;
            SampleRecord rec;
            rec.code = s->code;
            rec.kana = s->kana;
            rec.pitch = s->pitch;
            rec.dataSize = s->dataSize();
            rec.markerB = s->markerB;
            rec.markerC = s->markerC;
            rec.markerD = s->markerD;
            rec.after = s->after;
            rec.kind = static_cast<uint8_t>(s->kind);
            rec.overlap = s->overlap;
            writeContextRecord(w, rec);
            w.bytes(s->sound());
        }
    }
    return std::move(w.buffer());
}

bool VoiceFileWriter::write(const std::string& path, const VoiceFileHeader& header,
                            const std::vector<std::unique_ptr<VoiceSample>>& samples,
                            const std::vector<std::unique_ptr<VoiceSample>>& context) {
    clearError();
    std::vector<uint8_t> bytes;
    try {
        bytes = buildVoiceFile(header, samples, context);
    } catch (const std::bad_alloc&) {
        return fail(text::kOutOfMemory);
    }
    if (!writeFileAtomically(path, bytes)) return fail(voicetext::kCreateFailed);
    return true;
}

}  // namespace kantor
