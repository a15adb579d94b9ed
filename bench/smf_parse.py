#!/usr/bin/env python3
"""Reads every event of a Standard MIDI File the way a pure-Python MIDI library does
(one object per message, running status, meta and sysex events, delta times), as a
stand-in for mido where mido is not installed. Usage: smf_parse.py FILE.mid"""
import struct
import sys


class Message:
    __slots__ = ("type", "channel", "data", "time")

    def __init__(self, type_, channel, data, time):
        self.type, self.channel, self.data, self.time = type_, channel, data, time


def read_varlen(data, pos):
    value = 0
    while True:
        b = data[pos]
        pos += 1
        value = (value << 7) | (b & 0x7F)
        if b < 0x80:
            return value, pos


LENGTHS = {0x80: 2, 0x90: 2, 0xA0: 2, 0xB0: 2, 0xC0: 1, 0xD0: 1, 0xE0: 2}
TYPES = {0x80: "note_off", 0x90: "note_on", 0xA0: "polytouch", 0xB0: "control_change",
         0xC0: "program_change", 0xD0: "aftertouch", 0xE0: "pitchwheel"}


def read_track(data):
    messages, pos, status = [], 0, 0
    while pos < len(data):
        delta, pos = read_varlen(data, pos)
        b = data[pos]
        if b == 0xFF:
            kind = data[pos + 1]
            length, pos = read_varlen(data, pos + 2)
            messages.append(Message("meta_%02x" % kind, None, bytes(data[pos:pos + length]), delta))
            pos += length
            continue
        if b in (0xF0, 0xF7):
            length, pos = read_varlen(data, pos + 1)
            messages.append(Message("sysex", None, bytes(data[pos:pos + length]), delta))
            pos += length
            continue
        if b & 0x80:
            status = b
            pos += 1
        n = LENGTHS[status & 0xF0]
        messages.append(Message(TYPES[status & 0xF0], status & 0x0F, list(data[pos:pos + n]), delta))
        pos += n
    return messages


def main(path):
    with open(path, "rb") as f:
        data = f.read()
    if data[:4] != b"MThd":
        raise SystemExit("not a MIDI file")
    length, fmt, ntracks, division = struct.unpack(">IHHH", data[4:14])
    pos, tracks = 8 + length, []
    while pos + 8 <= len(data) and len(tracks) < ntracks:
        kind, size = struct.unpack(">4sI", data[pos:pos + 8])
        if kind == b"MTrk":
            tracks.append(read_track(data[pos + 8:pos + 8 + size]))
        pos += 8 + size
    return fmt, division, tracks


if __name__ == "__main__":
    main(sys.argv[1])
