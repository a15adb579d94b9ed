#include "platform/EmbeddedSynth.h"

#include <fluidsynth.h>

#include <filesystem>

namespace kantor {
namespace {

fluid_synth_t* asSynth(void* p) { return static_cast<fluid_synth_t*>(p); }

void quietLog(int, const char*, void*) {}

}  // namespace

std::string EmbeddedSynth::defaultSoundFont() {
    for (const char* p : {"/usr/share/sounds/sf2/default-GM.sf2", "/usr/share/sounds/sf2/FluidR3_GM.sf2"}) {
        std::error_code ec;
        if (std::filesystem::is_regular_file(p, ec)) return p;
    }
    return "";
}

EmbeddedSynth::EmbeddedSynth(AudioEngine& engine)
    : engine_(engine), events_(kMaxEvents), pool_(kPoolSize), left_(AudioEngine::kMaxBlock), right_(AudioEngine::kMaxBlock) {}

EmbeddedSynth::~EmbeddedSynth() {
    engine_.detach(this);
    if (synth_) delete_fluid_synth(asSynth(synth_));
    if (settings_) delete_fluid_settings(static_cast<fluid_settings_t*>(settings_));
}

bool EmbeddedSynth::load(const std::string& soundFont) {
    clearError();
    if (synth_) return true;
    for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG}) {
        fluid_set_log_function(level, quietLog, nullptr);
    }
    auto* settings = new_fluid_settings();
    if (!settings) return fail("The synthesizer could not be created.");
    fluid_settings_setnum(settings, "synth.sample-rate", AudioEngine::kSampleRate);
    fluid_settings_setint(settings, "synth.threadsafe-api", 1);
    // Only the samples the song uses are read from the SoundFont.
    fluid_settings_setint(settings, "synth.dynamic-sample-loading", 1);
    auto* synth = new_fluid_synth(settings);
    if (!synth) {
        delete_fluid_settings(settings);
        return fail("The synthesizer could not be created.");
    }
    if (fluid_synth_sfload(synth, soundFont.c_str(), 1) == FLUID_FAILED) {
        delete_fluid_synth(synth);
        delete_fluid_settings(settings);
        return fail("The SoundFont could not be loaded: " + soundFont);
    }
    settings_ = settings;
    synth_ = synth;
    engine_.attach(this, EngineStage::Source);
    return true;
}

void EmbeddedSynth::shortMessage(uint64_t frame, uint8_t status, uint8_t data1, uint8_t data2) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (eventCount_ == kMaxEvents) return;
    events_[eventCount_++] = {frame, status, data1, data2, 0, 0};
}

void EmbeddedSynth::longMessage(uint64_t frame, const uint8_t* data, uint32_t length) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (eventCount_ == kMaxEvents || length > kPoolSize - poolUsed_) return;
    std::copy(data, data + length, pool_.begin() + static_cast<std::ptrdiff_t>(poolUsed_));
    events_[eventCount_++] = {frame, 0, 0, 0, static_cast<uint32_t>(poolUsed_), length};
    poolUsed_ += length;
}

void EmbeddedSynth::silence() { silencePending_ = true; }

void EmbeddedSynth::preparePrograms(const std::vector<std::pair<int, int>>& channelPrograms) {
    if (!synth_) return;
    fluid_synth_t* s = asSynth(synth_);
    for (auto [ch, program] : channelPrograms) {
        if (ch >= 0 && ch < 16 && program >= 0 && program < 128) fluid_synth_program_change(s, ch, program);
    }
}

void EmbeddedSynth::apply(const Event& e) {
    fluid_synth_t* s = asSynth(synth_);
    if (e.status == 0) {
        const uint8_t* d = pool_.data() + e.longOffset;
        uint32_t n = e.longLength;
        // FluidSynth takes the message without its leading 0xF0 and closing 0xF7.
        if (n >= 2 && d[0] == 0xF0 && d[n - 1] == 0xF7) {
            fluid_synth_sysex(s, reinterpret_cast<const char*>(d + 1), static_cast<int>(n - 2), nullptr, nullptr,
                              nullptr, 0);
        }
        return;
    }
    const int ch = e.status & 0x0F;
    switch (e.status & 0xF0) {
        case 0x80: fluid_synth_noteoff(s, ch, e.data1); break;
        case 0x90:
            if (e.data2 == 0) {
                fluid_synth_noteoff(s, ch, e.data1);
            } else {
                fluid_synth_noteon(s, ch, e.data1, e.data2);
            }
            break;
        case 0xA0: fluid_synth_key_pressure(s, ch, e.data1, e.data2); break;
        case 0xB0: fluid_synth_cc(s, ch, e.data1, e.data2); break;
        case 0xC0: fluid_synth_program_change(s, ch, e.data1); break;
        case 0xD0: fluid_synth_channel_pressure(s, ch, e.data1); break;
        case 0xE0: fluid_synth_pitch_bend(s, ch, e.data1 | (e.data2 << 7)); break;
        default: break;
    }
}

void EmbeddedSynth::renderInto(float* mix, uint32_t from, uint32_t to) {
    if (to <= from) return;
    const int n = static_cast<int>(to - from);
    fluid_synth_write_float(asSynth(synth_), n, left_.data(), 0, 1, right_.data(), 0, 1);
    for (uint32_t i = 0; i < to - from; ++i) {
        mix[2 * (from + i)] += left_[i];
        mix[2 * (from + i) + 1] += right_[i];
    }
}

void EmbeddedSynth::process(float* mix, const float*, uint32_t frames, uint64_t frame) {
    if (!synth_) return;
    std::lock_guard<std::mutex> lock(mutex_);
    if (silencePending_.exchange(false)) fluid_synth_all_notes_off(asSynth(synth_), -1);
    // Messages of several streams may interleave: order them by frame, keeping arrival order.
    for (std::size_t i = 1; i < eventCount_; ++i) {
        Event e = events_[i];
        std::size_t j = i;
        while (j > 0 && events_[j - 1].frame > e.frame) {
            events_[j] = events_[j - 1];
            --j;
        }
        events_[j] = e;
    }
    uint32_t rendered = 0;
    for (std::size_t i = 0; i < eventCount_; ++i) {
        const Event& e = events_[i];
        uint32_t at = e.frame > frame ? static_cast<uint32_t>(std::min<uint64_t>(e.frame - frame, frames)) : 0;
        renderInto(mix, rendered, at);
        rendered = std::max(rendered, at);
        apply(e);
    }
    renderInto(mix, rendered, frames);
    eventCount_ = 0;
    poolUsed_ = 0;
}

}  // namespace kantor
