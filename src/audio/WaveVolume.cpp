#include "audio/WaveVolume.h"

#include <algorithm>

#include "settings/Settings.h"

namespace kantor {

WaveVolume::WaveVolume(Settings& settings, int volumeControls, std::function<void(uint16_t, uint16_t)> apply)
    : settings_(settings),
      controls_(volumeControls),
      apply_(std::move(apply)),
      left_(settings.waveVolumeLeft()),
      right_(settings.waveVolumeRight()),
      sync_(settings.lrSync() || volumeControls != 2) {}

bool WaveVolume::move(bool leftSide, int p) {
    const uint16_t v = static_cast<uint16_t>(kSliderMax - std::clamp(p, 0, kSliderMax));
    uint16_t& mine = leftSide ? left_ : right_;
    uint16_t& other = leftSide ? right_ : left_;
    if (v == mine) return false;
    mine = v;
    if (sync_) other = v;
    settings_.setWaveVolume(left_, right_);
    if (apply_) apply_(left_, right_);
    return true;
}

bool WaveVolume::moveLeft(int p) { return move(true, p); }
bool WaveVolume::moveRight(int p) { return move(false, p); }

void WaveVolume::setSync(bool on) { sync_ = on || controls_ != 2; }

void WaveVolume::close() { settings_.setLrSync(sync_); }

}  // namespace kantor
