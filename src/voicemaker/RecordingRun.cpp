#include "voicemaker/RecordingRun.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <new>
#include <utility>

#include "base/ByteIO.h"
#include "base/Texts.h"
#include "platform/NotificationQueue.h"
#include "platform/UserPrompt.h"
#include "voicemaker/MakerTexts.h"

namespace kantor {
namespace {

constexpr uint8_t kKick = 35;
constexpr uint8_t kRim = 37;
constexpr uint8_t kGuideVelocity = 120;
constexpr uint8_t kCountVelocity = 125;
constexpr uint32_t kMeterBytes = 4410;  // 50 ms

}  // namespace

RecordingRun::RecordingRun(VoiceProject& project, MidiStream& stream, WaveIn& waveIn, WaveOut& waveOut,
                           UserPrompt& prompt, NotificationQueue* queue)
    : project_(project), prompt_(prompt), queue_(queue), player_(stream), in_(waveIn), out_(waveOut) {}

RecordingRun::~RecordingRun() {
    runList_.clear();
    current_ = 0;
    mode_ = Mode::Idle;
    player_.stop();
    in_.close();
    out_.close();
    if (queue_) queue_->cancel(this);
}

bool RecordingRun::allocate() {
    if (buffer_.size() == kBufferBytes) return true;
    try {
        buffer_.assign(kBufferBytes, uint8_t(0));
    } catch (const std::bad_alloc&) {
        std::vector<uint8_t>().swap(buffer_);
        error(text::kOutOfMemory);
        return false;
    }
    return true;
}

void RecordingRun::error(const std::string& text) {
    if (!pendingError_.empty()) pendingError_ += "\n";
    pendingError_ += text;
}

std::string RecordingRun::takeError() { return std::exchange(pendingError_, {}); }

int RecordingRun::takeChangedLine() { return std::exchange(changedLine_, -1); }

VoiceItem* RecordingRun::itemAt(int line) const {
    if (line < 0 || line >= static_cast<int>(project_.items.size())) return nullptr;
    return project_.items[static_cast<std::size_t>(line)].get();
}

int32_t RecordingRun::playbackAdjustment(uint32_t recordedPosition, uint32_t snapshot) {
    if (snapshot == 0) return 0;
    const int64_t m = recordedPosition == 0 ? 44100 : recordedPosition;
    const int64_t o = snapshot;
    const auto ms = static_cast<int32_t>(std::llround(double(std::llabs(m - o)) * 1000.0 / 88200.0));
    const int32_t signedMs = o < m ? -ms : ms;
    return (signedMs < -500 || signedMs > 500) ? 0 : signedMs;
}

int32_t RecordingRun::adjustmentTicks(int32_t ms) { return static_cast<int32_t>(PatternPlayer::ticksForMilliseconds(ms)); }

uint32_t RecordingRun::takeBytes(uint32_t recorded) {
    if (recorded < kMinTakeBytes) return 0;
    return std::min(recorded, kMaxKeepBytes);
}

bool RecordingRun::buildGuide(PatternPlayer& player, uint8_t instrument, uint8_t pitch, Mode mode,
                              int32_t adjustmentMs) {
    // Events by tick; at one tick: note-offs, then markers, then note-ons.
    enum Kind { Off = 0, Mark = 1, On = 2 };
    struct Event {
        int64_t tick;
        Kind kind;
        uint8_t status, data1, data2;
        uint32_t marker;
    };
    std::vector<Event> ev;
    auto note = [&](int64_t on, int64_t off, uint8_t channelStatus, uint8_t n, uint8_t velocity) {
        ev.push_back({on, On, static_cast<uint8_t>(0x90 | channelStatus), n, velocity, 0});
        ev.push_back({off, Off, static_cast<uint8_t>(0x80 | channelStatus), n, 0, 0});
    };
    auto mark = [&](int64_t tick, uint32_t code) { ev.push_back({tick, Mark, 0, 0, 0, code}); };
    pitch &= 0x7F;
    // Two guide tones of two beats each.
    note(0, 2 * kBeat, 0, pitch, kGuideVelocity);
    note(2 * kBeat, 4 * kBeat, 0, pitch, kGuideVelocity);
    // The count-in: four beats, the guide tone on the first and third.
    for (int b = 0; b < 4; ++b) {
        const int64_t t = kCountInTick + int64_t(b) * kBeat;
        note(t, t + kBeat, 9, kKick, kCountVelocity);
        note(t, t + kBeat, 9, kRim, kCountVelocity);
        if (b == 0 || b == 2) note(t, t + kBeat, 0, pitch, kGuideVelocity);
    }
    const int64_t fourth = kCountInTick + 3 * kBeat;
    const int64_t shift = mode == Mode::Play ? adjustmentTicks(adjustmentMs) : 0;
    if (mode == Mode::Play) {
        mark(fourth + shift, kWaveStartMarker);
        if (adjustmentMs != 0) mark(kDownbeatTick + shift, kShiftedPositionMarker);
    } else {
        mark(fourth, kStartMarker);
    }
    const int64_t end = kDownbeatTick + (mode == Mode::Play ? 2 : 3) * int64_t(kBeat);
    mark(kDownbeatTick, kPositionMarker);
    note(kDownbeatTick, kDownbeatTick + kBeat, 9, kKick, kCountVelocity);
    note(kDownbeatTick, end, 0, pitch, kGuideVelocity);
    mark(end, kEndMarker);
    note(end, end + 4 * int64_t(kBeat), 9, kRim, kGuideVelocity);
    std::stable_sort(ev.begin(), ev.end(),
                     [](const Event& a, const Event& b) { return a.tick != b.tick ? a.tick < b.tick : a.kind < b.kind; });

    player.begin();
    bool ok = player.channelMessage(0, 0xC0, instrument & 0x7F, 0);
    ok = ok && player.channelMessage(0, 0xC9, 0, 0);
    ok = ok && player.tempo(0);
    int64_t at = 0;
    for (const Event& e : ev) {
        const auto delta = static_cast<uint32_t>(std::max<int64_t>(0, e.tick - at));
        at = std::max(at, e.tick);
        ok = ok && (e.kind == Mark ? player.marker(delta, e.marker) : player.channelMessage(delta, e.status, e.data1, e.data2));
    }
    return ok;
}

bool RecordingRun::record(const std::vector<int>& selectedLines) { return begin(Mode::Record, selectedLines); }

bool RecordingRun::play(const std::vector<int>& selectedLines) { return begin(Mode::Play, selectedLines); }

bool RecordingRun::begin(Mode mode, const std::vector<int>& lines) {
    if (running()) return false;
    if (buffer_.empty() || lines.empty()) return false;
    runList_.clear();
    for (int line : lines) {
        const VoiceItem* item = itemAt(line);
        if (!item || item->isBlank()) continue;
        if (mode == Mode::Record ? item->notation.empty() : !item->hasData()) continue;
        runList_.push_back(line);
    }
    if (runList_.empty()) return false;
    mode_ = mode;
    current_ = 0;
    for (; current_ < runList_.size(); ++current_) {
        if (startItem(*itemAt(runList_[current_]))) return true;
    }
    finishRun();
    return false;
}

bool RecordingRun::startItem(VoiceItem& item) {
    inputStarted_ = false;
    awaitingData_ = false;
    keptPosition_ = 0;
    adjustment_ = 0;
    if (mode_ == Mode::Record) {
        if (!in_.open(this, 16, 1, 44100)) {
            error(in_.lastError());
            return false;
        }
        std::fill(buffer_.begin(), buffer_.end(), uint8_t(0));
        if (!in_.addBuffer(buffer_.data(), kBufferBytes, static_cast<uint32_t>(runList_[current_]))) {
            error(in_.lastError());
            in_.close();
            return false;
        }
        awaitingData_ = true;
    } else {
        if (!out_.open(this, 16, 1, 44100)) {
            error(out_.lastError());
            return false;
        }
        adjustment_ = playbackAdjustment(item.recordedPosition, snapshot_);
    }
    bool ok = player_.open(this);
    if (ok && !buildGuide(player_, instrument_, static_cast<uint8_t>(item.pitchNumber), mode_, adjustment_)) {
        player_.stop();
        ok = false;
    }
    ok = ok && player_.send();
    if (!ok) {
        if (!player_.lastError().empty()) error(player_.lastError());
        awaitingData_ = false;
        in_.close();
        out_.close();
        return false;
    }
    return true;
}

void RecordingRun::finishRecording() {
    if (!awaitingData_) return;
    awaitingData_ = false;
    if (!in_.finish()) error(in_.lastError());
    const uint32_t recorded = std::min<uint32_t>(in_.header().bytesRecorded, kBufferBytes);
    const uint32_t keep = takeBytes(recorded);
    VoiceItem* item = itemAt(currentLine());
    if (keep == 0 || !item) return;
    SoundBuffer data;
    if (!data.assign(std::span<const uint8_t>(buffer_.data(), keep))) {
        error(text::kOutOfMemory);
        return;
    }
    item->data = std::move(data);
    item->setMarkers({});
    item->recordedPosition = keptPosition_;
    project_.markItemsEdited();
    changedLine_ = currentLine();
}

void RecordingRun::endItem() {
    finishRecording();
    player_.stop();
    in_.close();
    out_.close();
}

void RecordingRun::next() {
    endItem();
    for (++current_; current_ < runList_.size(); ++current_) {
        if (startItem(*itemAt(runList_[current_]))) return;
    }
    finishRun();
}

void RecordingRun::finishRun() {
    runList_.clear();
    current_ = 0;
    mode_ = Mode::Idle;
}

void RecordingRun::stop() {
    if (!running()) return;
    endItem();
    finishRun();
    if (queue_) queue_->cancel(this);
}

uint32_t RecordingRun::recordedBytes() const {
    if (mode_ != Mode::Record || !inputStarted_) return 0;
    uint32_t bytes = 0;
    const_cast<WaveInDevice&>(in_).position(bytes);
    return std::min(bytes, kBufferBytes);
}

int RecordingRun::inputPeak() const {
    const uint32_t end = recordedBytes() & ~1u;
    const uint32_t begin = end > kMeterBytes ? end - kMeterBytes : 0;
    int peak = 0;
    for (uint32_t i = begin; i + 1 < end; i += 2) {
        const int s = static_cast<int16_t>(static_cast<uint16_t>(buffer_[i] | (buffer_[i + 1] << 8)));
        peak = std::max(peak, std::abs(s));
    }
    return std::min(peak, 32767);
}

void RecordingRun::onNotification(const Notification& n) {
    if (!running()) return;
    switch (n.kind) {
        case NotificationKind::MidiMarker: {
            const MidiHeader& h = player_.header();
            if (!player_.isPlaying() || n.header != &h || uint64_t(n.offset) + 12 > h.bytesRecorded) return;
            const uint32_t code = loadLE32(h.data + n.offset + 8) & 0xFFFFFu;
            VoiceItem* item = itemAt(currentLine());
            if (mode_ == Mode::Record) {
                if (code == kStartMarker) {
                    if (!in_.start()) error(in_.lastError());
                    inputStarted_ = true;
                } else if (code == kPositionMarker) {
                    uint32_t pos = 0;
                    if (in_.position(pos)) keptPosition_ = pos;
                }
            } else if (item) {
                if (code == kWaveStartMarker && item->hasData()) {
                    const PlayBlock block{item->data.data(), item->dataLength(), 0};
                    if (!out_.playAt(block, n.frame)) error(out_.lastError());
                } else if ((code == kPositionMarker && (adjustment_ == 0 || snapshot_ == 0)) ||
                           code == kShiftedPositionMarker) {
                    uint32_t pos = 0;
                    if (out_.position(pos)) snapshot_ = pos;
                }
            }
            return;
        }
        case NotificationKind::WaveInData:
            if (mode_ == Mode::Record && awaitingData_ && n.header == &in_.header()) finishRecording();
            return;
        case NotificationKind::WaveOutDone:
            if (!out_.bufferDone(static_cast<const WaveHeader*>(n.header))) error(out_.lastError());
            return;
        case NotificationKind::MidiDone:
            if (!player_.isPlaying()) return;
            if (!player_.bufferDone(static_cast<const MidiHeader*>(n.header))) error(player_.lastError());
            if (!player_.isPlaying()) next();
            return;
        case NotificationKind::MidiClose: return;
    }
}

}  // namespace kantor
