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

namespace kantor {

WindowMixer::WindowMixer(uint32_t packed, uint32_t rate, std::size_t pieceBytes)
    : packed_(packed), rate_(rate), pieceSamples_(std::max<std::size_t>(pieceBytes / 2, 1)) {}

uint64_t WindowMixer::msAt(std::size_t sample) const { return millisecondsForBytes(packed_, rate_, uint64_t{sample} * 2); }

// The first sample in [from, limit) at which an entry starting at `target` ms is due (the
// mixer's own test), or `limit`.
std::size_t WindowMixer::dueSample(std::size_t from, std::size_t limit, uint64_t target) const {
    std::size_t lo = from, hi = std::max(from, limit);
    while (lo < hi) {
        const std::size_t mid = lo + (hi - lo) / 2;
        if (groupStart_ + msAt(mid) >= target) {
            hi = mid;
        } else {
            lo = mid + 1;
        }
    }
    return lo;
}

bool WindowMixer::startReader(Input& in) {
    if (!in.data.hasData() && in.load) {
        if (!in.load(in.data)) return fail(text::kOutOfMemory);
        in.load = nullptr;
    }
    if (in.data.byteLength() > 0) active_.push_back(Reader{std::move(in), 0});
    return true;
}

void WindowMixer::flush(std::vector<Output>& out, bool last, std::size_t rawBytes) {
    Output p;
    p.startMs = static_cast<uint32_t>(groupStart_);
    p.startTick = groupTick_;
    p.first = !firstOut_;
    p.last = last;
    if (last) {
        p.durationMs = members_ == 1 ? firstDuration_ : static_cast<uint32_t>(std::min<uint64_t>(end_ - groupStart_, UINT32_MAX));
        p.kind = members_ == 1 ? firstKind_ : kEntryMono;
    }
    const std::size_t bytes = rawBytes != SIZE_MAX ? rawBytes : fill_ * 2;
    if (rawBytes == SIZE_MAX && fill_ > 0 && fill_ * 4 < piece_.byteLength()) {
        // A short piece keeps only its own bytes.
        SoundBuffer shorter;
        if (shorter.assign(std::span<const uint8_t>(piece_.data(), fill_ * 2), kMixerSpare)) piece_ = std::move(shorter);
    }
    if (!piece_.hasData()) piece_.allocate(0, kMixerSpare);
    piece_.setByteLength(bytes);
    p.data = std::move(piece_);
    piece_ = SoundBuffer();
    fill_ = 0;
    firstOut_ = true;
    out.push_back(std::move(p));
}

bool WindowMixer::produce(std::size_t limit, std::vector<Output>& out) {
    while (o_ < limit) {
        while (!pending_.empty() && pending_.front().startMs <= groupStart_ + msAt(o_)) {
            Input in = std::move(pending_.front());
            pending_.erase(pending_.begin());
            if (!startReader(in)) return false;
        }
        std::size_t runEnd = pending_.empty() ? limit : dueSample(o_ + 1, limit, pending_.front().startMs);
        for (const Reader& r : active_) runEnd = std::min(runEnd, o_ + (r.in.data.byteLength() - r.pos + 1) / 2);
        const std::size_t n = active_.size();
        long double root = 1;
        if (n > 1) {
            if (roots_.size() <= n) {
                std::size_t k = roots_.size();
                roots_.resize(n + 1);
                for (; k <= n; ++k) roots_[k] = std::sqrt(static_cast<long double>(k));
            }
            root = roots_[n];
            if (!(root > 0) || !std::isfinite(root)) return fail(mixertext::kSquareRoot);
        }
        // The run, piece by piece.
        while (o_ < runEnd) {
            if (!piece_.hasData() && !piece_.allocate(pieceSamples_ * 2, kMixerSpare)) return fail(text::kOutOfMemory);
            const std::size_t count = std::min(runEnd - o_, pieceSamples_ - fill_);
            if (n == 1) {
                Reader& r = active_.front();
                for (std::size_t k = 0; k < count; ++k) piece_.setSample(fill_ + k, r.in.data.sample(r.pos / 2 + k));
                r.pos += 2 * count;
            } else if (n > 1) {
                for (std::size_t k = 0; k < count; ++k) {
                    int64_t sum = 0;
                    for (const Reader& r : active_) sum += r.in.data.sample(r.pos / 2 + k);
                    const long double v =
                        std::clamp<long double>(static_cast<long double>(sum) / root, -32768.0L, 32767.0L);
                    piece_.setSample(fill_ + k, static_cast<int16_t>(v));
                }
                for (Reader& r : active_) r.pos += 2 * count;
            }
            fill_ += count;
            o_ += count;
            if (fill_ == pieceSamples_) flush(out, false);
        }
        // A sound the window has passed is given back at once.
        std::erase_if(active_, [](const Reader& r) { return r.pos >= r.in.data.byteLength(); });
    }
    return true;
}

bool WindowMixer::closeGroup(std::vector<Output>& out) {
    if (!open_) return true;
    const std::size_t limit = members_ == 1 ? std::min<std::size_t>(outSamples_, firstLength_ / 2) : outSamples_;
    if (!produce(limit, out)) return false;
    if (members_ == 1 && firstLength_ > o_ * 2 && !active_.empty()) {
        // An entry alone comes out as it is, to its last byte.
        const Reader& r = active_.front();
        const std::size_t rest = firstLength_ - o_ * 2;
        if (fill_ > 0) flush(out, false);
        if (!piece_.allocate(rest, kMixerSpare)) return fail(text::kOutOfMemory);
        std::copy(r.in.data.data() + o_ * 2, r.in.data.data() + firstLength_, piece_.data());
        flush(out, true, rest);
    } else {
        flush(out, true);
    }
    active_.clear();
    pending_.clear();
    open_ = false;
    members_ = 0;
    return true;
}

bool WindowMixer::add(Input in, std::vector<Output>& out) {
    clearError();
    if (formatChannels(packed_) == 2) return fail(mixertext::kMonoOnly);
    if (formatBits(packed_) != 16) return fail(mixertext::kEightBit);
    if (!in.data.hasData() && !in.load) return true;
    if (in.data.hasData()) in.byteLength = static_cast<uint32_t>(in.data.byteLength());
    if (open_ && in.startMs >= end_ && !closeGroup(out)) return false;
    if (!open_) {
        open_ = true;
        groupStart_ = in.startMs;
        end_ = groupStart_ + in.durationMs;
        groupTick_ = in.startTick;
        members_ = 1;
        firstLength_ = in.byteLength;
        firstDuration_ = in.durationMs;
        firstKind_ = in.kind;
        o_ = 0;
        fill_ = 0;
        firstOut_ = false;
        outSamples_ = bytesForMilliseconds(packed_, rate_, in.durationMs) / 2;
        return startReader(in);
    }
    ++members_;
    end_ = std::max<uint64_t>(end_, uint64_t{in.startMs} + in.durationMs);
    outSamples_ = bytesForMilliseconds(packed_, rate_, static_cast<uint32_t>(std::min<uint64_t>(end_ - groupStart_, UINT32_MAX))) / 2;
    auto at = std::upper_bound(pending_.begin(), pending_.end(), in.startMs,
                               [](uint32_t ms, const Input& e) { return ms < e.startMs; });
    pending_.insert(at, std::move(in));
    return true;
}

bool WindowMixer::advance(uint64_t soonestMs, std::vector<Output>& out) {
    clearError();
    if (!open_) return true;
    const std::size_t cap = members_ == 1 ? std::min<std::size_t>(outSamples_, firstLength_ / 2) : outSamples_;
    if (!produce(dueSample(o_, cap, soonestMs), out)) return false;
    // An entry alone so far stays whole while it may stay alone.
    if (fill_ > 0 && members_ > 1) flush(out, false);
    return true;
}

bool WindowMixer::finish(std::vector<Output>& out) {
    clearError();
    return closeGroup(out);
}

std::size_t WindowMixer::heldBytes() const {
    std::size_t n = piece_.heldBytes();
    for (const Reader& r : active_) n += r.in.data.heldBytes();
    for (const Input& in : pending_) n += in.data.heldBytes();
    return n;
}

}  // namespace kantor
