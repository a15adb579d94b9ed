#pragma once
// Texts that several components show the user.

namespace kantor::text {

inline constexpr const char* kOutOfMemory = "メモリが不足しています。";

}  // namespace kantor::text
