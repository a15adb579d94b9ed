// kantor: the desktop program.
#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "app/KantorApp.h"
#include "app/Resources.h"
#include "app/Screenshots.h"
#include "KantorVersion.h"
#include "base/Translation.h"
#include "platform/Folders.h"
#include "platform/InstanceLock.h"
#include "platform/SoundLibraries.h"
#include "settings/LanguageChoice.h"
#include "settings/StartFile.h"
#include "settings/StartupTexts.h"

namespace {

const char* kUsage =
    "Usage: kantor [FILE.uta | FILE.mid]\n"
    "A singing-voice synthesizer for Japanese lyrics: opens a song (.uta) or a Standard MIDI File\n"
    "(.mid), sings the lyrics of its vocal tracks in step with the MIDI, saves songs and exports WAV.\n"
    "\n"
    "Options:\n"
    "  -h, --help            show this help and exit\n"
    "  --version             show the version and exit\n"
    "  --audio MODE          device (default), null (keep real time without sound)\n"
    "  --lang LANG           the interface language for this run: ja (Japanese, the default) or en\n"
    "                        (English); without it, the choice of 設定 > 言語 / Settings > Language\n"
    "                        (language.conf beside Kantor.ini) holds\n"
    "  --screenshots DIR     write a PNG of every window, with the demo song open, and exit\n"
    "\n"
    "The settings, voices and demo song live in the XDG folders (see kantor-cli --help).\n"
    "The demo song DEMOS20.uta is put into '<documents>/Ardlow Software/Kantor/sample/' (documents:\n"
    "XDG_DOCUMENTS_DIR, else ~/Documents, else ~) and opened by the first start; the originals\n"
    "are in share/kantor/sample/ of the install (/usr/share/kantor/sample/ from the package).\n";

}  // namespace

int main(int argc, char** argv) {
    kantor::app::AppOptions options;
    options.hub.audio = kantor::HubOptions::Audio::RealTime;
    options.firstStartOpensDemo = true;
    std::string screenshots;
    std::optional<kantor::Language> chosenLanguage;
    std::vector<const char*> rest = {argv[0]};
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "-h" || a == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (a == "--version") {
            std::printf("kantor %s\nSound libraries: %s, Qt %s\n", kantor::kVersion, kantor::soundLibraryVersions().c_str(),
                        qVersion());
            return 0;
        }
        if (a == "--audio" && i + 1 < argc) {
            const std::string m = argv[++i];
            if (m == "null") options.hub.audio = kantor::HubOptions::Audio::Null;
            continue;
        }
        if (a == "--lang" || a.rfind("--lang=", 0) == 0) {
            std::string word;
            if (a == "--lang") {
                if (i + 1 >= argc) {
                    std::fputs("kantor: --lang needs a language: ja or en\n", stderr);
                    return 2;
                }
                word = argv[++i];
            } else {
                word = a.substr(7);
            }
            kantor::Language l = kantor::Language::Japanese;
            if (!kantor::parseLanguage(word, l)) {
                std::fprintf(stderr, "kantor: unknown language '%s': ja or en\n", word.c_str());
                return 2;
            }
            chosenLanguage = l;
            continue;
        }
        if (a == "--screenshots" && i + 1 < argc) {
            screenshots = argv[++i];
            continue;
        }
        rest.push_back(argv[i]);
    }
    QApplication app(argc, argv);
    kantor::app::initResources();
    QApplication::setApplicationName("kantor");
    QApplication::setApplicationDisplayName("My Kantorellion");
    QApplication::setWindowIcon(QIcon(":/icons/kantor.svg"));
    QApplication::setDesktopFileName("kantor");
    // The language: --lang for this run, else the user's choice kept beside the settings.
    kantor::setLanguage(chosenLanguage.value_or(
        kantor::LanguageChoice::load(
            kantor::LanguageChoice::pathBeside(kantor::Folders::fromEnvironment().settingsFilePath()))
            .language));
    kantor::app::installInterfaceLanguage();
    if (!screenshots.empty()) return kantor::app::writeScreenshots(screenshots);

    kantor::InstanceLock lock;
    if (lock.acquire() == kantor::InstanceLock::Result::AlreadyRunning) {
        QMessageBox::critical(nullptr, QString::fromStdString(kantor::translated(kantor::text::kAppTitle)),
                              QString::fromStdString(kantor::translated(kantor::text::kAlreadyRunning)));
        return 1;
    }
    options.startFile = kantor::startFileFromArguments(static_cast<int>(rest.size()), rest.data());
    kantor::app::KantorApp k(std::move(options));
    QObject::connect(&k, &kantor::app::KantorApp::finished, &app, &QApplication::quit);
    k.start();
    return app.exec();
}
