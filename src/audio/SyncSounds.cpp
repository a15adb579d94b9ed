#include "audio/SyncSounds.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>

#include "synth/NoteFrequency.h"
#include "synth/RateConverter.h"
#include "sound/SoundFormat.h"
#include "synth/SoundPrimitives.h"
#include "synth/SyllableShifter.h"
#include "voice/Voice.h"
#include "voice/VoiceBank.h"
#include "voice/VoiceFile.h"
#include "voice/VoiceLibrary.h"

namespace kantor {
namespace {

constexpr double kRate = 44100.0;
constexpr double kTwoPi = 2.0 * std::numbers::pi;

int16_t clampSample(double v) { return static_cast<int16_t>(std::clamp(v, -32768.0, 32767.0)); }

// A fixed pseudo-random sequence in [-1, 1).
class Noise {
public:
    double next() {
        state_ = state_ * 1664525u + 1013904223u;
        return static_cast<double>(state_ >> 8) / double(1u << 23) - 1.0;
    }

private:
    uint32_t state_ = 0x2545F491u;
};

// Brings the last `samples` samples linearly down to zero.
void fadeTail(SoundBuffer& s, std::size_t samples) {
    const std::size_t n = s.sampleCount();
    samples = std::min(samples, n);
    for (std::size_t k = 0; k < samples; ++k) {
        const std::size_t i = n - samples + k;
        const double g = static_cast<double>(samples - 1 - k) / static_cast<double>(samples);
        s.setSample(i, static_cast<int16_t>(s.sample(i) * g));
    }
}

// A voice-like harmonic spectrum: harmonics of f0 shaped by three formant resonances.
struct Formants {
    double f[3];
    double bw[3];
    double gain[3];
};

constexpr Formants kVowelA{{800, 1200, 2600}, {90, 110, 160}, {1.0, 0.6, 0.15}};
constexpr Formants kVowelO{{500, 800, 2500}, {70, 90, 160}, {1.0, 0.55, 0.08}};

}  // namespace

SoundBuffer synthRimShot(uint32_t bytes) {
    SoundBuffer s;
    if (!s.allocate(bytes)) return s;
    const std::size_t n = s.sampleCount();
    Noise noise;
    for (std::size_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / kRate;
        // A hard wooden crack (high ring), the shell's knock, and the stick's noisy hit.
        const double ring = 0.55 * std::sin(kTwoPi * 1750.0 * t) * std::exp(-t / 0.0045);
        const double knock = 0.35 * std::sin(kTwoPi * 480.0 * t) * std::exp(-t / 0.008);
        const double hit = 0.45 * noise.next() * std::exp(-t / 0.0015);
        s.setSample(i, clampSample(24000.0 * (ring + knock + hit)));
    }
    fadeTail(s, 128);
    return s;
}

SoundBuffer synthVowelTone(int id, uint32_t bytes) {
    SoundBuffer s;
    if (!s.allocate(bytes)) return s;
    const std::size_t n = s.sampleCount();
    const Formants& vowel = id == SyncSounds::kVoiceO ? kVowelO : kVowelA;
    const double f0 = noteFrequency(SyncSounds::kMaleNote, 440000) / 1000.0;
    // Harmonic amplitudes below 5 kHz.
    std::vector<double> amp;
    for (int k = 1; f0 * k < 5000.0; ++k) {
        const double f = f0 * k;
        double a = 0;
        for (int j = 0; j < 3; ++j) {
            const double x = (f - vowel.f[j]) / vowel.bw[j];
            a += vowel.gain[j] / (1.0 + x * x);
        }
        amp.push_back(a / k);  // the glottal source falls with frequency
    }
    double peak = 0;
    for (double a : amp) peak += a;
    const double scale = 11000.0 / peak;

    // "Pa": the lips open with a short burst, the vowel follows at once.
    const bool burst = id == SyncSounds::kVoicePa;
    const std::size_t voiceStart = burst ? static_cast<std::size_t>(0.012 * kRate) : 0;
    const std::size_t attack = static_cast<std::size_t>(0.015 * kRate);
    Noise noise;
    for (std::size_t i = 0; i < n; ++i) {
        double v = 0;
        if (burst && i < voiceStart + attack) {
            const double t = static_cast<double>(i) / kRate;
            v += 6000.0 * noise.next() * std::exp(-t / 0.004);
        }
        if (i >= voiceStart) {
            const std::size_t j = i - voiceStart;
            const double t = static_cast<double>(j) / kRate;
            double h = 0;
            for (std::size_t k = 0; k < amp.size(); ++k) h += amp[k] * std::sin(kTwoPi * f0 * double(k + 1) * t);
            const double env = j < attack ? static_cast<double>(j) / static_cast<double>(attack) : 1.0;
            v += scale * env * h;
        }
        s.setSample(i, clampSample(v));
    }
    fadeTail(s, static_cast<std::size_t>(0.03 * kRate));
    return s;
}

bool singSyllable(const Voice& voice, const std::string& code, uint32_t note, uint32_t bytes, SoundBuffer& out) {
    out.reset();
    const VoiceSample* sample = VoiceBank().findSampleForNote(voice, code, note);
    if (!sample || !sample->usable()) return false;
    uint32_t packed = 0, rate = 0;
    if (!decodeSampleFormatCode(voice.formatCode, packed, rate) || packed != kMono16) return false;

    SoundBuffer x;
    if (!x.assign(sample->sound())) return false;
    if (!convertRate(packed, rate, x, kRate44100)) return false;
    // Markers follow the data to 44100 Hz, on whole samples.
    const uint32_t factor = kRate44100 / rate;
    auto marker = [&](uint32_t m) { return (m / 2) * 2 * factor; };

    // Sung at the pitch the sample was recorded at: natural for any voice, and only the
    // sustain of the syllable is synthesised.
    SyllableShiftInput in;
    in.sampleFrequency = noteFrequency(sample->pitch, voice.tuning);
    in.targetFrequency = in.sampleFrequency;
    in.neededBytes = bytes;
    in.sample = &x;
    in.markerB = marker(sample->markerB);
    in.markerC = marker(sample->markerC);
    in.markerD = marker(sample->markerD);
    SyllableShiftOutput shifted;
    if (in.targetFrequency == 0 || !shiftSyllable(in, shifted)) return false;

    // The consonant stays at the start: the sound is cut (or held silent) at `bytes`.
    SoundBuffer& y = shifted.sound;
    if (!out.allocate(bytes)) return false;
    std::copy_n(y.data(), std::min<std::size_t>(bytes, y.byteLength()), out.data());
    fadeOutEnd(out);
    fadeTail(out, 64);  // the last samples reach zero whatever the fade left
    return true;
}

SyncSounds::SyncSounds() {
    for (int i = 0; i < kCount; ++i) sounds_[static_cast<std::size_t>(i)].allocate(kByteLengths[static_cast<std::size_t>(i)]);
}

SyncSounds SyncSounds::make(const Voice* voice, uint32_t note) {
    SyncSounds s;
    s.sounds_[kRimShot] = synthRimShot(kByteLengths[kRimShot]);
    for (int id = kVoiceA; id <= kVoicePa; ++id) {
        const auto k = static_cast<std::size_t>(id);
        if (voice && singSyllable(*voice, kCodes[k], note, kByteLengths[k], s.sounds_[k])) {
            s.sung_[k] = true;
            s.voiceName_ = voice->name;
        } else {
            s.sounds_[k] = synthVowelTone(id, kByteLengths[k]);
        }
    }
    return s;
}

SyncSounds SyncSounds::make(const VoiceBank& bank) {
    std::unique_ptr<Voice> read;
    auto builtIn = [&](const char* name) -> const Voice* {
        if (const Voice* v = bank.findVoice(name)) return v;
        if (bank.voiceFolder().empty()) return nullptr;
        VoiceFileReader reader;
        read = reader.readFile(bank.voiceFilePath(name), name);
        return read.get();
    };
    if (const Voice* v = builtIn(kBuiltInMaleVoice)) return make(v, kMaleNote);
    if (const Voice* v = builtIn(kBuiltInFemaleVoice)) return make(v, kFemaleNote);
    for (const auto& v : bank.voices())
        if (v) return make(v.get(), kMaleNote);
    return make(nullptr);
}

}  // namespace kantor
