#pragma once
#include <string>

namespace kantor {

// The name of a note number in the system's own pitch names, where note 60 is "C3"
// and note 72 is "C4".
std::string pitchName(int note);

}  // namespace kantor
