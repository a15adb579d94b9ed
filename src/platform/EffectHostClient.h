#pragma once
// Effect libraries run in a helper process of their own (kantor-effect-host), one per loaded
// library, so that a library that crashes, hangs or returns nonsense takes only its process
// with it. Each effect application must finish within the time limit (5 s by default): a host
// that does not answer by then is killed and the application reported as failed.
//
// A host ends with the thread that started it (and when its socket closes): load and run the
// libraries on one long-lived thread, the user-interface thread.
#include <chrono>
#include <memory>
#include <string>

#include "plugins/EffectLibrary.h"

namespace kantor {

class EffectHostLoader : public EffectLibraryLoader {
public:
    static constexpr std::chrono::milliseconds kDefaultTimeLimit{5000};

    // `hostPath` empty: effectHostPath().
    explicit EffectHostLoader(std::string hostPath = {}, std::chrono::milliseconds timeLimit = kDefaultTimeLimit);

    std::unique_ptr<EffectLibrary> load(const std::string& libraryPath) override;

    const std::string& hostPath() const { return hostPath_; }
    // Why the last load gave nullptr (for the command line and tests; nothing is shown).
    const std::string& lastLoadError() const { return lastLoadError_; }

private:
    std::string hostPath_;
    std::chrono::milliseconds timeLimit_;
    std::string lastLoadError_;
};

// Where the effect host is: $KANTOR_EFFECT_HOST, else beside the running program, else in
// ../lib/kantor/ from it, else where the build put it.
std::string effectHostPath();

}  // namespace kantor
