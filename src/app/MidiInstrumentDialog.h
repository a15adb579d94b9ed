#pragma once
// "Midi Instrument": the General MIDI instrument names; the choice is the voice data
// maker's guide instrument (kept in the sound settings).
#include <QDialog>
#include <QListWidget>
#include <cstdint>

namespace kantor::app {

class MidiInstrumentDialog : public QDialog {
    Q_OBJECT
public:
    MidiInstrumentDialog(uint8_t program, QWidget* parent = nullptr);
    uint8_t program() const;
    QListWidget* list() const { return list_; }

private:
    QListWidget* list_;
};

}  // namespace kantor::app
