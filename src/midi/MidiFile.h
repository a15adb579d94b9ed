#pragma once
// A Standard MIDI File read into two forms: one track in SMF byte form (format 0 as
// read, format 1 merged), which the stream player walks, and sixteen channel event
// lists with absolute ticks and paired notes.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "base/LastError.h"
#include "midi/ChannelEvent.h"

namespace kantor {

class MidiFile : public LastError {
public:
    static constexpr int kChannels = 16;
    static constexpr int kMaxTracks = 64;

    MidiFile() = default;
    MidiFile(const MidiFile&) = delete;
    MidiFile& operator=(const MidiFile&) = delete;

    // Loads a file and builds both forms. On failure the last error text says why and
    // nothing of the previous file remains.
    bool load(const std::string& path);
    // The same from bytes already in memory (`path` is only remembered).
    bool loadImage(std::vector<uint8_t> bytes, const std::string& path);

    // Empties the channel lists.
    void freeLists();
    // Empties everything: lists, image, path.
    void clear();

    bool isLoaded() const { return !image_.empty() && !path_.empty(); }
    const std::string& path() const { return path_; }
    const std::string& headerMagic() const { return headerMagic_; }
    uint32_t headerLength() const { return headerLength_; }
    uint16_t format() const { return format_; }
    uint16_t trackCount() const { return trackCount_; }
    uint16_t division() const { return division_; }

    // The single track: the image and the offset of the first event's delta-time in it.
    const std::vector<uint8_t>& image() const { return image_; }
    std::size_t trackDataOffset() const { return trackData_; }

    const ChannelEventList& channel(int n) const { return lists_[static_cast<std::size_t>(n)]; }
    // The tick of the final end-of-track event (0 when nothing is loaded).
    uint32_t songEndTick() const;

private:
    bool readImage(std::vector<uint8_t> bytes);
    bool mergeTracks(std::size_t headerStart);
    bool buildChannelLists();

    std::string headerMagic_;
    uint32_t headerLength_ = 0;
    uint16_t format_ = 0;
    uint16_t trackCount_ = 0;
    uint16_t division_ = 0;
    std::string path_;
    std::array<ChannelEventList, kChannels> lists_;
    std::size_t trackData_ = 0;
    std::vector<uint8_t> image_;
};

}  // namespace kantor
