#include "synth/VoxMixer.h"

#include <algorithm>
#include <cmath>

#include "base/Texts.h"
#include "sound/SoundFormat.h"

namespace kantor {
namespace {

struct Reader {
    const SoundEntry* entry;
    std::size_t pos;  // bytes read so far
};

}  // namespace

bool CVoxMixer::mix(std::vector<SoundEntry>& entries, uint32_t packed, uint32_t rate) {
    clearError();
    if (formatChannels(packed) == 2) return fail(mixertext::kMonoOnly);
    if (formatBits(packed) != 16) return fail(mixertext::kEightBit);

    std::vector<std::size_t> group;
    std::vector<std::size_t> pending;
    std::vector<Reader> active;
    std::vector<long double> roots;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (!entries[i].hasData()) continue;
        const uint64_t groupStart = entries[i].startMs;
        uint64_t end = groupStart + entries[i].durationMs;
        group.assign(1, i);
        for (std::size_t j = i + 1; j < entries.size(); ++j) {
            const SoundEntry& e = entries[j];
            if (!e.hasData()) continue;
            if (e.startMs >= end) break;
            group.push_back(j);
            end = std::max<uint64_t>(end, uint64_t{e.startMs} + e.durationMs);
        }
        if (group.size() == 1) continue;

        const uint32_t groupMs = static_cast<uint32_t>(std::min<uint64_t>(end - groupStart, UINT32_MAX));
        const uint32_t outLength = bytesForMilliseconds(packed, rate, groupMs);
        SoundBuffer out;
        if (!out.allocate(outLength, kMixerSpare)) return fail(text::kOutOfMemory);

        // Entries start in order of their start; equal starts keep list order.
        pending.assign(group.begin() + 1, group.end());
        std::stable_sort(pending.begin(), pending.end(),
                         [&](std::size_t a, std::size_t b) { return entries[a].startMs < entries[b].startMs; });
        active.clear();
        auto start = [&](const SoundEntry& e) {
            if (e.byteLength() > 0) active.push_back(Reader{&e, 0});
        };
        start(entries[i]);
        std::size_t next = 0;
        const std::size_t outSamples = outLength / 2;
        // The first output sample at which the next waiting piece is due: the current time is
        // the group start plus the milliseconds of the bytes produced so far.
        auto dueAt = [&](std::size_t from) {
            const uint64_t target = entries[pending[next]].startMs;
            std::size_t lo = from, hi = outSamples;
            while (lo < hi) {
                const std::size_t mid = lo + (hi - lo) / 2;
                if (groupStart + millisecondsForBytes(packed, rate, uint64_t{mid} * 2) >= target) {
                    hi = mid;
                } else {
                    lo = mid + 1;
                }
            }
            return lo;
        };
        // Between two changes (a piece starting or running out) the same pieces sound, so the
        // output is produced in runs.
        std::size_t o = 0;
        while (o < outSamples) {
            while (next < pending.size() &&
                   entries[pending[next]].startMs <= groupStart + millisecondsForBytes(packed, rate, uint64_t{o} * 2))
                start(entries[pending[next++]]);
            std::size_t runEnd = next < pending.size() ? dueAt(o + 1) : outSamples;
            for (const Reader& r : active) runEnd = std::min(runEnd, o + (r.entry->byteLength() - r.pos + 1) / 2);
            const std::size_t n = active.size();
            if (n == 0) {
                // Nothing sounds. The group ends here only when no piece is still to come;
                // a piece that starts after a silent stretch keeps its sound.
                if (next == pending.size()) break;
                o = runEnd;
                continue;
            }
            long double root = 1;
            if (n > 1) {
                if (roots.size() <= n) {
                    std::size_t k = roots.size();
                    roots.resize(n + 1);
                    for (; k <= n; ++k) roots[k] = std::sqrt(static_cast<long double>(k));
                }
                root = roots[n];
                if (!(root > 0) || !std::isfinite(root)) return fail(mixertext::kSquareRoot);
            }
            for (std::size_t k = o; k < runEnd; ++k) {
                int64_t sum = 0;
                for (Reader& r : active) {
                    sum += r.entry->data.sample(r.pos / 2);
                    r.pos += 2;
                }
                if (n == 1) {
                    out.setSample(k, static_cast<int16_t>(sum));
                } else {
                    long double v = std::clamp<long double>(static_cast<long double>(sum) / root, -32768.0L, 32767.0L);
                    out.setSample(k, static_cast<int16_t>(v));
                }
            }
            std::erase_if(active, [](const Reader& r) { return r.pos >= r.entry->byteLength(); });
            o = runEnd;
        }

        for (std::size_t k : group) entries[k].data.reset();
        SoundEntry& first = entries[i];
        first.data = std::move(out);
        first.durationMs = groupMs;
        first.kind = kEntryMono;
    }
    return true;
}

}  // namespace kantor
