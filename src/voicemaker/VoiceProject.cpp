#include "voicemaker/VoiceProject.h"

#include <cstdio>

#include "base/Codepage.h"
#include "base/FileIO.h"
#include "base/Texts.h"
#include "voicemaker/MakerTexts.h"

namespace kantor {
namespace {

// A field holds at most size - 1 bytes of text and its zero; a field without the zero
// is cut there too, as the writer would cut it.
std::string fieldText(ByteReader& r, std::size_t size) {
    std::span<const uint8_t> v = r.view(size);
    if (v.empty()) return {};
    return cp932FieldToUtf8(v.data(), v.size() - 1);
}

// cp932 cut to fieldSize - 1 bytes without splitting a double-byte character.
void writeField(ByteWriter& w, const std::string& utf8, std::size_t fieldSize) {
    std::string s = utf8ToCp932(utf8);
    std::size_t n = 0;
    while (n < s.size()) {
        unsigned char c = static_cast<unsigned char>(s[n]);
        std::size_t len = ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) ? 2 : 1;
        if (n + len > fieldSize - 1) break;
        n += len;
    }
    s.resize(n);
    w.fixedText(s, fieldSize);
}

std::string trimTrailingWhite(std::string s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
        s.pop_back();
    return s;
}

// The context area after the counted items, when there is one.
bool readContextItems(ByteReader& r, std::vector<std::unique_ptr<VoiceItem>>& out) {
    if (r.remaining() < 32) return true;
    const std::string_view magic(kProjectContextMagic);
    for (std::size_t i = 0; i < 16; ++i)
        if (static_cast<char>(r.current()[i]) != (i < magic.size() ? magic[i] : '\0')) return true;
    r.skip(16);
    const uint32_t version = r.u32le(), count = r.u32le();
    r.skip(8);
    if (version != 1) return true;  // a later layout: the plain project is still whole
    for (uint32_t i = 0; i < count; ++i) {
        if (!r.has(kItemRecordSize)) return false;
        std::span<const uint8_t> raw(r.current(), kItemRecordSize);
        ItemRecord rec = readItemRecord(r);
        auto item = std::make_unique<VoiceItem>();
        item->code = trimTrailingWhite(rec.code);
        item->notation = trimTrailingWhite(rec.notation);
        item->pitchName = trimTrailingWhite(rec.pitchName);
        item->pitchNumber = rec.pitchNumber;
        item->setMarkers({rec.markerA, rec.markerB, rec.markerC, rec.markerD});
        item->normalize = rec.normalize;
        item->volume = rec.volume;
        for (std::size_t k = 72; k < 80 && raw[k] != 0; ++k) item->after.push_back(static_cast<char>(raw[k]));
        item->contextKind = raw[80];
        item->markerOverlap = loadLE32(raw.data() + 84);
        if (rec.dataLength != 0) {
            std::span<const uint8_t> data = r.view(rec.dataLength);
            if (data.empty()) return false;
            if (!item->data.assign(data, 4)) throw std::bad_alloc();
        }
        if (item->contextKind == 1 || item->contextKind == 2) out.push_back(std::move(item));
    }
    return true;
}

ItemRecord recordOf(const VoiceItem& item) {
    ItemRecord rec;
    if (item.isBlank()) {
        // A blank line is written as zeros: no texts, no data, no markers.
        rec.normalize = 0;
        rec.volume = 0;
        return rec;
    }
    rec.code = item.code;
    rec.notation = item.notation;
    rec.pitchName = item.pitchName;
    rec.pitchNumber = item.pitchNumber;
    rec.dataLength = storedDataLength(item.dataLength());
    rec.recordedPosition = item.recordedPosition;
    rec.markerA = item.markerA;
    rec.markerB = item.markerB;
    rec.markerC = item.markerC;
    rec.markerD = item.markerD;
    rec.normalize = item.normalize;
    rec.volume = item.volume;
    return rec;
}

}  // namespace

ProjectHeader readProjectHeader(ByteReader& r) {
    ProjectHeader h;
    h.magic = r.fixedText(32);  // compared byte for byte
    h.voiceName = fieldText(r, 64);
    h.comment = fieldText(r, 64);
    h.comment2 = fieldText(r, 64);
    h.version = r.u16le();
    h.formatIndex = r.u16le();
    h.tuning = r.u32le();
    h.itemCount = r.u32le();
    h.rateChoice = r.u16le();
    r.skip(42);
    return h;
}

void writeProjectHeader(ByteWriter& w, const ProjectHeader& h) {
    w.fixedText(h.magic, 32);
    writeField(w, h.voiceName, 64);
    writeField(w, h.comment, 64);
    writeField(w, h.comment2, 64);
    w.u16le(h.version);
    w.u16le(h.formatIndex);
    w.u32le(h.tuning);
    w.u32le(h.itemCount);
    w.u16le(h.rateChoice);
    w.zeros(42);
}

