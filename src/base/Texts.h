#pragma once
// Texts that several components show the user.
#include <initializer_list>
#include <string>
#include <string_view>

#include "base/Translation.h"

namespace kantor::text {

inline constexpr const char* kOutOfMemory = KANTOR_TEXT("メモリが不足しています。");

}  // namespace kantor::text

namespace kantor {

// A text template with its "%s" fields filled in, in order, and "%%" made "%", as printf
// would. Fields beyond the values given stay "%s". The templates stay whole string constants, so that the
// translation tools list them and translated() finds the filled-in text.
inline std::string fillText(std::string_view format, std::initializer_list<std::string_view> values) {
    std::string out;
    out.reserve(format.size());
    auto next = values.begin();
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size() && format[i + 1] == 's' && next != values.end()) {
            out += *next++;
            ++i;
        } else if (format[i] == '%' && i + 1 < format.size() && format[i + 1] == '%') {
            out += '%';
            ++i;
        } else {
            out += format[i];
        }
    }
    return out;
}

}  // namespace kantor
