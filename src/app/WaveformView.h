#pragma once
// A view of an item's samples between two positions with marker lines: the whole range
// in the properties window, and the zoomed views around a pair of markers.
#include <QWidget>
#include <cstdint>
#include <vector>

#include "voicemaker/VoiceItem.h"

namespace kantor::app {

class WaveformView : public QWidget {
    Q_OBJECT
public:
    explicit WaveformView(QWidget* parent = nullptr);

    void setSamples(std::vector<int16_t> samples);
    // The samples [first, last) fill the width.
    void setRange(int64_t first, int64_t last);
    void setMarkers(const Markers& m);
    // Zoomed views fit the loudest sample of their range to the height.
    void setAutoScale(bool on) { autoScale_ = on; }
    int64_t first() const { return first_; }
    int64_t last() const { return last_; }
    QSize sizeHint() const override { return {480, 110}; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    std::vector<int16_t> samples_;
    int64_t first_ = 0;
    int64_t last_ = 88200;
    Markers markers_;
    bool autoScale_ = false;
};

}  // namespace kantor::app
