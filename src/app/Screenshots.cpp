#include "app/Screenshots.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QImage>
#include <QDir>
#include <QPainter>
#include <QMessageBox>
#include <QPixmap>
#include <QTemporaryDir>
#include <QToolButton>
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "app/ChannelListWindow.h"
#include "app/ChannelScoreWindow.h"
#include "app/ChannelSettingsDialogs.h"
#include "app/EditDialogs.h"
#include "app/EffectorWindow.h"
#include "app/LyricInputWindow.h"
#include "app/MuteSoloWindow.h"
#include "app/RomajiListWindow.h"
#include "app/WaveInsertWindow.h"
#include "app/ItemPropertiesDialog.h"
#include "app/KantorApp.h"
#include "app/ScratchApp.h"
#include "app/MidiInstrumentDialog.h"
#include "app/Mnemonics.h"
#include "app/TextCheck.h"
#include "app/MidiOutputDialog.h"
#include "app/NoteSettingsDialog.h"
#include "app/NoteVoiceWindow.h"
#include "app/WindowPlacement.h"
#include "app/QtPrompt.h"
#include "app/RecordingWindow.h"
#include "app/ScorePartDialog.h"
#include "app/SoundQualityDialog.h"
#include "app/SyncCorrectionDialog.h"
#include "app/TitleInfoWindow.h"
#include "app/VoiceBuildTargetDialog.h"
#include "app/BankImportDialog.h"
#include "app/VoiceLibraryDialog.h"
#include "app/VoiceMakerWindow.h"
#include "app/WaveVolumeWindow.h"
#include "base/FileIO.h"
#include "base/Translation.h"
#include "voice/VoiceLibrary.h"
#include "settings/StartupTexts.h"

namespace kantor::app {

namespace {

// A button that would show nothing: enabled, no text, and an icon that draws no pixel (an
// SVG icon without Qt's SVG plug-in, a missing resource). An unset one-click length is blank
// on purpose, and disabled.
bool blank(const QAbstractButton& b) {
    if (!b.text().isEmpty() || !b.isVisible() || !b.isEnabled() || b.inherits("QCheckBox") || b.inherits("QRadioButton")) return false;
    if (const auto* tool = qobject_cast<const QToolButton*>(&b); tool && tool->arrowType() != Qt::NoArrow) return false;
    const QSize size = b.iconSize().isValid() ? b.iconSize() : QSize(16, 16);
    const QImage image = b.icon().pixmap(size).toImage();
    if (image.isNull()) return true;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) != 0) return false;
    return true;
}

// Writes the picture; a window whose Alt-key letters clash, or that has a blank button,
// fails as well.
bool write(QWidget* w, const QString& dir, const char* name) {
    const QString path = QDir(dir).filePath(QString(name) + ".png");
    bool ok = w->grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", path.toLocal8Bit().constData());
    for (const QString& clash : mnemonicClashes(w)) {
        std::printf("MNEMONIC CLASH in %s: %s\n", name, clash.toUtf8().constData());
        ok = false;
    }
    for (const QAbstractButton* b : w->findChildren<QAbstractButton*>()) {
        if (!blank(*b)) continue;
        std::printf("BLANK BUTTON in %s: %s\n", name,
                    (b->objectName().isEmpty() ? b->toolTip() : b->objectName()).toUtf8().constData());
        ok = false;
    }
    // Texts that do not fit are reported; so is Japanese left in a window drawn in English
    // (song data such as lyrics may show in labels, so neither fails the run).
    for (const QString& cut : cutTexts(w)) std::printf("CUT TEXT in %s: %s\n", name, cut.toUtf8().constData());
    if (language() == Language::English)
        for (const QString& t : japaneseTexts(w)) std::printf("JAPANESE TEXT in %s: %s\n", name, t.toUtf8().constData());
    return ok;
}

bool save(QWidget* w, const QString& dir, const char* name) {
    w->show();
    w->adjustSize();
    QApplication::processEvents();
    return write(w, dir, name);
}

// A window drawn at the size it was given.
bool saveAsIs(QWidget* w, const QString& dir, const char* name) {
    w->show();
    QApplication::processEvents();
    return write(w, dir, name);
}

