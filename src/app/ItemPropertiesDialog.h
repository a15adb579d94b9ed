#pragma once
// "Properties :: <item>": places an item's four markers with sliders, fine-adjust buttons
// or the automatic marker engine ("Auto"), sets its level, and previews the item sung as
// the voice would sing it. OK stores the markers and level in the item (refused while a
// marker lies beyond the data).
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTimer>
#include <array>
#include <memory>

#include "app/AppContext.h"
#include "app/WaveformView.h"
#include "voicemaker/MakerListening.h"
#include "voicemaker/MarkerRules.h"
#include "voicemaker/VoiceProject.h"

namespace kantor::app {

class ItemPropertiesDialog : public QDialog {
    Q_OBJECT
public:
    ItemPropertiesDialog(AppContext& ctx, VoiceProject& project, int line, QWidget* parent = nullptr);
    ~ItemPropertiesDialog() override;

    const Markers& markers() const { return markers_; }
    // A marker moved as the slider or the fine-adjust buttons move it.
    void moveTo(MarkerId id, int64_t value);
    void step(MarkerId id, int direction);
    // "Auto": the automatic markers, shown for the user to adjust before OK.
    bool autoMarkers();
    void accept() override;
    void reject() override;
    void preview();
    void stopPreview();
    QString markerText(int i) const { return values_[static_cast<std::size_t>(i)]->text(); }
    QString distanceText(int i) const { return i == 0 ? abText_->text() : cdText_->text(); }

private:
    void showMarkers();
    void follow();
    void finish();

    AppContext& ctx_;
    VoiceProject& project_;
    VoiceItem& item_;
    Markers markers_;
    uint32_t sampleCount_;
    bool zoomCD_ = false;
    std::shared_ptr<DeviceSet> devices_;
    std::unique_ptr<MidiStream> stream_;
    std::unique_ptr<WaveOut> waveOut_;
    std::unique_ptr<PerformancePlayer> player_;

    WaveformView* whole_;
    WaveformView* zoomLeft_;
    WaveformView* zoomRight_;
    QLabel* zoomLeftText_;
    QLabel* zoomRightText_;
    std::array<QSlider*, 4> sliders_{};
    std::array<QLabel*, 4> values_{};
    QLabel* abText_;
    QLabel* cdText_;
    QComboBox* leftStep_;
    QComboBox* rightStep_;
    QCheckBox* normalize_;
    QSpinBox* volume_;
    QComboBox* times_;
    QComboBox* transpose_;
    QComboBox* length_;
    QCheckBox* instrument_;
    QCheckBox* drum_;
    QComboBox* drumKind_;
    QPushButton* play_;
    QTimer follow_;
    bool updating_ = false;
    bool finished_ = false;
};

}  // namespace kantor::app
