#include "audio/SyncCorrection.h"

#include <algorithm>
#include <cstdio>
#include <new>

#include "base/ByteIO.h"
#include "base/Texts.h"
#include "platform/NotificationQueue.h"
#include "platform/UserPrompt.h"
#include "settings/SoundSettings.h"

namespace kantor {
namespace {

constexpr const char* kErrorCaption = "Error";

std::string formatValue(const char* negativeFormat, int32_t ms) {
    char text[32];
    std::snprintf(text, sizeof text, ms <= 0 ? negativeFormat : "+%d msec", static_cast<int>(ms));
    return text;
}

}  // namespace

SyncCorrection::SyncCorrection(MidiStream& stream, WaveOut& waveOut, UserPrompt& prompt, SyncSounds sounds,
                               NotificationQueue* queue)
    : prompt_(prompt), queue_(queue), sounds_(std::move(sounds)), player_(stream), wave_(waveOut) {
    valueText_ = openingText(correction_);
}

SyncCorrection::~SyncCorrection() {
    close();
    // Closing the stream has posted its close notification to this object.
    dropStaleNotifications();
}

std::string SyncCorrection::openingText(int32_t ms) { return formatValue("%d msec", ms); }

std::string SyncCorrection::changedText(int32_t ms) { return formatValue("%d  msec", ms); }

int32_t SyncCorrection::delayTicks(int32_t ms) {
    return static_cast<int32_t>(int64_t(PatternPlayer::kDivision) * ms * 1000 / int64_t(PatternPlayer::kTempo));
}

void SyncCorrection::showError(const std::string& text) { prompt_.notice(kErrorCaption, text); }

void SyncCorrection::dropStaleNotifications() {
    if (queue_) queue_->cancel(this);
}

void SyncCorrection::open(const SoundSettings& settings) {
    correction_ = settings.midiDelayCorrection();
    valueText_ = openingText(correction_);
    if (buffer_.size() == kSampleBufferBytes) return;
    try {
        buffer_.assign(kSampleBufferBytes, uint8_t(0));
    } catch (const std::bad_alloc&) {
        std::vector<uint8_t>().swap(buffer_);
        showError(text::kOutOfMemory);
    }
}

bool SyncCorrection::spin(int32_t position, int32_t step) {
    const int64_t value = int64_t(position) + step;
    if (value < kMinCorrection || value > kMaxCorrection) return false;
    correction_ = static_cast<int32_t>(value);
    valueText_ = changedText(correction_);
    return true;
}

bool SyncCorrection::buildPattern(PatternPlayer& player, uint8_t drumNote, int32_t delay, bool waveMode) {
    player.begin();
    bool ok = player.channelMessage(0, 0xC9, 0, 0);
    ok = ok && player.tempo(0);
    ok = ok && player.marker(0, kStartMarker);

    // Events in time order; at one tick the order is: the sounding click's note-off, a
    // wave marker that is due at or before its note, the next note-on, a wave marker
    // after its note, the end marker.
    enum Kind { NoteOff, MarkerAtOrBefore, NoteOn, MarkerAfter, End };
    struct Event {
        int64_t tick;
        Kind kind;
    };
    std::vector<Event> events;
    for (int i = 0; i < kClicks; ++i) {
        const int64_t on = int64_t(kClickTicks) * (i + 1);
        events.push_back({on, NoteOn});
        events.push_back({on + kClickTicks, NoteOff});
        if (waveMode) events.push_back({on + delay, delay <= 0 ? MarkerAtOrBefore : MarkerAfter});
    }
    events.push_back({int64_t(kClickTicks) * (kClicks + 1), End});
    std::stable_sort(events.begin(), events.end(), [](const Event& a, const Event& b) {
        return a.tick != b.tick ? a.tick < b.tick : a.kind < b.kind;
    });

    int64_t at = 0;
    for (const Event& e : events) {
        const auto delta = static_cast<uint32_t>(std::max<int64_t>(0, e.tick - at));
        at = std::max(at, e.tick);
        switch (e.kind) {
            case NoteOff: ok = ok && player.channelMessage(delta, 0x89, drumNote, 0); break;
            case NoteOn: ok = ok && player.channelMessage(delta, 0x99, drumNote, kClickVelocity); break;
            case MarkerAtOrBefore:
            case MarkerAfter: ok = ok && player.marker(delta, kWaveMarker); break;
            case End: ok = ok && player.marker(delta, kEndMarker); break;
        }
    }
    return ok;
}

void SyncCorrection::stopPattern() {
    waveMode_ = false;
    closeWhenPlayed_ = false;
    if (!player_.stop()) showError(player_.lastError());
    if (!wave_.close()) showError(wave_.lastError());
    dropStaleNotifications();
}

void SyncCorrection::play(int midiSound, int waveSound) {
    midiSound_ = std::clamp(midiSound, 0, static_cast<int>(kMidiSoundNotes.size()) - 1);
    waveSound_ = std::clamp(waveSound, 0, SyncSounds::kCount - 1);
    stopPattern();
    playEnabled_ = true;
    if (buffer_.empty()) return;

    waveMode_ = true;
    if (!wave_.open(this, 16, 1, 44100)) {
        waveMode_ = false;
        showError(wave_.lastError());
        return;
    }

    const SoundBuffer& sound = sounds_.sound(waveSound_);
    const std::size_t length = std::min(sound.byteLength(), buffer_.size());
    std::fill(buffer_.begin(), buffer_.end(), uint8_t(0));
    std::copy_n(sound.data(), length, buffer_.begin());
    block_ = PlayBlock{buffer_.data(), static_cast<uint32_t>(length), static_cast<uint32_t>(waveSound_)};

    const uint8_t note = kMidiSoundNotes[static_cast<std::size_t>(midiSound_)];
    bool ok = player_.open(this);
    if (ok && !buildPattern(player_, note, delayTicks(correction_), waveMode_)) {
        // The pattern is a few hundred bytes; the player's buffer always holds it.
        player_.stop();
        ok = false;
    }
    ok = ok && player_.send();
    if (!ok) {
        // Nothing plays: the wave output is closed again and "Play" stays enabled.
        waveMode_ = false;
        if (!player_.lastError().empty()) showError(player_.lastError());
        wave_.close();
        return;
    }
    playEnabled_ = false;
}

void SyncCorrection::stop() {
    stopPattern();
    playEnabled_ = true;
}

void SyncCorrection::accept(SoundSettings& settings) const { settings.setMidiDelayCorrection(correction_); }

void SyncCorrection::close() {
    waveMode_ = false;
    closeWhenPlayed_ = false;
    player_.stop();
    wave_.close();
    dropStaleNotifications();
    std::vector<uint8_t>().swap(buffer_);  // gives the memory back (= {} would keep it)
    block_ = PlayBlock{};
    playEnabled_ = true;
}

void SyncCorrection::onMarker(const Notification& n) {
    const MidiHeader& h = player_.header();
    if (!player_.isPlaying() || n.header != &h || uint64_t(n.offset) + 12 > h.bytesRecorded) return;
    const uint32_t code = loadLE32(h.data + n.offset + 8) & 0xFFFFFu;
    // The start and end markers change nothing.
    if (code != kWaveMarker || !waveMode_ || buffer_.empty() || !block_.data) return;
    // On the marker's own sample: a click still sounding is cut off and starts again.
    if (!wave_.playAt(block_, n.frame)) showError(wave_.lastError());
}

void SyncCorrection::onMidiDone(const Notification& n) {
    // A buffer a stopped pattern returned is no longer ours to act on.
    if (!player_.isPlaying()) return;
    const bool ok = player_.bufferDone(static_cast<const MidiHeader*>(n.header));
    if (player_.isPlaying()) return;  // not the pattern's buffer, or not played yet
    if (!ok) showError(player_.lastError());
    waveMode_ = false;
    playEnabled_ = true;
    // A late click (a long voice sound with a large correction) may outlast the stream's
    // end: it plays to its end before the wave output closes.
    if (wave_.isPlaying()) {
        closeWhenPlayed_ = true;
        return;
    }
    if (!wave_.close()) showError(wave_.lastError());
}

void SyncCorrection::onWaveDone(const Notification& n) {
    if (!wave_.bufferDone(static_cast<const WaveHeader*>(n.header))) showError(wave_.lastError());
    if (closeWhenPlayed_ && !wave_.isPlaying()) {
        closeWhenPlayed_ = false;
        if (!wave_.close()) showError(wave_.lastError());
    }
}

void SyncCorrection::onNotification(const Notification& n) {
    switch (n.kind) {
        case NotificationKind::MidiMarker: onMarker(n); break;
        case NotificationKind::MidiDone: onMidiDone(n); break;
        case NotificationKind::WaveOutDone: onWaveDone(n); break;
        case NotificationKind::MidiClose:
        case NotificationKind::WaveInData: break;
    }
}

}  // namespace kantor
