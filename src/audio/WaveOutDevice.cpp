#include "audio/WaveOutDevice.h"

#include "base/Texts.h"

namespace kantor {
namespace {
constexpr std::size_t kMaxErrorText = 255;
}

WaveFormat deviceFormat(const SampleFormat& f) {
    WaveFormat w;
    w.formatTag = 1;
    w.channels = f.channels;
    w.samplesPerSec = f.sampleRate;
    w.bitsPerSample = f.bitsPerSample;
    w.blockAlign = static_cast<uint16_t>(f.channels * (f.bitsPerSample / 8));
    w.avgBytesPerSec = w.blockAlign * f.sampleRate;
    w.extraSize = 0;
    return w;
}

std::string formatText(const SampleFormat& f) {
    return std::to_string(f.bitsPerSample) + "bit, " + std::to_string(f.sampleRate) + "Hz, " +
           (f.channels == 1 ? "Mono" : "Stereo");
}

WaveOutDevice::WaveOutDevice(WaveOut& device) : device_(device) {
    for (auto& h : headers_) h = std::make_unique<WaveHeader>();
}

WaveOutDevice::~WaveOutDevice() { close(); }

bool WaveOutDevice::deviceFail(int code) {
    std::string text = device_.errorText(code);
    if (text.size() > kMaxErrorText) text.resize(kMaxErrorText);
    return fail(text);
}

bool WaveOutDevice::open(NotificationTarget* owner, uint16_t bitsPerSample, uint16_t channels, uint32_t sampleRate) {
    const SampleFormat sf{bitsPerSample, channels, sampleRate};
    const WaveFormat wf = deviceFormat(sf);
    if (open_) close();
    if (device_.queryFormat(wf) != kDeviceOk)
        return fail(fillText(KANTOR_TEXT("Wave(%s)を再生できません。"), {formatText(sf)}));
    if (device_.open(wf, owner) != kDeviceOk) return fail(KANTOR_TEXT("ウェーブ出力デバイスを開けません。"));
    open_ = true;
    blockAlign_ = wf.blockAlign;
    device_.pause();
    playing_ = false;
    device_.restart();
    return true;
}

void WaveOutDevice::cut(int k) {
    if (feedState_ != 0) return;
    if (feedOffset_ >= block_.length && !follow_.empty()) {
        // The next block carries on where this one ends.
        block_ = follow_.front();
        follow_.pop_front();
        feedOffset_ = 0;
    }
    if (feedOffset_ >= block_.length) return;
    WaveHeader& h = *headers_[static_cast<std::size_t>(k)];
    const uint32_t piece = std::min<uint32_t>(kPieceSize, block_.length - feedOffset_);
    h.data = const_cast<uint8_t*>(block_.data) + feedOffset_;  // output only reads it
    h.bufferLength = piece;
    h.bytesRecorded = piece;
    h.user = static_cast<uint64_t>(k);
    h.flags = 0;
    h.loops = 0;
    h.next = nullptr;
    h.reserved = 0;
    feedOffset_ += piece;
    headerValue_[static_cast<std::size_t>(k)] = block_.value;
    headerEnds_[static_cast<std::size_t>(k)] = feedOffset_ >= block_.length;
    if (feedOffset_ >= block_.length && follow_.empty()) h.user = kLastPiece;
}

bool WaveOutDevice::writeHeader(int k) {
    if (feedState_ == 2) return true;
    WaveHeader& h = *headers_[static_cast<std::size_t>(k)];
    if (!h.data || h.bufferLength == 0) return true;  // nothing was cut into it
    int r = device_.prepareHeader(h);
    if (r == kDeviceOk) r = device_.write(h);
    if (r != kDeviceOk) {
        device_.unprepareHeader(h);
        h.flags = 0;
        return deviceFail(r);
    }
    if (h.user == kLastPiece) feedState_ = 2;
    return true;
}

bool WaveOutDevice::feedNext(int k) {
    if (feedState_ == 2) return true;
    if (!writeHeader((k + 2) % 3)) return false;
    cut(k);
    return true;
}

bool WaveOutDevice::play(const PlayBlock& block) { return start(block, nullptr); }

bool WaveOutDevice::follow(const PlayBlock& block) {
    if (!open_) return true;
    if (!playing_) return start(block, nullptr);
    if (!block.data || block.length == 0) return true;
    clearError();
    follow_.push_back(block);
    if (feedState_ == 0) {
        // The last piece is cut and waits for its turn: it is no longer the last.
        for (int k = 0; k < 3; ++k) {
            WaveHeader& h = *headers_[static_cast<std::size_t>(k)];
            if (h.user == kLastPiece && h.flags.load() == 0) h.user = static_cast<uint64_t>(k);
        }
        return true;
    }
    // The last piece is queued already: it is the last no more, and the ring goes on after it
    // (two headers queued and one cut, as always).
    int last = -1, queued = 0;
    for (int k = 0; k < 3; ++k) {
        WaveHeader& h = *headers_[static_cast<std::size_t>(k)];
        if (h.flags.load() == 0) continue;
        ++queued;
        if (h.user == kLastPiece) last = k;
    }
    if (last < 0) return true;
    headers_[static_cast<std::size_t>(last)]->user = static_cast<uint64_t>(last);
    feedState_ = 0;
    const int next = (last + 1) % 3, after = (last + 2) % 3;
    cut(next);
    if (queued < 2) {
        if (!writeHeader(next)) {
            std::string text = lastError();
            stop();
            return fail(text);
        }
        cut(after);
    }
    return true;
}

bool WaveOutDevice::playAt(const PlayBlock& block, uint64_t frame) { return start(block, &frame); }

bool WaveOutDevice::start(const PlayBlock& block, const uint64_t* frame) {
    if (!open_) return true;
    clearError();
    if (playing_) stop();
    follow_.clear();
    finishedAny_ = false;
    if (!block.data || block.length == 0) return true;
    if (frame) device_.scheduleStart(*frame);  // unsupported: the block starts at once
    block_ = block;
    feedState_ = 0;
    feedOffset_ = 0;
    for (auto& h : headers_) {
        h->data = nullptr;
        h->bufferLength = 0;
    }
    cut(0);
    if (!writeHeader(0)) {
        std::string text = lastError();
        playing_ = true;
        stop();
        return fail(text);
    }
    cut(1);
    if (!writeHeader(1)) {
        std::string text = lastError();
        playing_ = true;
        stop();
        return fail(text);
    }
    cut(2);
    playing_ = true;
    return true;
}

bool WaveOutDevice::bufferDone(const WaveHeader* header) {
    if (!open_ || !playing_ || !header) return true;
    int k = -1;
    for (int i = 0; i < 3; ++i) {
        if (headers_[static_cast<std::size_t>(i)].get() == header) k = i;
    }
    if (k < 0) return true;
    WaveHeader& h = *headers_[static_cast<std::size_t>(k)];
    if (!(h.flags.load() & kHeaderDone)) return true;
    clearError();
    if (int r = device_.unprepareHeader(h); r != kDeviceOk) {
        deviceFail(r);
        std::string text = lastError();
        stop();
        return fail(text);
    }
    h.flags = 0;
    if (headerEnds_[static_cast<std::size_t>(k)]) {
        finishedValue_ = headerValue_[static_cast<std::size_t>(k)];
        finishedAny_ = true;
    }
    if (h.user == kLastPiece) {
        playing_ = false;
        return true;
    }
    if (!feedNext(k)) {
        std::string text = lastError();
        stop();
        return fail(text);
    }
    return true;
}

void WaveOutDevice::stop() {
    follow_.clear();
    if (!open_ || !playing_) return;
    playing_ = false;
    device_.reset();
    for (auto& h : headers_) {
        if (h->flags.load() != 0) {
            device_.unprepareHeader(*h);
            h->flags = 0;
        }
    }
    device_.restart();
}

bool WaveOutDevice::close() {
    if (!open_) return true;
    if (playing_) stop();
    int r = device_.close();
    open_ = false;
    playing_ = false;
    if (r != kDeviceOk) return deviceFail(r);
    return true;
}

bool WaveOutDevice::position(uint32_t& bytes) {
    if (!open_) return true;
    uint32_t b = 0;
    if (int r = device_.position(b); r != kDeviceOk) return deviceFail(r);
    bytes = b;
    return true;
}

bool WaveOutDevice::volumeCaps(VolumeCaps& caps) {
    caps = VolumeCaps{};
    if (device_.deviceCount() == 0) return true;
    WaveOutCaps c;
    if (int r = device_.caps(c); r != kDeviceOk) return deviceFail(r);
    if (!c.volume) return true;
    uint32_t v = 0;
    if (int r = device_.getVolume(v); r != kDeviceOk) {
        caps = VolumeCaps{};
        return deviceFail(r);
    }
    caps.controls = c.lrVolume ? 2 : 1;
    caps.left = v & 0xFFFF;
    caps.right = v >> 16;
    return true;
}

bool WaveOutDevice::setVolume(const VolumeCaps& volume) {
    if (int r = device_.setVolume((volume.left & 0xFFFF) | (volume.right << 16)); r != kDeviceOk) return deviceFail(r);
    return true;
}

}  // namespace kantor