ItemRecord readItemRecord(ByteReader& r) {
    ItemRecord rec;
    rec.code = fieldText(r, 12);
    rec.notation = fieldText(r, 12);
    rec.pitchName = fieldText(r, 16);
    rec.pitchNumber = r.u32le();
    rec.dataLength = r.u32le();
    rec.recordedPosition = r.u32le();
    rec.markerA = r.u32le();
    rec.markerB = r.u32le();
    rec.markerC = r.u32le();
    rec.markerD = r.u32le();
    rec.normalize = r.u16le();
    rec.volume = r.u16le();
    r.skip(28);
    return rec;
}

void writeItemRecord(ByteWriter& w, const ItemRecord& rec) {
    writeField(w, rec.code, 12);
    writeField(w, rec.notation, 12);
    writeField(w, rec.pitchName, 16);
    w.u32le(rec.pitchNumber);
    w.u32le(rec.dataLength);
    w.u32le(rec.recordedPosition);
    w.u32le(rec.markerA);
    w.u32le(rec.markerB);
    w.u32le(rec.markerC);
    w.u32le(rec.markerD);
    w.u16le(rec.normalize);
    w.u16le(rec.volume);
    w.zeros(28);
}

uint32_t storedDataLength(uint32_t length) {
    uint32_t n = length & ~uint32_t(3);
    return n < kItemMaxStoredBytes ? n : kItemMaxStoredBytes;
}

void VoiceProject::clear() {
    voiceName.clear();
    comment.clear();
    comment2.clear();
    tuning = kProjectDefaultTuning;
    rateChoice = kRateChoice44k;
    items.clear();
    contextItems.clear();
    path_.clear();
    saved_ = currentHeader();
    itemsEdited_ = false;
    clearError();
}

ProjectHeader VoiceProject::currentHeader() const {
    ProjectHeader h;
    h.voiceName = voiceName;
    h.comment = comment;
    h.comment2 = comment2;
    h.tuning = tuning;
    h.rateChoice = rateChoice;
    uint32_t count = 0;
    for (const auto& item : items)
        if (item) ++count;
    h.itemCount = count;
    return h;
}

std::vector<uint8_t> VoiceProject::toBytes() const {
    ByteWriter w;
    writeProjectHeader(w, currentHeader());
    for (const auto& item : items) {
        if (!item) continue;
        ItemRecord rec = recordOf(*item);
        writeItemRecord(w, rec);
        if (rec.dataLength != 0) w.bytes(item->data.bytes().first(rec.dataLength));
    }
    uint32_t contextCount = 0;
    for (const auto& item : contextItems)
        if (item && !item->isBlank() && item->contextKind != 0) ++contextCount;
    if (contextCount != 0) {
        w.fixedText(kProjectContextMagic, 16);
        w.u32le(1);
        w.u32le(contextCount);
        w.zeros(8);
        for (const auto& item : contextItems) {
            if (!item || item->isBlank() || item->contextKind == 0) continue;
            ItemRecord rec = recordOf(*item);
            ByteWriter rw;
            writeItemRecord(rw, rec);
            std::vector<uint8_t>& b = rw.buffer();
            for (std::size_t k = 0; k < 8 && k < item->after.size(); ++k) b[72 + k] = uint8_t(item->after[k]);
            b[80] = item->contextKind;
            storeLE32(b.data() + 84, item->markerOverlap);
            w.bytes(b.data(), b.size());
            if (rec.dataLength != 0) w.bytes(item->data.bytes().first(rec.dataLength));
        }
    }
    return std::move(w.buffer());
}

bool VoiceProject::save(const std::string& path) {
    clearError();
    std::vector<uint8_t> bytes;
    try {
        bytes = toBytes();
    } catch (const std::bad_alloc&) {
        return fail(text::kOutOfMemory);
    }
    if (!writeFileAtomically(path, bytes)) return fail(makertext::kSaveFailed);
    path_ = path;
    saved_ = currentHeader();
    itemsEdited_ = false;
    return true;
}

bool VoiceProject::load(const std::string& path) {
    clearError();
    std::vector<uint8_t> bytes;
    if (const ReadStatus st = readWholeFile(path, bytes); st != ReadStatus::Ok)
        return fail(std::string(makertext::kOpenFailed) + "\n" + path + ": " + readStatusText(st));
    if (!loadBytes(bytes)) {
        // The reader's text, then the file and the reason.
        const std::size_t line = lastError().find('\n');
        if (line != std::string::npos) {
            const std::string text = lastError().substr(0, line), why = lastError().substr(line + 1);
            clearError();
            fail(text + "\n" + path + ": " + why);
        }
        return false;
    }
    path_ = path;
    return true;
}

