#pragma once
// `kantor --screenshots DIR`: every window of the program with the demo song open, each
// written as DIR/<window>.png at the display's scale (run it with QT_SCALE_FACTOR=2 for
// 200%). It works in scratch folders, so the user's own settings are never touched.
#include <string>

namespace kantor::app {

int writeScreenshots(const std::string& dir);

}  // namespace kantor::app
