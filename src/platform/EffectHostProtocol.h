#pragma once
// What the program and its effect host (kantor-effect-host) say to each other over the
// host's descriptor 3, a stream socket. All integers are 32-bit little-endian.
//
// The program starts the host with the library path as its argument. The host loads it and
// answers once:
//   hello:   magic, status (kLoaded or kNotLoaded), text length, text
// Then, for each effect application, the program sends
//   request: magic, sample rate, effect number, input length, input bytes
// and the host calls wefInitialize, wefDoEffect, (copies the output) wefFreeBuffer and
// wefDeInitialize, stopping at the first non-zero status, and answers
//   reply:   magic, outcome, failed step, code, output taken (0/1), output length,
//            output bytes (when taken), text length, text
// An outcome of kNonsense means the library gave something the host could not take (a null
// output, an output longer than it holds); the host exits after saying so. The host exits
// when the socket closes.
#include <cstdint>

namespace kantor::effecthost {

inline constexpr uint32_t kMagic = 0x3148454Bu;  // "KEH1"
inline constexpr int kSocketFd = 3;

// hello status
inline constexpr uint32_t kLoaded = 0;
inline constexpr uint32_t kNotLoaded = 1;

// reply outcome
inline constexpr uint32_t kOk = 0;
inline constexpr uint32_t kLibraryError = 1;  // a call returned a non-zero status
inline constexpr uint32_t kNonsense = 2;

// Steps as numbered in a reply (0 = none).
inline constexpr uint32_t kStepInitialize = 1;
inline constexpr uint32_t kStepDoEffect = 2;
inline constexpr uint32_t kStepFreeBuffer = 3;
inline constexpr uint32_t kStepDeInitialize = 4;

// Limits both sides hold to: no phrase or output is larger, no text longer.
inline constexpr uint32_t kMaxBlockBytes = 256u << 20;
inline constexpr uint32_t kMaxTextBytes = 4096;

}  // namespace kantor::effecthost