bool VoiceProject::loadBytes(std::span<const uint8_t> bytes) {
    clearError();
    if (bytes.size() < kProjectHeaderSize) {
        return fail(std::string(makertext::kReadFailed) + "\nthe file holds " + std::to_string(bytes.size()) +
                    " bytes, less than a project's header (" + std::to_string(kProjectHeaderSize) + ")");
    }
    ByteReader r(bytes);
    ProjectHeader h = readProjectHeader(r);
    if (!r.ok()) return fail(std::string(makertext::kReadFailed) + "\nthe header is cut short");
    if (h.magic != kProjectMagic) return fail(makertext::kNotProject);
    if (h.version >= kProjectFirstUnsupportedVersion) return fail(makertext::kUnsupportedVersion);

    std::vector<std::unique_ptr<VoiceItem>> read;
    bool complete = true;
    std::string failure;
    try {
        for (uint32_t i = 0; i < h.itemCount; ++i) {
            if (!r.has(kItemRecordSize)) {
                complete = false;
                failure = std::string(makertext::kReadFailed) + "\nitem " + std::to_string(i + 1) + " of " +
                          std::to_string(h.itemCount) + ": its record is cut short";
                break;
            }
            ItemRecord rec = readItemRecord(r);
            auto item = std::make_unique<VoiceItem>();
            item->code = trimTrailingWhite(rec.code);
            item->notation = trimTrailingWhite(rec.notation);
            item->pitchName = trimTrailingWhite(rec.pitchName);
            item->pitchNumber = rec.pitchNumber;
            item->recordedPosition = rec.recordedPosition;
            item->setMarkers({rec.markerA, rec.markerB, rec.markerC, rec.markerD});
            if (h.version > kProjectVersionWithoutLevels) {
                item->normalize = rec.normalize;
                item->volume = rec.volume;
            }
            if (rec.dataLength != 0) {
                std::span<const uint8_t> data = r.view(rec.dataLength);
                if (data.empty()) {
                    complete = false;
                    failure = std::string(makertext::kReadFailed) + "\nitem " + std::to_string(i + 1) + " (" +
                              item->code + "): its " + std::to_string(rec.dataLength) +
                              " bytes of sound run past the end of the file";
                    break;
                }
                if (!item->data.assign(data, 4)) {
                    complete = false;
                    failure = text::kOutOfMemory;
                    break;
                }
            }
            read.push_back(std::move(item));
        }
    } catch (const std::bad_alloc&) {
        complete = false;
        failure = text::kOutOfMemory;
    }

    std::vector<std::unique_ptr<VoiceItem>> context;
    if (complete) {
        try {
            if (!readContextItems(r, context)) {
                complete = false;
                failure = std::string(makertext::kReadFailed) + "\nthe context items are cut short";
            }
        } catch (const std::bad_alloc&) {
            complete = false;
            failure = text::kOutOfMemory;
        }
    }

    voiceName = h.voiceName;
    comment = h.comment;
    comment2 = h.comment2;
    tuning = h.tuning;
    rateChoice = h.rateChoice;
    items = std::move(read);
    contextItems = std::move(context);
    if (!complete) {
        // What was read stays for the user to keep, under a new name: saving over the
        // damaged file (or the previous project's file) would lose the rest of it.
        path_.clear();
        saved_ = ProjectHeader{};
        itemsEdited_ = true;
        return fail(failure);
    }
    saved_ = currentHeader();
    itemsEdited_ = false;
    return true;
}

bool VoiceProject::isChanged() const {
    if (itemsEdited_) return true;
    ProjectHeader now = currentHeader();
    return now.voiceName != saved_.voiceName || now.comment != saved_.comment || now.comment2 != saved_.comment2 ||
           now.tuning != saved_.tuning || now.itemCount != saved_.itemCount || now.rateChoice != saved_.rateChoice;
}

std::vector<std::string> VoiceProject::listLines() const {
    std::vector<std::string> lines;
    for (const auto& item : items)
        if (item) lines.push_back(item->listLine());
    return lines;
}

int VoiceProject::findSameItem(const VoiceItem& item) const {
    for (std::size_t i = 0; i < items.size(); ++i)
        if (items[i] && sameSyllableAndPitch(*items[i], item)) return static_cast<int>(i);
    return -1;
}

uint32_t VoiceProject::outputRate() const {
    switch (rateChoice) {
        case 0: return 11025;
        case 1: return 22050;
        default: return 44100;
    }
}

std::string VoiceProject::tuningText() const {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%u.%u", tuning / 1000, (tuning % 1000) / 100);
    return buf;
}

}  // namespace kantor
