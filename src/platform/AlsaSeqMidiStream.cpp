#include "platform/AlsaSeqMidiStream.h"

#include <alsa/asoundlib.h>

namespace kantor {
namespace {

snd_seq_t* asSeq(void* p) { return static_cast<snd_seq_t*>(p); }

}  // namespace

AlsaSeqSink::~AlsaSeqSink() { closePort(); }

int AlsaSeqSink::openPort(const std::string& destination) {
    if (seq_) return kDeviceOk;
    snd_seq_t* seq = nullptr;
    if (snd_seq_open(&seq, "default", SND_SEQ_OPEN_OUTPUT, 0) < 0) return kDeviceNoDriver;
    snd_seq_set_client_name(seq, "kantor");
    int port = snd_seq_create_simple_port(seq, "MIDI out", SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ,
                                          SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    if (port < 0) {
        snd_seq_close(seq);
        return kDeviceError;
    }
    if (!destination.empty()) {
        snd_seq_addr_t addr;
        if (snd_seq_parse_address(seq, &addr, destination.c_str()) < 0 ||
            snd_seq_connect_to(seq, port, addr.client, addr.port) < 0) {
            snd_seq_close(seq);
            return kDeviceBadId;
        }
    }
    seq_ = seq;
    port_ = port;
    return kDeviceOk;
}

void AlsaSeqSink::closePort() {
    if (seq_) snd_seq_close(asSeq(seq_));
    seq_ = nullptr;
    port_ = -1;
}

void AlsaSeqSink::shortMessage(uint64_t, uint8_t status, uint8_t d1, uint8_t d2) {
    if (!seq_) return;
    snd_seq_event_t ev;
    snd_seq_ev_clear(&ev);
    const int ch = status & 0x0F;
    switch (status & 0xF0) {
        case 0x80: snd_seq_ev_set_noteoff(&ev, ch, d1, d2); break;
        case 0x90: snd_seq_ev_set_noteon(&ev, ch, d1, d2); break;
        case 0xA0: snd_seq_ev_set_keypress(&ev, ch, d1, d2); break;
        case 0xB0: snd_seq_ev_set_controller(&ev, ch, d1, d2); break;
        case 0xC0: snd_seq_ev_set_pgmchange(&ev, ch, d1); break;
        case 0xD0: snd_seq_ev_set_chanpress(&ev, ch, d1); break;
        case 0xE0: snd_seq_ev_set_pitchbend(&ev, ch, (d1 | (d2 << 7)) - 8192); break;
        default: return;
    }
    snd_seq_ev_set_source(&ev, port_);
    snd_seq_ev_set_subs(&ev);
    snd_seq_ev_set_direct(&ev);
    snd_seq_event_output_direct(asSeq(seq_), &ev);
}

void AlsaSeqSink::longMessage(uint64_t, const uint8_t* data, uint32_t length) {
    if (!seq_ || length == 0 || data[0] != 0xF0) return;
    snd_seq_event_t ev;
    snd_seq_ev_clear(&ev);
    snd_seq_ev_set_sysex(&ev, length, const_cast<uint8_t*>(data));
    snd_seq_ev_set_source(&ev, port_);
    snd_seq_ev_set_subs(&ev);
    snd_seq_ev_set_direct(&ev);
    snd_seq_event_output_direct(asSeq(seq_), &ev);
}

void AlsaSeqSink::silence() {
    for (uint8_t ch = 0; ch < 16; ++ch) shortMessage(0, static_cast<uint8_t>(0xB0 | ch), 123, 0);  // all notes off
}

AlsaSeqMidiStream::AlsaSeqMidiStream(AudioEngine& engine, NotificationQueue& queue, std::string destination)
    : SequencedMidiStream(engine, queue, sink_), destination_(std::move(destination)) {}

AlsaSeqMidiStream::~AlsaSeqMidiStream() {
    if (isOpen()) SequencedMidiStream::close();
}

int AlsaSeqMidiStream::openDevice() { return sink_.openPort(destination_); }

void AlsaSeqMidiStream::closeDevice() { sink_.closePort(); }

}  // namespace kantor
