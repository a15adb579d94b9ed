#pragma once
// Per-syllable (32 bytes) and per-note (40 bytes) settings records of a channel. Their
// inner layout is used by no operation: they are created all zero, copied, saved and
// loaded as opaque blocks, and reached through 1-based indexes in `VoxEvent`.
#include <array>
#include <cstdint>

#include "base/ByteIO.h"

namespace kantor {

template <std::size_t N>
struct OpaqueRecord {
    static constexpr std::size_t kSize = N;
    std::array<uint8_t, N> bytes{};

    void write(ByteWriter& w) const { w.bytes(bytes.data(), bytes.size()); }
    static OpaqueRecord read(ByteReader& r) {
        OpaqueRecord rec;
        r.bytes(rec.bytes.data(), rec.bytes.size());
        return rec;
    }
    bool operator==(const OpaqueRecord&) const = default;
};

struct SyllableSettings : OpaqueRecord<32> {};
struct NoteSettings : OpaqueRecord<40> {};

}  // namespace kantor
