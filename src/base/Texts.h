#pragma once
// Texts that several components show the user.
#include "base/Translation.h"

namespace kantor::text {

inline constexpr const char* kOutOfMemory = KANTOR_TEXT("メモリが不足しています。");

}  // namespace kantor::text