// The score and the note voice window where they are on the screen: the note voice window
// beside the score, not over it.
bool saveDesktop(QWidget* score, QWidget* noteVoice, const QString& dir, const char* name) {
    if (!score || !noteVoice) {
        std::printf("FAILED %s: no note voice window beside the score\n", name);
        return false;
    }
    noteVoice->show();
    QApplication::processEvents();
    const WindowRect d = desktopRect(score);
    const QRect desk(int(d.left), int(d.top), int(d.right - d.left), int(d.bottom - d.top));
    const QRect both = desk.united(score->frameGeometry()).united(noteVoice->frameGeometry());
    const qreal ratio = score->devicePixelRatioF();
    QImage image((both.size() * ratio), QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(QColor(60, 64, 72));
    QPainter p(&image);
    p.fillRect(desk.translated(-both.topLeft()), QColor(96, 104, 116));
    for (QWidget* w : {score, noteVoice}) p.drawPixmap(w->geometry().topLeft() - both.topLeft(), w->grab());
    p.end();
    const QString path = QDir(dir).filePath(QString(name) + ".png");
    const bool ok = image.save(path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", path.toLocal8Bit().constData());
    if (noteVoice->frameGeometry().intersects(score->frameGeometry()))
        std::printf("NOTE: %s: the note voice window covers part of the score (the screen has no room beside it)\n", name);
    return ok;
}

// The note voice window and the editing dialogs on the first sung note of the demo song.
int noteEditingScreenshots(KantorApp& app, const QString& dir) {
    Song& song = app.hub().song();
    int c = -1;
    std::size_t note = 0;
    for (int ch = 0; ch < Song::kChannels && c < 0; ++ch) {
        const auto& events = song.channel(ch).events;
        for (std::size_t i = 0; i < events.size(); ++i) {
            if (events[i] && events[i]->phraseIndex != 0 && events[i]->hasSyllable()) {
                c = ch;
                note = i;
                break;
            }
        }
    }
    if (c < 0) {
        std::fprintf(stderr, "the demo song has no sung phrase\n");
        return 1;
    }
    int failures = 0;
    app.hub().settings().setOneClickLengths({240, 480, 960, 1920, 0});
    {
        NoteVoiceWindow* w = NoteVoiceWindow::open(app.context(), c, note + 1);
        failures += !save(w, dir, "note-voice");
        w->close();
    }
    {
        // The note settings of the first sung note, with a vibrato and a power of its own.
        NoteSettingsDialog settings(app.context(), c, std::size_t(note));
        settings.defaultBox(0)->setChecked(false);
        settings.depth()->setValue(50);
        settings.rate()->setValue(5.5);
        settings.delay()->setValue(300);
        settings.defaultBox(5)->setChecked(false);
        settings.power()->setValue(1.5);
        failures += !save(&settings, dir, "note-settings");
    }
    {
        // With the automatic expression on, a long note without settings: the values it is
        // sung with, marked 自動.
        std::size_t held = note;
        const auto& events = song.channel(c).events;
        for (std::size_t i = note; i < events.size(); ++i) {
            if (!events[i] || !events[i]->hasSyllable()) continue;
            if (app.hub().tempoMap().millisecondsBetween(events[i]->startTick, events[i]->endTick) >= 600) {
                held = i;
                break;
            }
        }
        std::string error;
        app.hub().setExpressionMode(ExpressionMode::Auto, &error);
        NoteSettingsDialog settings(app.context(), c, held);
        failures += !save(&settings, dir, "note-settings-auto");
        app.hub().setExpressionMode(ExpressionMode::Off, &error);
    }
    OneClickLengthDialog oneClick(app.hub().settings().oneClickLengths());
    failures += !save(&oneClick, dir, "one-click-lengths");
    VoiceSettingsDialog songSettings(app.context(), SettingsEdit::forSong(song));
    failures += !save(&songSettings, dir, "song-settings");
    VoiceSettingsDialog channelSettings(app.context(), SettingsEdit::forChannel(song, c));
    failures += !save(&channelSettings, dir, "channel-settings");
    SettingsEdit phrase;
    if (SettingsEdit::forPhrase(song, c, note, phrase)) {
        VoiceSettingsDialog phraseSettings(app.context(), phrase);
        failures += !save(&phraseSettings, dir, "phrase-settings");
    }
    NoteLengthPosDialog lengthPos(app.context(), c, note);
    failures += !save(&lengthPos, dir, "note-length-position");
    lengthPos.reject();
    NoteBatchDialog noteBatch(app.context(), c, 1000);
    failures += !save(&noteBatch, dir, "note-batch");
    PhraseBatchDialog phraseBatch(app.context(), c);
    failures += !save(&phraseBatch, dir, "phrase-batch");
    QuickInputDialog quick(app.context(), c, note);
    failures += !save(&quick, dir, "quick-input");
    quick.setMode(KanaMode::Hiragana);
    failures += !save(&quick, dir, "quick-input-hiragana");
    quick.reject();
    PhraseWordDialog words(app.context(), c, true);
    failures += !save(&words, dir, "phrase-words");
    return failures;
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

// The second demo song, sung with expression: its score without and with the pitch line,
// and the song settings with the expression defaults it sets.
int expressionScreenshots(KantorApp& app, MainPanel* panel, const QString& dir) {
    const std::string demo = app.hub().folders().sampleFolder() + "DEMOS21.uta";
    if (!app.hub().openSong(demo)) {
        std::fprintf(stderr, "the demo song %s did not open\n", demo.c_str());
        return 1;
    }
    int failures = 0;
    panel->run(MainPanel::ChannelList);
    auto* list = qobject_cast<ChannelListWindow*>(panel->window(MainPanel::ChannelList));
    const Song& song = app.hub().song();
    int vox = -1;
    for (int c = 0; c < 16 && vox < 0; ++c)
        if (song.isVoxChannel(c)) vox = c;
    ChannelScoreWindow* score = list && vox >= 0 ? list->openScore(vox, 0, 0) : nullptr;
    if (!score) {
        std::fprintf(stderr, "the score of %s did not open\n", demo.c_str());
        return 1;
    }
    score->resize(900, 520);
    // The second line of the song: held notes with their vibrato, steps with their glides.
    const uint32_t at = app.hub().tempoMap().division() * 4 * 8;
    score->scrollTo(std::max(0L, app.hub().tempoMap().measureIndexAt(at)), at);
    const ScoreChoice kept = app.hub().scoreChoice();
    ScoreChoice choice = kept;
    choice.pitchLine = false;
    app.hub().setScoreChoice(choice);
    list->applySettings();
    failures += !saveAsIs(score, dir, "channel-score-pitch-line-off");
    choice.pitchLine = true;
    app.hub().setScoreChoice(choice);
    list->applySettings();
    failures += !saveAsIs(score, dir, "channel-score-pitch-line-on");
    ChScoreSettingsDialog chScore(app.hub());
    failures += !save(&chScore, dir, "chscore-settings-pitch-line");
    app.hub().setScoreChoice(kept);
    list->applySettings();
    VoiceSettingsDialog songSettings(app.context(), SettingsEdit::forSong(app.hub().song()));
    failures += !save(&songSettings, dir, "song-settings-expression");
    VoiceSettingsDialog channelSettings(app.context(), SettingsEdit::forChannel(app.hub().song(), vox));
    failures += !save(&channelSettings, dir, "channel-settings-expression");
    return failures;
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
    voices.importVoice(app.hub().voices().voiceFilePath(kBuiltInMaleVoice), imported);
    VoiceLibraryDialog library(app.context(), VoiceLibraryDialog::Mode::Export, imported);
    failures += !save(&library, dir, "voice-library-export");
    return failures;
}

}  // namespace

int writeScreenshots(const std::string& dirText) {
    const QString dir = QString::fromStdString(dirText);
    QDir().mkpath(dir);
    ScratchApp scratch(HubOptions::Audio::Null);  // the transport buttons as a user sees them
    KantorApp& app = scratch.app();
    app.hub().startUp();
    int failures = 0;

    HubWindow hubWindow;
    failures += !save(&hubWindow, dir, "hub-window");
    hubWindow.hide();

    MainPanel* panel = app.showPanel();
    failures += !save(panel, dir, "main-panel-empty");
    {
        // A small bank in the oto.ini form, imported as a voice (it needs no song).
        QTemporaryDir bankDir;
        const QString bank = bankDir.path() + "/見本音源";
        writeExampleBank(bank.toStdString());
        BankImportDialog bankImport(app.context());
        bankImport.folderEdit()->setText(bank);
        bankImport.runImport();
        failures += !save(&bankImport, dir, "voice-bank-import");
    }
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

    LyricInputWindow lyrics(app.context());
    lyrics.resize(lyrics.sizeHint().width(), lyrics.sizeHint().height());
    failures += !save(&lyrics, dir, "lyric-input");
    RomajiListWindow romaji(app.context());
    romaji.showVoice("MaleVox");
    failures += !save(&romaji, dir, "romaji-list");
    // A mute on the sung channel and a solo, as a user who set them would see them.
    ChannelFlags& flags = app.hub().song().channelFlags();
    const ChannelFlags kept = flags;
    flags.set(ChannelFlags::VoxMute, 0, true);
    flags.set(ChannelFlags::MidiSolo, 1, true);
    MuteSoloWindow mute(app.context());
    failures += !save(&mute, dir, "mute-solo");
    flags = kept;
    for (const auto& [tick, name] : {std::pair<uint32_t, const char*>{0, "count-in.wav"}, {7680, "clap.wav"},
                                     {15360, "cymbal.wav"}}) {
        WaveInsert w;
        w.position = tick;
        w.setPath(joinPath(folderOf(app.hub().midiPath()), name));
        app.hub().song().putWaveInsert(w);
    }
    WaveInsertWindow waves(app.context());
    failures += !save(&waves, dir, "wave-insert");

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
    SoundQualityDialog quality(app.hub().settings().outputQualityCode(), true);
    failures += !save(&quality, dir, "sound-quality");
    {
        // A choir score: two sung parts, the soprano with two verses, and the piano.
        std::vector<MusicXmlPart> parts(4);
        const char* names[] = {"Soprano", "Alto", "Piano (right hand)", "Piano (left hand)"};
        const std::size_t notes[] = {146, 139, 412, 287};
        for (std::size_t i = 0; i < parts.size(); ++i) parts[i].name = names[i], parts[i].scoreNotes = notes[i];
        parts[0].verses = {1, 2};
        parts[1].verses = {1};
        ScorePartDialog scoreParts("furusato.musicxml", parts);
        failures += !save(&scoreParts, dir, "score-part");
    }

    // The channel list and the score of the first vocal channel at its first sung note,
    // with the words in hiragana and in romaji.
    panel->run(MainPanel::ChannelList);
    if (auto* list = qobject_cast<ChannelListWindow*>(panel->window(MainPanel::ChannelList))) {
        list->resize(820, 380);
        failures += !saveAsIs(list, dir, "channel-list");
        int vox = -1;
        for (int c = 0; c < 16 && vox < 0; ++c)
            if (app.hub().song().isVoxChannel(c)) vox = c;
        if (ChannelScoreWindow* score = vox >= 0 ? list->openScore(vox, 0, 0) : nullptr) {
            score->resize(900, 520);
            const Song& song = app.hub().song();
            long sung = -1;
            for (std::size_t i = 0; i < song.channel(vox).events.size() && sung < 0; ++i)
                if (const VoxEvent* e = song.event(vox, i); e && e->hasSyllable()) sung = long(i);
            if (sung >= 0) {
                score->selectNote(sung);
                const long m = app.hub().tempoMap().measureIndexAt(song.event(vox, std::size_t(sung))->startTick);
                score->scrollTo(std::max(0L, m), song.event(vox, std::size_t(sung))->startTick);
            }
            failures += !saveAsIs(score, dir, "channel-score-hiragana");
            if (sung >= 0) {
                // A smaller score at the top of the screen: the note voice window comes up below it.
                const QRect kept = score->geometry();
                if (NoteVoiceWindow* nv = NoteVoiceWindow::of(vox)) nv->close();
                QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
                app.hub().settings().setWindowRect(WindowKind::NoteVoice, {}, vox);
                score->resize(760, 240);
                score->move(0, 0);
                score->selectNote(sung + 1);
                failures += !saveDesktop(score, NoteVoiceWindow::of(vox), dir, "score-and-note-voice");
                score->setGeometry(kept);
                score->selectNote(sung);
            }
            app.hub().settings().block().channelScoreVoxWordDisplay = 2;
            list->applySettings();
            failures += !saveAsIs(score, dir, "channel-score-romaji");
            app.hub().settings().block().channelScoreVoxWordDisplay = 1;
            list->applySettings();
        }
    }
    ChListSettingsDialog chList(app.hub().settings());
    failures += !save(&chList, dir, "chlist-settings");
    ChScoreSettingsDialog chScore(app.hub());
    failures += !save(&chScore, dir, "chscore-settings");
    failures += noteEditingScreenshots(app, dir);
    failures += writeMakerScreenshots(app, dir);
    failures += expressionScreenshots(app, panel, dir);

    QMessageBox first(QMessageBox::Information, QString::fromStdString(translated(text::kFirstRunCaption)),
                      QString::fromStdString(translated(text::kFirstRunNotice)), QMessageBox::Ok);
    fitText(first, translated(text::kFirstRunNotice));
    failures += !save(&first, dir, "first-run-notice");
    QMessageBox save1(QMessageBox::Warning, QString::fromStdString(translated("確認")),
                      QCoreApplication::translate("kantor::app::MainPanel", "歌声データを保存しますか？"),
                      QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    failures += !save(&save1, dir, "save-prompt");
    return failures == 0 ? 0 : 1;
}

}  // namespace kantor::app
