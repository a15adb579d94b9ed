#pragma once
// The logic of the window "MidiとWaveの同期補正": the user sets the MIDI–wave delay
// correction by ear. A test pattern plays four drum clicks through the MIDI stream and, for
// each, a click through the wave output shifted by the correction being edited; the user
// adjusts the correction until the two sound together.
//
// The window calls open() once, spin() for each step of its spin control, play() and
// stop() for its buttons, and hands every device notification addressed to this object
// (it is the owner of the stream and of the wave output) to onNotification(); after each
// call it shows valueText() and enables its "Play" button by playEnabled(). On OK it calls
// accept(); on cancel nothing; closing (or destroying) it calls close(). When the pattern
// ends, "Play" is enabled again and the wave output closes once its last click has played.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "audio/SyncSounds.h"
#include "audio/WaveOutDevice.h"
#include "base/Translation.h"
#include "midi/PatternPlayer.h"
#include "platform/MidiStream.h"
#include "platform/Notification.h"

namespace kantor {

class NotificationQueue;
class SoundSettings;
class UserPrompt;

class SyncCorrection : public NotificationTarget {
public:
    static constexpr int32_t kMinCorrection = -500;
    static constexpr int32_t kMaxCorrection = 500;
    // Six seconds of 16-bit mono sound at 44100 Hz.
    static constexpr std::size_t kSampleBufferBytes = 529200;
    static constexpr uint32_t kStartMarker = 201;
    static constexpr uint32_t kEndMarker = 203;
    static constexpr uint32_t kWaveMarker = 205;
    static constexpr int kClicks = 4;
    static constexpr uint32_t kClickTicks = 960;  // one second
    static constexpr uint8_t kClickVelocity = 125;

    static constexpr const char* kWindowTitle = KANTOR_TEXT("MidiとWaveの同期補正");
    static constexpr const char* kDelayLabel = KANTOR_TEXT("Midi 遅延ﾀｲﾑ： ");
    static constexpr std::array<const char*, 3> kMidiSoundNames = {"Bass Drum", "Snare Drum", "Rim Shot"};
    static constexpr std::array<uint8_t, 3> kMidiSoundNotes = {35, 38, 37};
    static constexpr std::array<const char*, SyncSounds::kCount> kWaveSoundNames = {
        "Rim Shot", "Voice \"A\"", "Voice \"O\"", "Voice \"Pa\""};

    // The stream and the wave output are the caller's and outlive this object; their
    // notifications for this object must reach onNotification(). When `queue` is given,
    // notifications a stopped pattern left pending there are dropped, and so are those
    // still pending when this object goes.
    SyncCorrection(MidiStream& stream, WaveOut& waveOut, UserPrompt& prompt, SyncSounds sounds,
                   NotificationQueue* queue = nullptr);
    ~SyncCorrection() override;
    SyncCorrection(const SyncCorrection&) = delete;
    SyncCorrection& operator=(const SyncCorrection&) = delete;

    // On opening: takes the correction from the settings block and allocates the sample
    // buffer ("メモリが不足しています。" when it cannot be; the value can still be set).
    void open(const SoundSettings& settings);

    // The value texts: on opening "%d msec" (<= 0) or "+%d msec", after a spin change
    // "%d  msec" (<= 0) or "+%d msec".
    static std::string openingText(int32_t ms);
    static std::string changedText(int32_t ms);
    // The text the window shows now.
    const std::string& valueText() const { return valueText_; }

    // A spin control step: the new value is position + step; false (nothing changes) when
    // it would leave -500..500.
    bool spin(int32_t position, int32_t step);
    int32_t correction() const { return correction_; }

    // The "Play" button with the radio choices: MIDI sound 0..2, wave sound 0..3.
    void play(int midiSound, int waveSound);
    // The "Stop" button.
    void stop();
    // OK: the edited correction goes into the settings.
    void accept(SoundSettings& settings) const;
    // Closing the window: the pattern stops, the devices close, the buffer is freed.
    void close();

    void onNotification(const Notification& n) override;

    bool playEnabled() const { return playEnabled_; }
    bool waveMode() const { return waveMode_; }
    int midiSound() const { return midiSound_; }
    int waveSound() const { return waveSound_; }
    bool hasSampleBuffer() const { return !buffer_.empty(); }

    // Delay in ticks at 480 ticks a quarter and 500000 us a quarter, truncated toward zero.
    static int32_t delayTicks(int32_t ms);
    // The test pattern's events after its System On message, for a drum note and a delay
    // in ticks: what play() sends. Writes them into the player's buffer.
    static bool buildPattern(PatternPlayer& player, uint8_t drumNote, int32_t delay, bool waveMode);

    const PatternPlayer& player() const { return player_; }
    const WaveOutDevice& wave() const { return wave_; }
    const SyncSounds& sounds() const { return sounds_; }

private:
    void showError(const std::string& text);
    void dropStaleNotifications();
    void stopPattern();
    void onMarker(const Notification& n);
    void onMidiDone(const Notification& n);
    void onWaveDone(const Notification& n);

    UserPrompt& prompt_;
    NotificationQueue* queue_;
    SyncSounds sounds_;
    PatternPlayer player_;
    WaveOutDevice wave_;
    std::vector<uint8_t> buffer_;
    PlayBlock block_;
    int32_t correction_ = 0;
    std::string valueText_;
    int midiSound_ = 0;
    int waveSound_ = 0;
    bool waveMode_ = false;
    bool playEnabled_ = true;
    // The pattern has ended while its last click still sounds.
    bool closeWhenPlayed_ = false;
};

}  // namespace kantor
