#include "app/Screenshots.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QPixmap>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "app/EffectorWindow.h"
#include "app/ItemPropertiesDialog.h"
#include "app/KantorApp.h"
#include "app/MidiInstrumentDialog.h"
#include "app/MidiOutputDialog.h"
#include "app/QtPrompt.h"
#include "app/RecordingWindow.h"
#include "app/SoundQualityDialog.h"
#include "app/SyncCorrectionDialog.h"
#include "app/TitleInfoWindow.h"
#include "app/VoiceBuildTargetDialog.h"
#include "app/VoiceLibraryDialog.h"
#include "app/VoiceMakerWindow.h"
#include "app/WaveVolumeWindow.h"
#include "base/FileIO.h"
#include "voice/VoiceLibrary.h"
#include "settings/StartupTexts.h"

namespace kantor::app {

namespace {

// Message boxes are drawn, not waited for.
class SilentPrompt : public UserPrompt {
public:
    void notice(const std::string&, const std::string&) override {}
    void warning(const std::string&, const std::string&) override {}
    PromptAnswer askYesNo(const std::string&, const std::string&) override { return PromptAnswer::Yes; }
    PromptAnswer askYesNoCancel(const std::string&, const std::string&) override { return PromptAnswer::No; }
};

bool save(QWidget* w, const QString& dir, const char* name) {
    w->show();
    w->adjustSize();
    QApplication::processEvents();
    const QString path = QDir(dir).filePath(QString(name) + ".png");
    const bool ok = w->grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", path.toLocal8Bit().constData());
    return ok;
}

// A project of a few sung vowels, for when the built-in voice's project is not at hand.
void fillDemoProject(VoiceProject& project) {
    project.voiceName = "Demo";
    const struct {
        const char* code;
        const char* kana;
        int note;
        double f0;
    } rows[] = {{"A", "あ", 72, 261.6}, {"I", "い", 72, 261.6}, {"U", "う", 72, 261.6}, {"KA", "か", 74, 293.7}};
    for (const auto& r : rows) {
        auto item = VoiceItem::make(r.code, r.kana, r.note);
        std::vector<int16_t> x(88200, 0);
        for (std::size_t i = 15000; i < 80000; ++i) {
            const double t = double(i - 15000) / 44100.0;
            const double env = std::min({1.0, t / 0.03, (80000 - double(i)) / 4410.0});
            double v = 0;
            for (int h = 1; h <= 6; ++h) v += std::sin(2 * M_PI * r.f0 * h * t + h) / h;
            x[i] = static_cast<int16_t>(6000 * env * v);
        }
        setItemSound(*item, x);
        item->setMarkers({14500, 15000, 30000, 40000});
        project.items.push_back(std::move(item));
    }
    project.items.insert(project.items.begin() + 2, VoiceItem::blank());
}

int writeMakerScreenshots(KantorApp& app, const QString& dir) {
    int failures = 0;
    VoiceMakerWindow maker(app.context());
    const std::string builtIn = std::string(KANTOR_VOICES_BUILD_DIR) + "/voicegen/MaleVox/MaleVox.vxbprj";
    if (!fileExists(builtIn) || !maker.openProjectPath(builtIn)) {
        maker.project().clear();
        fillDemoProject(maker.project());
    }
    maker.refresh();
    int line = 0;
    for (std::size_t i = 0; i < maker.project().items.size(); ++i) {
        const auto& item = maker.project().items[i];
        if (item && item->hasData() && item->hasProperties()) {
            line = static_cast<int>(i);
            break;
        }
    }
    maker.selectLines({line});
    maker.selectCode(1);
    failures += !save(&maker, dir, "voice-maker");
    ItemPropertiesDialog properties(app.context(), maker.project(), line);
    failures += !save(&properties, dir, "voice-item-properties");
    RecordingWindow recording(app.context(), maker.project());
    for (int r = 0; r < 3 && r < recording.list()->count(); ++r) recording.list()->item(r)->setSelected(true);
    failures += !save(&recording, dir, "voice-recording");
    MidiInstrumentDialog instrument(52);
    failures += !save(&instrument, dir, "midi-instrument");
    VoiceBuildTargetDialog target(app.hub().voices());
    failures += !save(&target, dir, "voice-build-target");
    // A voice of the user's own, as an imported copy of the built-in one.
    VoiceLibrary voices(app.hub().folders().voiceFolder());
    std::string imported;
    voices.importVoice(voices.voicePath(kBuiltInMaleVoice), imported);
    VoiceLibraryDialog library(app.context(), VoiceLibraryDialog::Mode::Export, imported);
    failures += !save(&library, dir, "voice-library-export");
    return failures;
}

}  // namespace

int writeScreenshots(const std::string& dirText) {
    const QString dir = QString::fromStdString(dirText);
    QDir().mkpath(dir);
    QTemporaryDir scratch;
    if (!scratch.isValid()) return 1;
    const std::string root = scratch.path().toStdString();
    SilentPrompt prompt;
    ScriptedFileChooser files;
    AppOptions o;
    o.hub.audio = HubOptions::Audio::Null;  // the transport buttons as a user sees them
    o.hub.folders.dataDir = root + "/data";
    o.hub.folders.configDir = root + "/config";
    o.hub.folders.documentsDir = root + "/documents";
    o.prompt = &prompt;
    o.files = &files;
    o.openUrl = [](const QString&) {};
    KantorApp app(std::move(o));
    app.hub().startUp();
    int failures = 0;

    HubWindow hubWindow;
    failures += !save(&hubWindow, dir, "hub-window");
    hubWindow.hide();

    MainPanel* panel = app.showPanel();
    failures += !save(panel, dir, "main-panel-empty");
    const std::string demo = app.hub().folders().sampleFolder() + names::kDemoSong;
    if (!app.hub().openSong(demo)) {
        std::fprintf(stderr, "the demo song %s did not open\n", demo.c_str());
        return 1;
    }
    // A position in the second line of the song, with its lyric line.
    const PanelSteps steps = app.hub().steps();
    app.hub().setCurrentPosition(steps.snap(app.hub().tempoMap().division() * 4 * 9));
    panel->refresh();
    failures += !save(panel, dir, "main-panel");

    TitleInfoWindow title(app.context());
    failures += !save(&title, dir, "title-info");
    TitleInputDialog input(app.hub().song().titleInfo());
    failures += !save(&input, dir, "title-input");
    WaveVolumeWindow volume(app.context());
    failures += !save(&volume, dir, "wave-volume");
    MidiOutputDialog midi(app.context());
    failures += !save(&midi, dir, "midi-output");

    // The shipped effects registered, as a user who added them would see them.
    std::vector<std::string> shipped;
    for (const char* name : {"echo", "tone"}) {
        for (const std::string& folder : {app.hub().folders().installFolder() + "/../lib/kantor/effects",
                                          std::string(KANTOR_EFFECTS_BUILD_DIR)}) {
            const std::string path = folder + "/" + name + "/" + name + ".ncp";
            if (fileExists(path)) {
                shipped.push_back(path);
                break;
            }
        }
    }
    app.hub().settings().setPluginFiles(shipped);
    EffectorWindow effector(app.context());
    effector.plugins()->setCurrentRow(0);
    failures += !save(&effector, dir, "effector-settings");
    std::array<int32_t, 3> chosen{};
    if (!shipped.empty()) chosen[0] = int32_t(1 | (2u << 16));
    EffectorWindow selection(app.context(), chosen);
    selection.plugins()->setCurrentRow(0);
    failures += !save(&selection, dir, "effector-selection");
    SyncCorrectionDialog sync(app.context());
    failures += !save(&sync, dir, "sync-correction");
    SoundQualityDialog quality(app.hub().settings().outputQualityCode());
    failures += !save(&quality, dir, "sound-quality");

    failures += writeMakerScreenshots(app, dir);

    QMessageBox first(QMessageBox::Information, text::kFirstRunCaption, text::kFirstRunNotice, QMessageBox::Ok);
    fitText(first, text::kFirstRunNotice);
    failures += !save(&first, dir, "first-run-notice");
    QMessageBox save1(QMessageBox::Warning, "確認", "歌声データを保存しますか？",
                      QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    failures += !save(&save1, dir, "save-prompt");
    return failures == 0 ? 0 : 1;
}

}  // namespace kantor::app
