// The voice data maker's windows on the offscreen platform: the list operations' messages,
// the save prompt before new, open and closing, bad input that must not lose the user's
// work, and a whole voice made as a user makes it: three syllables recorded through the
// recording window from a microphone that plays WAV files, markers placed with "Auto",
// the voice built into the voice folder.
#include <QApplication>
#include <QMenuBar>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QTranslator>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "app/EnglishScope.h"
#include "app/BankImportDialog.h"
#include "app/ItemPropertiesDialog.h"
#include "app/KantorApp.h"
#include "app/MainPanel.h"
#include "app/VoiceLibraryDialog.h"
#include "voice/VoiceLibrary.h"
#include "app/MidiOutputDialog.h"
#include "app/RecordingWindow.h"
#include "app/Resources.h"
#include "app/TextCheck.h"
#include "app/VoiceBuildTargetDialog.h"
#include "app/SyncCorrectionDialog.h"
#include "app/VoiceMakerWindow.h"
#include "sound/WavFile.h"
#include "base/FileIO.h"
#include "base/Translation.h"
#include "midi/SmfWriter.h"
#include "support/CliRun.h"
#include "voicemaker/AutoMarker.h"
#include "song/TestPrompt.h"
#include "support/ScratchFolders.h"
#include "support/TempDir.h"
#include "synth/NoteFrequency.h"
#include "synth/RateConverter.h"
#include "voice/VoiceFile.h"
#include "voicemaker/MakerTexts.h"
#include "voicemaker/SyntheticVowel.h"

using namespace kantor;
using namespace kantor::app;

namespace {

struct Session {
    test::ScratchFolders scratch;
    test::TempDir dir;
    test::RecordingPrompt prompt;
    ScriptedFileChooser files;
    std::unique_ptr<KantorApp> app;
    explicit Session(HubOptions::Audio audio = HubOptions::Audio::Off) {
        AppOptions o;
        o.hub.audio = audio;
        o.prompt = &prompt;
        o.files = &files;
        o.panelDelayMs = 0;
        o.openUrl = [](const QString&) {};
        app = std::make_unique<KantorApp>(std::move(o));
        app->hub().startUp();
    }
    const test::RecordingPrompt::Shown& last() const { return prompt.shown.back(); }
};

std::vector<uint8_t> wavBytes(uint16_t channels, const std::vector<int16_t>& samples) {
    std::vector<uint8_t> b = wavHeader(packFormat(16, channels), 44100, uint32_t(samples.size() * 2));
    for (int16_t s : samples) {
        b.push_back(uint8_t(uint16_t(s)));
        b.push_back(uint8_t(uint16_t(s) >> 8));
    }
    return b;
}

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

void addSyllable(VoiceMakerWindow& w, int note, const char* code, const char* kana) {
    w.selectPitch(note);
    w.setTyped(code, QString::fromUtf8(kana));
    w.addItem();
}

using English = kantor::app::EnglishScope;

// Japanese left in a window drawn in English: its controls' texts, and the placeholders and
// tips, which the screenshots do not show.
QString japaneseIn(const QWidget& w) {
    QStringList left = japaneseTexts(&w);
    for (const QLineEdit* e : w.findChildren<QLineEdit*>())
        if (hasJapanese(e->placeholderText())) left << "placeholder: " + e->placeholderText();
    for (const QWidget* c : w.findChildren<QWidget*>())
        if (hasJapanese(c->toolTip())) left << "tip: " + c->toolTip();
    return left.join("; ");
}

QPushButton* buttonNamed(const QWidget& w, const QString& text) {
    for (QPushButton* b : w.findChildren<QPushButton*>())
        if (b->text() == text) return b;
    return nullptr;
}

}  // namespace

