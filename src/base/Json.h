#pragma once
// A small writer of JSON text for the command line's --json output.
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace kantor {

class JsonWriter {
public:
    explicit JsonWriter(bool pretty = false) : pretty_(pretty) {}

    JsonWriter& beginObject();
    JsonWriter& endObject();
    JsonWriter& beginArray();
    JsonWriter& endArray();
    // Inside an object: the key of the next value.
    JsonWriter& key(std::string_view k);

    JsonWriter& value(std::string_view s);
    JsonWriter& value(const char* s) { return value(std::string_view(s)); }
    JsonWriter& value(const std::string& s) { return value(std::string_view(s)); }
    JsonWriter& value(bool b);
    template <typename T>
        requires(std::is_integral_v<T> && !std::is_same_v<T, bool>)
    JsonWriter& value(T n) {
        if constexpr (std::is_signed_v<T>) return signedValue(static_cast<long long>(n));
        else return unsignedValue(static_cast<unsigned long long>(n));
    }
    JsonWriter& value(double d);
    JsonWriter& null();

    template <typename T>
    JsonWriter& field(std::string_view k, const T& v) {
        key(k);
        return value(v);
    }
    template <typename T>
    JsonWriter& array(std::string_view k, const std::vector<T>& items) {
        key(k);
        beginArray();
        for (const T& i : items) value(i);
        return endArray();
    }

    const std::string& str() const { return out_; }

    static std::string escape(std::string_view s);

private:
    JsonWriter& signedValue(long long n);
    JsonWriter& unsignedValue(unsigned long long n);
    void beforeValue();
    void newline();
    std::string out_;
    // One entry per open container: number of values written so far.
    std::vector<int> counts_;
    bool afterKey_ = false;
    bool pretty_;
};

}  // namespace kantor
