#pragma once
// An effect library as phrase synthesis sees it: one effect application (initialise, apply,
// free the output, de-initialise) on a block of 16-bit mono samples. Where the library's code
// runs is the implementation's business: the program runs it in a helper process, so that a
// library that crashes or hangs takes only that process with it.
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace kantor {

// The library calls of one application, in their order.
enum class EffectStep { None, Initialize, DoEffect, FreeBuffer, DeInitialize };

struct EffectRunResult {
    // False when a call returned an error code, or the library failed in a way the program
    // noticed (it crashed, did not answer in time, returned an output it does not hold).
    bool ok = true;
    EffectStep failedStep = EffectStep::None;  // the call that failed, None for a failure of the library as a whole
    int32_t code = 0;                          // its error code
    // Set once the output has been taken (the application got past wefDoEffect): the phrase
    // becomes `output`, even when a later call fails.
    bool outputTaken = false;
    std::vector<uint8_t> output;
    std::string errorText;  // the library's own text for its code, or the program's for a failure
};

class EffectLibrary {
public:
    virtual ~EffectLibrary() = default;
    virtual EffectRunResult run(uint32_t sampleRate, uint16_t effectNumber, std::span<const uint8_t> input) = 0;
};

class EffectLibraryLoader {
public:
    virtual ~EffectLibraryLoader() = default;
    // Loads a library and finds its five functions; nullptr when it cannot be loaded or
    // lacks one (nothing is shown).
    virtual std::unique_ptr<EffectLibrary> load(const std::string& libraryPath) = 0;
};

}  // namespace kantor