class VoiceMakerTest : public QObject {
    Q_OBJECT
private slots:
    void listOperationsShowTheirMessages() {
        Session s;
        VoiceMakerWindow w(s.app->context());
        // The pitch list opens with nothing chosen, even once it has had the focus.
        QVERIFY(w.pitchList()->selectedItems().isEmpty());
        w.show();
        w.pitchList()->setFocus(Qt::TabFocusReason);
        w.addItem();
        QCOMPARE(s.last().text, std::string(makertext::kNoPitchSelected));
        QCOMPARE(s.last().caption, std::string("ERROR"));
        w.selectPitch(60);
        w.addItem();
        QCOMPARE(s.last().text, std::string(makertext::kNoCodeSelected));
        w.setTyped("", "か");
        w.addItem();
        QCOMPARE(s.last().text, std::string(makertext::kEmptyCode));
        w.setTyped("KA", "");
        w.addItem();
        QCOMPARE(s.last().text, std::string(makertext::kEmptyNotation));
        QCOMPARE(w.itemList()->count(), 0);

        // The name and comments hold 63 bytes of cp932 (their fields are 64 bytes): typing
        // past that is refused whole, never cut later without a word.
        QLineEdit* name = w.findChild<QLineEdit*>("voiceName");
        QVERIFY(name);
        name->setText(QString(31, QChar(u'あ')));
        QCOMPARE(name->text().size(), 31);
        name->setText(QString(40, QChar(u'あ')));
        QCOMPARE(name->text(), QString(31, QChar(u'あ')));
        name->setText(QString(63, 'a'));
        QCOMPARE(name->text().size(), 63);
        name->setText("");

        // Choosing from the code list fills the pair; the lower-case display keeps the code.
        w.setLowerCaseCodes(true);
        w.selectCode(1);
        w.addItem();
        QCOMPARE(w.itemList()->count(), 1);
        QVERIFY(w.codeList()->item(1)->text().startsWith(" i    - "));
        QCOMPARE(QString::fromStdString(w.project().items[0]->code), QString("i"));
        QVERIFY(w.itemList()->item(0)->text().startsWith("C3    (ﾄﾞ)   : i    - い"));

        // The same pitch and code again: the line is shown and the user asked.
        addSyllable(w, 62, "KA", "か");
        s.prompt.answer = PromptAnswer::No;
        addSyllable(w, 60, "I", "い");
        QCOMPARE(s.last().text, std::string(makertext::kDuplicateItem));
        QCOMPARE(w.itemList()->count(), 2);
        QCOMPARE(w.selectedLines(), std::vector<int>{0});
        s.prompt.answer = PromptAnswer::Yes;
        addSyllable(w, 60, "I", "い");
        QCOMPARE(w.itemList()->count(), 3);

        w.selectLines({1});
        w.insertBlank();
        QCOMPARE(w.itemList()->count(), 4);
        QVERIFY(w.project().items[1]->isBlank());
        w.selectLines({3});
        w.moveSelected(-1);
        QCOMPARE(w.selectedLines(), std::vector<int>{2});
        w.selectLines({1});
        w.deleteSelected();
        QCOMPARE(w.itemList()->count(), 3);
        w.selectLines({1});
        w.setTyped("KE", "け");
        w.changeCode();
        QCOMPARE(QString::fromStdString(w.project().items[1]->code), QString("KE"));
    }

    void theSavePromptGuardsNewOpenAndClose() {
        Session s;
        VoiceMakerWindow w(s.app->context());
        addSyllable(w, 72, "A", "あ");
        s.prompt.shown.clear();
        s.prompt.answer = PromptAnswer::Cancel;
        QVERIFY(!w.newProject());
        QCOMPARE(s.last().kind, std::string("yesnocancel"));
        QCOMPARE(s.last().caption, std::string("確認"));
        QCOMPARE(s.last().text, std::string(makertext::kAskSave));
        QCOMPARE(w.itemList()->count(), 1);
        // Yes saves under a chosen name, then goes on.
        s.prompt.answer = PromptAnswer::Yes;
        const std::string path = s.dir.file("p.vxbprj");
        s.files.answers = {path};
        QVERIFY(w.newProject());
        QVERIFY(fileExists(path));
        QCOMPARE(w.itemList()->count(), 0);
        // Nothing changed: no question.
        s.prompt.shown.clear();
        QVERIFY(w.newProject());
        QVERIFY(s.prompt.shown.empty());
        // A changed voice name counts; No goes on without saving.
        s.files.answers = {path};
        s.prompt.answer = PromptAnswer::No;
        QVERIFY(w.openProject());
        QCOMPARE(w.itemList()->count(), 1);
        QTest::keyClicks(w.findChild<QLineEdit*>("voiceName"), "x");
        s.prompt.shown.clear();
        s.prompt.answer = PromptAnswer::Cancel;
        w.show();
        QVERIFY(!w.close());
        QCOMPARE(s.prompt.shown.size(), std::size_t(1));
        QVERIFY(w.isVisible());
        s.prompt.answer = PromptAnswer::No;
        w.setAttribute(Qt::WA_DeleteOnClose, false);
        QVERIFY(w.close());
    }

