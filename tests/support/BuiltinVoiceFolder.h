#pragma once
// Where the built-in voices the build generated are: $KANTOR_BUILTIN_VOICES, else the
// folder the build makes them in (empty when the build made none).
#include <cstdlib>
#include <string>

namespace kantor::test {

inline std::string builtinVoiceFolder() {
    if (const char* env = std::getenv("KANTOR_BUILTIN_VOICES"); env && *env) return env;
#ifdef KANTOR_BUILTIN_VOICE_DIR
    return KANTOR_BUILTIN_VOICE_DIR;
#else
    return {};
#endif
}

}  // namespace kantor::test
