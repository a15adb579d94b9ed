#pragma once
// Components report failure by return value and keep a readable reason in their
// last-error text; the window or command that started the operation shows it.
#include <string>
#include <string_view>

namespace kantor {

class LastError {
public:
    const std::string& lastError() const { return lastError_; }

protected:
    void clearError() { lastError_.clear(); }
    // Sets the text and returns false, so that `return fail("...")` reads naturally.
    bool fail(std::string_view text) {
        lastError_.assign(text);
        return false;
    }

private:
    std::string lastError_;
};

}  // namespace kantor
