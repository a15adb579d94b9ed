#pragma once
// "Wave Volume": the left and right volume of the vocal's wave output, two sliders whose top
// is full volume, and "LRSync" that moves both together.
#include <QCheckBox>
#include <QSlider>
#include <QWidget>
#include <memory>

#include "app/AppContext.h"
#include "audio/WaveVolume.h"

namespace kantor::app {

class WaveVolumeWindow : public QWidget {
    Q_OBJECT
public:
    explicit WaveVolumeWindow(AppContext& ctx, QWidget* parent = nullptr);
    QSlider* left() const { return left_; }
    QSlider* right() const { return right_; }
    QCheckBox* sync() const { return sync_; }
    const WaveVolume& model() const { return *model_; }

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void follow();
    AppContext& ctx_;
    std::unique_ptr<WaveVolume> model_;
    QSlider* left_;
    QSlider* right_;
    QCheckBox* sync_;
};

}  // namespace kantor::app
