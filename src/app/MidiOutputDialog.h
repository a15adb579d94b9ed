#pragma once
// Where the MIDI of a song goes: the embedded synthesizer or an ALSA sequencer port of an
// external synthesizer. The choice takes effect at once and is kept beside the settings.
#include <QDialog>
#include <QLineEdit>
#include <QRadioButton>

#include "app/AppContext.h"

namespace kantor::app {

class MidiOutputDialog : public QDialog {
    Q_OBJECT
public:
    explicit MidiOutputDialog(AppContext& ctx, QWidget* parent = nullptr);
    void accept() override;
    QRadioButton* embedded() const { return embedded_; }
    QRadioButton* alsa() const { return alsa_; }
    QLineEdit* port() const { return port_; }

private:
    AppContext& ctx_;
    QRadioButton* embedded_;
    QRadioButton* alsa_;
    QLineEdit* port_;
};

}  // namespace kantor::app
