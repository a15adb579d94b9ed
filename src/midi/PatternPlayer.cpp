#include "midi/PatternPlayer.h"
#include "midi/StreamCalls.h"

#include <algorithm>

#include "base/ByteIO.h"
#include "base/Texts.h"
#include "base/Translation.h"

namespace kantor {
namespace {
constexpr const char* kTooMany = KANTOR_TEXT("容量ｵｰﾊﾞｰ、再生ﾎﾞｲｽ数を減らしてください。");
constexpr uint8_t kSystemOn[6] = {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7};
}  // namespace

PatternPlayer::PatternPlayer(MidiStream& stream) : stream_(stream), buffer_(kBufferSize, 0) {
    header_.data = buffer_.data();
    header_.bufferLength = kBufferSize;
}

PatternPlayer::~PatternPlayer() { stop(); }

int64_t PatternPlayer::ticksForMilliseconds(double ms) {
    return static_cast<int64_t>(double(kDivision) * ms * 1000.0 / double(kTempo));
}

bool PatternPlayer::platformFail(int code) { return fail(streamErrorText(stream_, code)); }

bool PatternPlayer::open(NotificationTarget* owner) {
    clearError();
    stop();
    if (buffer_.size() != kBufferSize) return fail(text::kOutOfMemory);
    if (int r = stream_.open(owner); r != kDeviceOk) return platformFail(r);
    open_ = true;
    if (int r = stream_.pause(); r != kDeviceOk) {
        platformFail(r);
        std::string text = lastError();
        stop();
        return fail(text);
    }
    stream_.setTimeDivision(kDivision);  // the result is not checked
    return true;
}

void PatternPlayer::put(uint32_t delta, uint32_t word) {
    storeLE32(buffer_.data() + used_, delta);
    storeLE32(buffer_.data() + used_ + 4, 0);
    storeLE32(buffer_.data() + used_ + 8, word);
    used_ += 12;
}

void PatternPlayer::begin() {
    std::fill(buffer_.begin(), buffer_.end(), uint8_t(0));
    used_ = 0;
    put(0, kMevtFLong | kMevtLongMsg | sizeof kSystemOn);
    std::copy(std::begin(kSystemOn), std::end(kSystemOn), buffer_.begin() + used_);
    used_ += 8;  // six bytes padded to eight
}

bool PatternPlayer::channelMessage(uint32_t delta, uint8_t status, uint8_t data1, uint8_t data2) {
    if (!fits(12)) return false;
    put(delta, kMevtShortMsg | status | (uint32_t(data1) << 8) | (uint32_t(data2) << 16));
    return true;
}

bool PatternPlayer::marker(uint32_t delta, uint32_t code) {
    if (!fits(12)) return false;
    put(delta, kMarkerWord | (code & 0xFFFFFu));
    return true;
}

bool PatternPlayer::noOp(uint32_t delta) {
    if (!fits(12)) return false;
    put(delta, kMevtNop);
    return true;
}

bool PatternPlayer::tempo(uint32_t delta) {
    if (!fits(12)) return false;
    put(delta, kMevtTempo | kTempo);
    return true;
}

bool PatternPlayer::send(uint32_t code) {
    clearError();
    header_.bytesRecorded = used_;
    header_.flags = 0;
    header_.user = code;
    int r = stream_.prepareHeader(header_);
    if (r == kDeviceOk) r = stream_.restart();
    if (r == kDeviceOk) r = stream_.out(header_);
    if (r != kDeviceOk) {
        platformFail(r);
        std::string text = lastError();
        stop();
        return fail(text);
    }
    playing_ = true;
    return true;
}

bool PatternPlayer::bufferDone(const MidiHeader* header) {
    if (!open_ || header != &header_ || !(header_.flags.load() & kHeaderDone)) return true;
    clearError();
    if (int r = stream_.unprepareHeader(header_); r != kDeviceOk) {
        platformFail(r);
        std::string text = lastError();
        stop();
        return fail(text);
    }
    header_.flags = 0;
    return stop();
}

bool PatternPlayer::stop() {
    if (!open_) return true;
    const std::string text = stopAndCloseStream(stream_, std::span<MidiHeader>(&header_, 1));
    open_ = false;
    playing_ = false;
    if (!text.empty()) return fail(text);
    return true;
}

bool PatternPlayer::playAccompaniment(NotificationTarget* owner, const std::vector<const AccompanimentItem*>& items,
                                      int drum, int program) {
    clearError();
    std::size_t n = 0;
    while (n < items.size() && items[n]) ++n;  // a missing entry ends the list
    if (n == 0) return true;
    if (!open(owner)) return false;

    const bool haveDrum = drum >= 0;
    const bool haveInstrument = program >= 0;
    const uint8_t drumNote = static_cast<uint8_t>(35 + std::max(0, drum));
    begin();
    if (haveInstrument) channelMessage(0, 0xC0, static_cast<uint8_t>(program & 0x7F), 0);
    channelMessage(0, 0xC9, 0, 0);
    tempo(0);
    marker(0, 1);

    auto ticks = [](uint32_t ms) { return static_cast<uint64_t>(std::max<int64_t>(0, ticksForMilliseconds(ms))); };
    std::size_t markerItem = 0, noteItem = 0;
    uint64_t endTick = UINT64_MAX;
    uint64_t instrumentOff = UINT64_MAX, drumOff = UINT64_MAX;
    uint8_t sounding = 0;
    uint32_t pending = 0;
    auto take = [&]() {
        uint32_t d = pending;
        pending = 0;
        return d;
    };
    for (uint64_t t = 0;; ++t) {
        // Room for every event one tick can write.
        if (!fits(48)) {
            fail(kTooMany);
            std::string text = lastError();
            stop();
            return fail(text);
        }
        if (instrumentOff != UINT64_MAX && t == instrumentOff) {
            channelMessage(take(), 0x80, sounding, 0);
            instrumentOff = UINT64_MAX;
        }
        if (haveDrum && t == drumOff) channelMessage(take(), 0x89, drumNote, 0);
        // At or after its tick, so that an item out of order cannot stall the walk.
        if (markerItem < n && t >= items[markerItem]->waveStartTick) {
            marker(take(), 1002);
            ++markerItem;
            if (markerItem == n) endTick = items[n - 1]->noteStartTick + ticks(items[n - 1]->durationMs);
        }
        if (haveInstrument && noteItem < n && t >= items[noteItem]->noteStartTick) {
            sounding = items[noteItem]->note & 0x7F;
            channelMessage(take(), 0x90, sounding, 120);
            instrumentOff = t + ticks(items[noteItem]->durationMs);
            ++noteItem;
        }
        if (haveDrum && t % 480 == 0) {
            channelMessage(take(), 0x99, drumNote, 125);
            drumOff = t + 480;
        }
        if (markerItem == n && t >= endTick) {
            noOp(take() + 480);
            break;
        }
        ++pending;
    }
    return send(0);
}

}  // namespace kantor