    // The windows that play or record by themselves (the maker, its recording and properties
    // windows, the sync correction) own their devices: a new MIDI output (設定 → Midi出力先の
    //選択 → OK) or the exit may let the hub's own go while they are open, and they close
    // afterwards on living devices. Under the sanitizers this was a use after free.
    void windowsThatPlayOwnTheirDevices() {
        for (const bool exitFirst : {false, true}) {
            Session s(HubOptions::Audio::Null);
            if (!s.app->hub().rig()) QSKIP("no General MIDI SoundFont");
            s.prompt.answer = PromptAnswer::No;  // leave the maker's project unsaved
            MainPanel* panel = s.app->showPanel();
            QPointer<VoiceMakerWindow> maker = qobject_cast<VoiceMakerWindow*>(panel->openWindow(MainPanel::VoiceMaker));
            QVERIFY(maker);
            addSyllable(*maker, 72, "A", "あ");
            QPointer<RecordingWindow> rec = new RecordingWindow(s.app->context(), maker->project(), maker);
            QPointer<ItemPropertiesDialog> props = new ItemPropertiesDialog(s.app->context(), maker->project(), 0, maker);
            QPointer<SyncCorrectionDialog> sync = new SyncCorrectionDialog(s.app->context(), panel);
            QVERIFY(rec->run());
            QVERIFY(sync->model());
            const std::weak_ptr<DeviceSet> first = s.app->hub().devices();
            QVERIFY(!first.expired());
            if (exitFirst) {
                // ﾌｧｲﾙ → ｱﾌﾟﾘｹｰｼｮﾝの終了: the hub shuts down first, the windows go with the panel.
                QVERIFY(panel->close());
                QVERIFY(s.app->hub().rig() == nullptr);
                QVERIFY(!first.expired());  // the windows still hold theirs
                QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
                QVERIFY(!maker && !rec && !props && !sync);
                QVERIFY(first.expired());
                continue;
            }
            MidiOutputDialog out(s.app->context());
            out.embedded()->setChecked(true);
            out.accept();
            QVERIFY(s.app->hub().rig());
            QVERIFY(s.app->hub().devices() != first.lock());
            // The old devices still play the window's sound, and their notifications come.
            sync->playButton()->click();
            QTest::qWait(200);
            delete sync;
            delete props;
            delete rec;
            // The one the first start opened too.
            for (SyncCorrectionDialog* d : panel->findChildren<SyncCorrectionDialog*>()) delete d;
            QVERIFY(!first.expired());  // the maker still holds its own
            QVERIFY(maker->close());
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QVERIFY(!maker);
            QVERIFY(first.expired());
            QVERIFY(panel->close());
        }
    }

    void leavingTheProgramAsksForTheProject() {
        Session s;
        MainPanel* panel = s.app->showPanel();
        QVERIFY(panel->action(MainPanel::VoiceMaker)->isEnabled());
        auto* maker = qobject_cast<VoiceMakerWindow*>(panel->openWindow(MainPanel::VoiceMaker));
        QVERIFY(maker);
        addSyllable(*maker, 72, "A", "あ");
        s.prompt.answer = PromptAnswer::Cancel;
        QVERIFY(!panel->close());
        QVERIFY(panel->isVisible());
        QCOMPARE(s.last().text, std::string(makertext::kAskSave));
        s.prompt.answer = PromptAnswer::No;
        QVERIFY(panel->close());
    }

