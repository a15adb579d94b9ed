#include "app/ScratchApp.h"

#include <cstdio>

namespace kantor::app {

void ScratchApp::StderrBoxes::notice(const std::string& caption, const std::string& text) {
    std::fprintf(stderr, "[%s] %s\n", translatedCaption(caption).c_str(), translated(text).c_str());
}

ScratchApp::ScratchApp(HubOptions::Audio audio) {
    const std::string root = dir_.path().toStdString();
    AppOptions o;
    o.hub.audio = audio;
    o.hub.folders.dataDir = root + "/data";
    o.hub.folders.configDir = root + "/config";
    o.hub.folders.documentsDir = root + "/documents";
    o.prompt = &prompt_;
    o.files = &files_;
    o.panelDelayMs = 0;
    o.openUrl = [](const QString&) {};
    app_ = std::make_unique<KantorApp>(std::move(o));
}

void useOffscreenUnlessChosen() {
    if (qgetenv("QT_QPA_PLATFORM").isEmpty()) qputenv("QT_QPA_PLATFORM", "offscreen");
}

}  // namespace kantor::app
