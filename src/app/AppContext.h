#pragma once
// What every window of the desktop program reaches: the application owner, the message
// boxes, the file dialogs and the opener of help pages. Tests give scripted ones.
#include <QString>
#include <functional>

#include "app/FileChooser.h"
#include "hub/Hub.h"
#include "platform/UserPrompt.h"

namespace kantor::app {

struct AppContext {
    Hub& hub;
    UserPrompt& prompt;
    FileChooser& files;
    // Opens a page (a local file or an address) in the desktop's browser.
    std::function<void(const QString& url)> openUrl;
};

}  // namespace kantor::app
