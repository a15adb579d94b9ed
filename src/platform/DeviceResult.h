#pragma once
// Result codes of the platform's MIDI stream and wave devices, and their texts.
#include <string>

namespace kantor {

enum DeviceResult : int {
    kDeviceOk = 0,
    kDeviceError = 1,
    kDeviceBadId = 2,
    kDeviceInvalidHandle = 5,
    kDeviceNoDriver = 6,
    kDeviceNoMemory = 7,
    kDeviceNotSupported = 8,
    kDeviceInvalidParameter = 11,
    kDeviceBadFormat = 32,
    kDeviceStillPlaying = 33,
    kDeviceUnprepared = 34,
};

// The text for a result code, as the devices' error-text functions give it.
inline std::string deviceErrorText(int code) {
    switch (code) {
        case kDeviceOk: return "The specified command was carried out.";
        case kDeviceError: return "Undefined external error.";
        case kDeviceBadId: return "A device ID has been used that is out of range for your system.";
        case kDeviceInvalidHandle: return "The specified device handle is invalid.";
        case kDeviceNoDriver: return "There is no driver installed on your system.";
        case kDeviceNoMemory: return "There is not enough memory available for this task.";
        case kDeviceNotSupported: return "This function is not supported.";
        case kDeviceInvalidParameter: return "An invalid parameter was passed to a system function.";
        case kDeviceBadFormat: return "The specified format is not supported or cannot be translated.";
        case kDeviceStillPlaying: return "Cannot perform this operation while media data is still playing.";
        case kDeviceUnprepared: return "The buffer has not been prepared.";
        default: return "Unknown device error " + std::to_string(code) + ".";
    }
}

}  // namespace kantor
