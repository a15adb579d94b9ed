#pragma once
// Points every folder the programs use at a scratch folder for the life of a test, so that
// no test touches the user's own data, settings, documents or voices.
#include <cstdlib>
#include <string>

#include "support/TempDir.h"

namespace kantor::test {

class ScratchFolders {
public:
    ScratchFolders() {
        set("KANTOR_DATA_DIR", "data");
        set("KANTOR_CONFIG_DIR", "config");
        set("KANTOR_DOCUMENTS_DIR", "documents");
        set("KANTOR_SAMPLE_DIR", "sample");
        set("KANTOR_VOICE_DIR", "voices");
    }
    ~ScratchFolders() {
        for (const char* v : {"KANTOR_DATA_DIR", "KANTOR_CONFIG_DIR", "KANTOR_DOCUMENTS_DIR", "KANTOR_SAMPLE_DIR",
                              "KANTOR_VOICE_DIR"})
            ::unsetenv(v);
    }
    std::string folder(const std::string& name) const { return dir_.file(name); }

private:
    void set(const char* variable, const char* name) { ::setenv(variable, dir_.file(name).c_str(), 1); }
    TempDir dir_;
};

}  // namespace kantor::test
