#include "base/Json.h"

#include <cmath>
#include <cstdio>

namespace kantor {

std::string JsonWriter::escape(std::string_view s) {
    std::string out;
    out.reserve(s.size() + 2);
    out.push_back('"');
    for (unsigned char c : s) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c < 0x20) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", c);
                    out += buf;
                } else {
                    out.push_back(static_cast<char>(c));
                }
        }
    }
    out.push_back('"');
    return out;
}

void JsonWriter::newline() {
    if (!pretty_) return;
    out_.push_back('\n');
    out_.append(counts_.size() * 2, ' ');
}

void JsonWriter::beforeValue() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (!counts_.empty()) {
        if (counts_.back()++ > 0) out_.push_back(',');
        newline();
    }
}

JsonWriter& JsonWriter::beginObject() {
    beforeValue();
    out_.push_back('{');
    counts_.push_back(0);
    return *this;
}

JsonWriter& JsonWriter::endObject() {
    bool any = counts_.back() > 0;
    counts_.pop_back();
    if (any) newline();
    out_.push_back('}');
    return *this;
}

JsonWriter& JsonWriter::beginArray() {
    beforeValue();
    out_.push_back('[');
    counts_.push_back(0);
    return *this;
}

JsonWriter& JsonWriter::endArray() {
    bool any = counts_.back() > 0;
    counts_.pop_back();
    if (any) newline();
    out_.push_back(']');
    return *this;
}

JsonWriter& JsonWriter::key(std::string_view k) {
    beforeValue();
    out_ += escape(k);
    out_ += pretty_ ? ": " : ":";
    afterKey_ = true;
    return *this;
}

JsonWriter& JsonWriter::value(std::string_view s) {
    beforeValue();
    out_ += escape(s);
    return *this;
}

JsonWriter& JsonWriter::value(bool b) {
    beforeValue();
    out_ += b ? "true" : "false";
    return *this;
}

JsonWriter& JsonWriter::signedValue(long long n) {
    beforeValue();
    out_ += std::to_string(n);
    return *this;
}

JsonWriter& JsonWriter::unsignedValue(unsigned long long n) {
    beforeValue();
    out_ += std::to_string(n);
    return *this;
}

JsonWriter& JsonWriter::value(double d) {
    beforeValue();
    if (!std::isfinite(d)) {
        out_ += "null";
        return *this;
    }
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.17g", d);
    out_ += buf;
    return *this;
}

JsonWriter& JsonWriter::null() {
    beforeValue();
    out_ += "null";
    return *this;
}

}  // namespace kantor
