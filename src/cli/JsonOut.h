#pragma once
// The --json output of the info commands: one object on one line, keys in the order written.
#include <nlohmann/json.hpp>
#include <ostream>

namespace kantor::cli {

using Json = nlohmann::ordered_json;

// Bytes that are not UTF-8 are written as U+FFFD, so the output is always valid JSON.
inline void writeJson(const Json& j, std::ostream& out) {
    out << j.dump(-1, ' ', false, Json::error_handler_t::replace) << "\n";
}

}  // namespace kantor::cli
