#pragma once
// The wave volume window's logic: the left and right volume of the wave output (the sung
// vocal), 0 to 65535 each, moved by two sliders whose top is full volume, and the "LRSync"
// switch that moves both together. A device that cannot set the sides apart forces the
// switch on.
#include <cstdint>
#include <functional>

namespace kantor {

class Settings;

class WaveVolume {
public:
    static constexpr int kSliderMax = 65535;

    // `apply` sets the device's volume (left, right); it is called only when a volume
    // changes. `volumeControls` is the device's count of volume controls (2 = per side).
    WaveVolume(Settings& settings, int volumeControls, std::function<void(uint16_t, uint16_t)> apply);

    int leftSlider() const { return kSliderMax - left_; }
    int rightSlider() const { return kSliderMax - right_; }
    bool sync() const { return sync_; }
    bool syncChangeable() const { return controls_ == 2; }

    // A slider notification at position p (0 = top). False when nothing changed, so
    // nothing went to the device.
    bool moveLeft(int p);
    bool moveRight(int p);
    void setSync(bool on);
    // On closing: the sync flag goes into the settings.
    void close();

    uint16_t left() const { return left_; }
    uint16_t right() const { return right_; }

private:
    bool move(bool leftSide, int p);

    Settings& settings_;
    int controls_;
    std::function<void(uint16_t, uint16_t)> apply_;
    uint16_t left_;
    uint16_t right_;
    bool sync_;
};

}  // namespace kantor
