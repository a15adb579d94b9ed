// The voice data project reader on arbitrary bytes; what it reads must write back to a
// file that reads the same, and the build, list lines and marker placement must cope
// with whatever the items hold.
#include <cstddef>
#include <cstdint>

#include "voicemaker/AutoMarker.h"
#include "voicemaker/MarkerRules.h"
#include "voicemaker/VoiceBuilder.h"
#include "voicemaker/VoiceProject.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kantor::VoiceProject project;
    if (!project.loadBytes({data, size})) return 0;
    std::vector<uint8_t> again = project.toBytes();
    kantor::VoiceProject second;
    if (!second.loadBytes(again)) __builtin_trap();
    if (second.items.size() != project.items.size()) __builtin_trap();
    for (std::size_t i = 0; i < project.items.size(); ++i) {
        const kantor::VoiceItem& a = *project.items[i];
        const kantor::VoiceItem& b = *second.items[i];
        if (a.isBlank() != b.isBlank()) __builtin_trap();
        if (!a.isBlank() && b.dataLength() != kantor::storedDataLength(a.dataLength())) __builtin_trap();
        (void)a.listLine();
    }
    // Texts may change once (a cut field, trailing blanks, characters cp932 lacks), then
    // writing and reading agree.
    std::vector<uint8_t> settled = second.toBytes();
    kantor::VoiceProject third;
    if (!third.loadBytes(settled) || third.toBytes() != settled) __builtin_trap();

    std::vector<uint8_t> voice;
    kantor::VoiceBuilder builder;
    (void)builder.buildBytes(project, voice);
    // Marker placement is slow next to parsing: only one input in eight tries it.
    const bool mark = size > 0 && (data[size - 1] & 7) == 0;
    for (auto& item : project.items) {
        if (!item->hasData()) continue;
        kantor::Markers m = kantor::markersForEditing(*item);
        kantor::moveMarker(m, kantor::MarkerId::B, item->markerB, item->sampleCount());
        if (mark && item->dataLength() <= 8000 && kantor::autoMark(*item)) {
            if (!kantor::markersFollowRules(item->markers(), item->sampleCount())) __builtin_trap();
        }
    }
    return 0;
}