    void theVoiceLibraryImportsExportsAndDeletes() {
        Session s;
        const std::string folder = s.app->hub().folders().voiceFolder();
        const std::string male = folder + "MaleVox.vxb";
        if (!fileExists(male)) QSKIP("no built-in voice in this build");
        // The modal library windows are answered with OK as soon as they show.
        auto acceptNextDialog = [] {
            QTimer::singleShot(0, [] {
                if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) d->accept();
            });
        };
        // With only the built-in voices there is nothing to export.
        acceptNextDialog();
        QVERIFY(!exportVoiceCommand(s.app->context(), nullptr));
        QCOMPARE(s.files.asked, 0);
        s.files.answers = {male};
        acceptNextDialog();
        QVERIFY(importVoiceCommand(s.app->context(), nullptr));
        std::vector<std::string> mine = VoiceLibrary::offeredVoices(s.app->hub().voices());
        QCOMPARE(mine.size(), std::size_t(1));
        const std::string out = s.dir.file("copy.vxb");
        s.files.answers = {out};
        acceptNextDialog();
        QVERIFY(exportVoiceCommand(s.app->context(), nullptr));
        QVERIFY(fileExists(out));
        acceptNextDialog();
        QVERIFY(deleteVoiceCommand(s.app->context(), nullptr));
        QVERIFY(!fileExists(folder + mine[0] + ".vxb"));
        QVERIFY(fileExists(male));
    }

    // With English chosen the maker's windows have no Japanese of their own left; the song
    // data they list (kana of the code list) is not theirs to change.
    void theMakerWindowsSpeakEnglish() {
        Session s;
        English english;
        QVERIFY(english.loaded);
        VoiceMakerWindow w(s.app->context());
        addSyllable(w, 72, "A", "あ");
        QCOMPARE(w.windowTitle(), QString("Voice Data Maker"));
        auto* bar = w.findChild<QMenuBar*>();
        QVERIFY(bar);
        QCOMPARE(bar->actions().value(0)->text(), QString("&File"));
        QStringList items;
        for (const QAction* a : bar->actions().value(0)->menu()->actions()) items << a->text();
        QVERIFY2(items.contains("Save &As...") && items.contains("Build Voice Data..."), qPrintable(items.join(", ")));
        QVERIFY(buttonNamed(w, "Insert Blank") && buttonNamed(w, "Properties..."));
        QCOMPARE(japaneseIn(w), QString());
        // The lists stay as they are: the code list shows the kana it stands for.
        QVERIFY(hasJapanese(w.codeList()->item(0)->text()));

        RecordingWindow recording(s.app->context(), w.project(), &w);
        QCOMPARE(recording.windowTitle(), QString("Recording"));
        QVERIFY(buttonNamed(recording, "Select All"));
        QCOMPARE(japaneseIn(recording), QString());
        // The item's title is its list line: the pitch's solfege and the kana are the item's.
        ItemPropertiesDialog properties(s.app->context(), w.project(), 0, &w);
        QVERIFY(properties.windowTitle().startsWith("Properties :: C4"));
        QCOMPARE(japaneseIn(properties), "title: " + properties.windowTitle());
        QVERIFY(buttonNamed(properties, "Cancel"));
        VoiceBuildTargetDialog target(s.app->hub().voices(), &w);
        QCOMPARE(target.windowTitle(), QString("Build Voice Data"));
        QCOMPARE(japaneseIn(target), QString());
        BankImportDialog bank(s.app->context(), &w);
        QCOMPARE(japaneseIn(bank), QString());

        // The messages it makes itself reach the user in English too.
        bank.runImport();
        QCOMPARE(s.last().text, std::string("No voice bank folder has been chosen."));
    }

    void badInputGetsItsMessageAndKeepsTheWork() {
        Session s;
        VoiceMakerWindow w(s.app->context());
        addSyllable(w, 72, "A", "あ");
        // A damaged project file: the items so far stay.
        writeFile(s.dir.file("bad.vxbprj"), std::vector<uint8_t>(100, 'x'));
        QVERIFY(!w.openProjectPath(s.dir.file("bad.vxbprj")));
        QVERIFY(s.last().text.starts_with(std::string(makertext::kReadFailed) + "\n" + s.dir.file("bad.vxbprj") + ": "));
        QCOMPARE(s.last().caption, std::string("error"));
        QCOMPARE(w.itemList()->count(), 1);
        std::vector<uint8_t> notProject(400, 0);
        writeFile(s.dir.file("other.vxbprj"), notProject);
        QVERIFY(!w.openProjectPath(s.dir.file("other.vxbprj")));
        QCOMPARE(s.last().text, std::string(makertext::kNotProject));
        QCOMPARE(w.itemList()->count(), 1);
        // A stereo WAV is refused; the item keeps what it had.
        writeFile(s.dir.file("st.wav"), wavBytes(2, std::vector<int16_t>(88200, 100)));
        w.selectLines({0});
        s.files.answers = {s.dir.file("st.wav")};
        w.importWave();
        QCOMPARE(s.last().caption, std::string("Error"));
        QVERIFY(s.last().text.rfind("未対応なWaveﾌｧｲﾙ形式です。", 0) == 0);
        QVERIFY(!w.project().items[0]->hasData());
        // A build without properties is refused and writes nothing.
        writeFile(s.dir.file("ok.wav"), wavBytes(1, std::vector<int16_t>(44100, 100)));
        s.files.answers = {s.dir.file("ok.wav")};
        w.importWave();
        QVERIFY(w.project().items[0]->hasData());
        w.findChild<QLineEdit*>("voiceName")->setText("V");
        w.project().voiceName = "V";
        const auto before = std::distance(std::filesystem::directory_iterator(s.app->hub().folders().voiceFolder()),
                                          std::filesystem::directory_iterator());
        QVERIFY(!w.build(std::string()));
        QCOMPARE(s.last().text, std::string(makertext::kNoProperties));
        QCOMPARE(std::distance(std::filesystem::directory_iterator(s.app->hub().folders().voiceFolder()),
                               std::filesystem::directory_iterator()),
                 before);
        // The rules keep a moved marker within the data.
        {
            ItemPropertiesDialog d(s.app->context(), w.project(), 0);
            d.moveTo(MarkerId::D, 88200);
            QVERIFY(d.markers().d <= w.project().items[0]->sampleCount());
        }
        // Markers past the data (as a project file may hold them): OK is ignored.
        VoiceItem& item = *w.project().items[0];
        item.setMarkers({100, 200, 30000, 60000});
        ItemPropertiesDialog d(s.app->context(), w.project(), 0);
        d.setModal(true);
        d.show();
        d.accept();
        QVERIFY(d.isVisible());
        QCOMPARE(item.markerD, 60000u);
        d.reject();
    }

    void aVoiceRecordedMarkedAndBuilt() {
        Session s(HubOptions::Audio::Virtual);
        VoiceMakerWindow w(s.app->context());
        const std::pair<const char*, const char*> syllables[] = {{"A", "あ"}, {"I", "い"}, {"U", "う"}};
        for (const auto& [code, kana] : syllables) addSyllable(w, 60, code, kana);
        QTest::keyClicks(w.findChild<QLineEdit*>("voiceName"), "Rec");
        QCOMPARE(w.project().voiceName, std::string("Rec"));
        // Three microphones: vowels of different colour at the item's pitch, from WAV files.
        std::vector<std::vector<int16_t>> mics;
        for (int k = 0; k < 3; ++k) {
            test::SyntheticVowel v;
            v.f0 = noteFrequency(60, 440000) / 1000.0;
            v.burst = k == 0 ? 0.0 : 0.05;
            v.vowel = 2.0;
            v.leadSilence = 0.35;
            const std::string path = s.dir.file("mic" + std::to_string(k) + ".wav");
            writeFile(path, wavBytes(1, v.render(3.0)));
            WavReader reader;
            SoundBuffer data;
            QVERIFY(reader.readData(path, data));
            mics.push_back(data.samples());
        }
        RecordingWindow rec(s.app->context(), w.project());
        QVERIFY(rec.run());
        for (int r = 0; r < 3; ++r) rec.list()->item(r)->setSelected(true);
        rec.record();
        QVERIFY(rec.run()->running());
        AudioEngine& engine = s.app->hub().rig()->engine();
        // Each item hears its own file from the moment its guide starts.
        int line = -1;
        std::size_t at = 0;
        for (int i = 0; i < 8000 && rec.run()->running(); ++i) {
            if (rec.run()->currentLine() != line) {
                line = rec.run()->currentLine();
                at = 0;
            }
            const auto& mic = mics[std::size_t(std::max(0, line))];
            std::vector<int16_t> in(441 * 2, 0);
            // The singer starts with the downbeat's count: 3.5 s after the guide starts.
            for (std::size_t f = 0; f < 441; ++f, ++at) {
                const std::size_t k = at >= 154350 ? at - 154350 : mic.size();
                in[2 * f] = in[2 * f + 1] = k < mic.size() ? mic[k] : 0;
            }
            engine.advance(441, in.data());
            rec.follow();
        }
        QVERIFY(!rec.run()->running());
        for (const auto& item : w.project().items) QCOMPARE(item->dataLength(), 177400u);
        // "Auto" in each item's properties, then OK.
        for (int l = 0; l < 3; ++l) {
            ItemPropertiesDialog d(s.app->context(), w.project(), l);
            QVERIFY(d.autoMarkers());
            d.accept();
            QVERIFY(w.project().items[std::size_t(l)]->hasProperties());
        }
        QVERIFY2(w.build(std::string()), s.prompt.shown.empty() ? "" : s.last().text.c_str());
        std::string built;
        for (const auto& e : std::filesystem::directory_iterator(s.app->hub().folders().voiceFolder()))
            if (e.path().filename().string().rfind("vxb", 0) == 0) built = e.path().string();
        QVERIFY(!built.empty());
        VoiceFileReader reader;
        std::unique_ptr<Voice> voice = reader.readFile(built, "Rec");
        QVERIFY2(voice, reader.lastError().c_str());
        QCOMPARE(voice->samples.size(), std::size_t(3));

        // The new voice sings a short song through the command line's render.
        const std::string id = std::filesystem::path(built).stem().string();
        SmfTrack conductor, melody;
        conductor.tempo(0, 500000).timeSignature(0, 4, 2);
        const int notes[] = {60, 62, 64, 59};
        for (int i = 0; i < 4; ++i) melody.note(960 * i + 960, 960 * i + 1800, 0, uint8_t(notes[i]), 100);
        writeFile(s.dir.file("song.mid"), buildSmf(1, 480, {conductor, melody}));
        std::ofstream(s.dir.file("lyrics.txt")) << "A I U A\n";
        const std::string song = s.dir.file("song.uta"), wav = s.dir.file("song.wav");
        test::CliResult r = test::runCli({"new", s.dir.file("song.mid"), "-o", song, "--vox", "1", "--lyrics",
                                          s.dir.file("lyrics.txt"), "--voice", id});
        QVERIFY2(r.status == 0, r.err.c_str());
        r = test::runCli({"render", song, "-o", wav});
        QVERIFY2(r.status == 0, r.err.c_str());
        WavReader wr;
        SoundBuffer sung;
        WaveFormatTriple format;
        QVERIFY(wr.readFormat(wav, format));
        QVERIFY(wr.readData(wav, sung));
        QCOMPARE(format.channels, uint16_t(1));
        // The pitch is measured at 44,100 Hz.
        QVERIFY(convertRate(kMono16, format.samplesPerSec, sung, 44100));
        const std::vector<int16_t> x = sung.samples();
        for (int i = 0; i < 4; ++i) {
            // The middle of each note: the vocal file starts with the first phrase, and the
            // notes follow one a second, each 0.875 s long.
            const std::size_t centre = std::size_t((i + 0.4) * 44100);
            QVERIFY(centre < x.size());
            const double period = estimatePeriod(x, centre);
            QVERIFY2(period > 0, qPrintable(QString("note %1").arg(i)));
            const double f = 44100.0 / period;
            const double want = noteFrequency(uint32_t(notes[i]), 440000) / 1000.0;
            const double cents = 1200.0 * std::log2(f / want);
            qInfo("note %d sung %.1f cents from %.2f Hz", notes[i], cents, want);
            QVERIFY2(std::abs(cents) < 20.0, qPrintable(QString("note %1: %2 cents").arg(i).arg(cents)));
        }
    }
};

QTEST_MAIN(VoiceMakerTest)
#include "VoiceMakerTest.moc"
