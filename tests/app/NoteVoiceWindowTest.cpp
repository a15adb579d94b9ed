// The note voice window and the note and phrase editing dialogs on the offscreen platform,
// with scripted answers: commit rules, unknown codes, the ends of the channel, quick input,
// the dialogs' spin texts and ranges, the open-window checks and undo back to the saved song.
#include <QTest>
#include <QTranslator>
#include <fstream>

#include "app/EnglishScope.h"
#include "app/ChannelSettingsDialogs.h"
#include "app/EditCommands.h"
#include "app/EditDialogs.h"
#include "app/KantorApp.h"
#include "app/NoteSettingsDialog.h"
#include "app/NoteVoiceWindow.h"
#include "app/Resources.h"
#include "app/TextCheck.h"
#include "base/Translation.h"
#include "midi/SmfWriter.h"
#include "song/SongFile.h"
#include "song/TestPrompt.h"
#include "support/ScratchFolders.h"
#include "support/TempDir.h"

using namespace kantor;
using namespace kantor::app;

namespace {

struct Session {
    test::ScratchFolders scratch;
    test::TempDir dir;
    test::RecordingPrompt prompt;
    ScriptedFileChooser files;
    std::unique_ptr<KantorApp> app;
    // The windows' parent: they go before the program does.
    std::unique_ptr<QWidget> owner;
    Session() {
        AppOptions o;
        o.hub.audio = HubOptions::Audio::Off;
        o.prompt = &prompt;
        o.files = &files;
        o.panelDelayMs = 0;
        o.openUrl = [](const QString&) {};
        app = std::make_unique<KantorApp>(std::move(o));
        SmfTrack t;
        t.tempo(0, 500000).timeSignature(0, 4, 2);
        for (int i = 0; i < 8; ++i) t.note(uint32_t(i) * 480, uint32_t(i) * 480 + 400, 0, 60 + i, 100);
        t.endOfTrack(8 * 480 + 1920);
        const auto bytes = buildSmf(0, 480, {t});
        std::ofstream(dir.file("a.mid"), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        app->hub().startUp();
        app->hub().openMidi(dir.file("a.mid"));
        app->hub().session().makeVoxChannel(0);
        app->hub().song().makePhraseHead(0, 0);
        app->hub().setModified(false);
        owner = std::make_unique<QWidget>();
    }
    NoteVoiceWindow* open(std::size_t n) { return NoteVoiceWindow::open(ctx(), 0, n, owner.get()); }
    Hub& hub() { return app->hub(); }
    AppContext& ctx() { return app->context(); }
    VoxEvent& ev(std::size_t i) { return *hub().song().channel(0).events[i]; }
    std::vector<uint8_t> bytes() {
        std::vector<uint8_t> out;
        SongFile f;
        f.build(hub().song(), hub().midiPath(), 480, out);
        return out;
    }
    int count(const std::string& text) const {
        int n = 0;
        for (const auto& s : prompt.shown) n += s.text == text;
        return n;
    }
};

void type(QLineEdit* e, const QString& text) {
    e->setText(text);
}

using English = kantor::app::EnglishScope;

}  // namespace

class NoteVoiceWindowTest : public QObject {
    Q_OBJECT
private slots:
    // The song sings with the built-in male voice, which release builds make.
    void init() {
        Session s;
        if (!s.app->hub().voices().ensureVoiceLoaded("MaleVox")) QSKIP("the built-in voices are made by release builds");
    }

    void commitPutsTheSyllablesAndStepsOn() {
        Session s;
        NoteVoiceWindow* w = s.open(0);
        QVERIFY(w);
        QCOMPARE(w->windowTitle(), QString("VoiceNote ( 1 - No.1 )"));
        QCOMPARE(s.ev(0).hasLyric, uint16_t(2));
        type(w->codeEdit(0), "ka");
        type(w->codeEdit(1), "A");
        w->lengthEdit(1)->setText("3");
        w->volumeSpin(1)->stepBy(-20);
        QVERIFY(w->next());
        QCOMPARE(w->note(), std::size_t(1));
        QCOMPARE(s.ev(0).codeText(0), std::string("KA"));
        QCOMPARE(s.ev(0).syllableLength[0], uint16_t(1));  // a code in a slot of length 0 gets 1
        QCOMPARE(s.ev(0).syllableLength[1], uint16_t(3));
        QCOMPARE(s.ev(0).syllableVolume[1], uint16_t(80));
        QCOMPARE(s.ev(0).hasLyric, uint16_t(1));  // the highlight moved on
        QCOMPARE(s.ev(1).hasLyric, uint16_t(2));
        QVERIFY(s.hub().song().modified());
        // Back on the first note the syllables show again, with their kana.
        QVERIFY(w->previous());
        QCOMPARE(w->codeEdit(0)->text(), QString("KA"));
        QVERIFY(!w->kanaLabel(0)->text().isEmpty());
        // Clearing a code stores length 0 and volume 100.
        type(w->codeEdit(1), "");
        QVERIFY(w->commit());
        QCOMPARE(s.ev(0).syllableLength[1], uint16_t(0));
        QCOMPARE(s.ev(0).syllableVolume[1], uint16_t(100));
        // The same window is asked to select another note.
        QCOMPARE(s.open(4), w);
        QCOMPARE(w->note(), std::size_t(4));
        w->close();
    }

    void hepburnSpellingsAreStoredAsTheTableCodes() {
        Session s;
        NoteVoiceWindow* w = s.open(0);
        QVERIFY(w);
        type(w->codeEdit(0), "shi");
        type(w->codeEdit(1), "Tsu");
        type(w->codeEdit(2), "N'");
        QVERIFY(w->commit());
        QCOMPARE(s.ev(0).codeText(0), std::string("SI"));
        QCOMPARE(s.ev(0).codeText(1), std::string("TU"));
        QCOMPARE(s.ev(0).codeText(2), std::string("N"));
        // The edits show the codes, with their kana.
        QCOMPARE(w->codeEdit(0)->text(), QString("SI"));
        QCOMPARE(w->kanaLabel(0)->text(), QString("し"));
        QCOMPARE(w->codeEdit(1)->text(), QString("TU"));
        QCOMPARE(s.count("一覧にあるｺｰﾄﾞ（ﾛｰﾏ字）を入力してください。"), 0);
        w->close();
        // The phrase quick input reads them too.
        QuickInputDialog d(s.ctx(), 0, 0);
        d.input()->setText("chi,ja fu");
        QCOMPARE(d.resultText(), QString("TI,ZYA HU"));
        d.accept();
        QCOMPARE(s.ev(0).codeText(1), std::string("ZYA"));
        QCOMPARE(s.ev(1).codeText(0), std::string("HU"));
    }

    void anUnknownCodeKeepsTheWindowOnItsNote() {
        Session s;
        NoteVoiceWindow* w = s.open(2);
        const auto before = s.bytes();
        type(w->codeEdit(2), "XQZ");
        w->noteVolumeSpin()->stepBy(5);
        QVERIFY(!w->next());
        QCOMPARE(w->note(), std::size_t(2));
        QCOMPARE(s.count("一覧にあるｺｰﾄﾞ（ﾛｰﾏ字）を入力してください。"), 1);
        QCOMPARE(s.prompt.shown.back().caption, std::string("警告"));
        QCOMPARE(s.bytes(), before);
        QVERIFY(!s.hub().song().modified());
        // Listening and closing are refused too.
        w->listenMidi();
        QCOMPARE(s.count("一覧にあるｺｰﾄﾞ（ﾛｰﾏ字）を入力してください。"), 2);
        QVERIFY(!w->close());
        type(w->codeEdit(2), "");
        QVERIFY(w->close());
    }

    void stepsStopAtBothEndsAndFollowTheKeys() {
        Session s;
        NoteVoiceWindow* w = s.open(0);
        QVERIFY(!w->previous());
        QCOMPARE(w->note(), std::size_t(0));
        QVERIFY(QTest::qWaitForWindowActive(w));
        QTest::keyClick(w, Qt::Key_F5);
        QCOMPARE(w->note(), std::size_t(1));
        QTest::keyClick(w, Qt::Key_F4);
        QCOMPARE(w->note(), std::size_t(0));
        QVERIFY(w->selectNote(7));
        QVERIFY(!w->next());
        QCOMPARE(w->note(), std::size_t(7));
        // The phrase buttons follow the phrase: clearing the only head disables them.
        QVERIFY(w->button("ﾌﾚｰｽﾞ")->isEnabled());
        QVERIFY(w->selectNote(0));
        w->headBox()->setChecked(false);
        QVERIFY(w->commit());
        QVERIFY(!w->button("ﾌﾚｰｽﾞ")->isEnabled());
        // The note's own settings do not need a phrase.
        QVERIFY(w->button("ノート設定(&N)")->isEnabled());
        w->close();
    }

    void oneClickLengthsAndTheirLimits() {
        Session s;
        s.hub().settings().setOneClickLengths({240, 0, 960, 0, 0});
        NoteVoiceWindow* w = s.open(3);
        QCOMPARE(w->oneClickButton(1)->text(), QString());
        QVERIFY(!w->oneClickButton(1)->isEnabled());
        QVERIFY(w->setOneClickLength(0));
        QCOMPARE(s.ev(3).endTick - s.ev(3).startTick, 240u);
        QCOMPARE(w->lengthGroup()->title(), QString("ﾉｰﾄ長： 240 "));
        // 960 ticks reach over the next note: the note takes them, with no word.
        s.prompt.shown.clear();
        QVERIFY(w->setOneClickLength(2));
        QCOMPARE(s.ev(3).endTick - s.ev(3).startTick, 960u);
        QCOMPARE(w->lengthGroup()->title(), QString("ﾉｰﾄ長： 960 "));
        QVERIFY(s.prompt.shown.empty());
        w->close();
    }

    void quickInputInBothModes() {
        Session s;
        QuickInputDialog d(s.ctx(), 0, 0);
        QCOMPARE(d.windowTitle(), QString("ﾌﾚｰｽﾞ簡易入力 ( 1 )"));
        d.input()->setText("ka,sa ta xq");
        QCOMPARE(d.resultText(), QString("KA,SA TA **"));
        d.setMode(KanaMode::Hiragana);
        QCOMPARE(d.resultText(), QString("か、さ た **"));
        d.input()->setText("た、か　-");
        QCOMPARE(d.resultText(), QString("た、か -"));
        d.setMode(KanaMode::Romaji);
        QCOMPARE(d.resultText(), QString("TA,KA -"));
        const auto before = s.bytes();
        d.accept();
        QCOMPARE(s.ev(0).codeText(1), std::string("KA"));
        QVERIFY(s.hub().song().modified());
        QVERIFY(s.hub().undo());
        QCOMPARE(s.bytes(), before);
        // Cancel leaves the channel as it was.
        QuickInputDialog c(s.ctx(), 0, 0);
        c.input()->setText("a a a");
        c.reject();
        QCOMPARE(s.bytes(), before);
    }

    void settingsSpinsShowTheirTexts() {
        Session s;
        VoiceSettingsDialog d(s.ctx(), SettingsEdit::forChannel(s.hub().song(), 0));
        QCOMPARE(d.windowTitle(), QString("ﾁｬﾝﾈﾙ・ﾃﾞﾌｫﾙﾄ設定 ( 1 )"));
        QCOMPARE(d.tuningSpin()->text(), QString("440.0"));
        QCOMPARE(d.volumeSpin()->text(), QString("100"));
        QCOMPARE(d.timingSpin()->text(), QString("0 msec"));
        QVERIFY(d.defaultBox(SettingsGroup::Tuning)->isChecked());
        QVERIFY(!d.tuningSpin()->isEnabled());
        d.defaultBox(SettingsGroup::Tuning)->setChecked(false);
        QVERIFY(d.tuningSpin()->stepBy(300));
        QCOMPARE(d.tuningSpin()->text(), QString("470.0"));
        QVERIFY(!d.tuningSpin()->stepBy(1));
        QCOMPARE(d.tuningSpin()->text(), QString("470.0"));
        d.defaultBox(SettingsGroup::Timing)->setChecked(false);
        QVERIFY(d.timingSpin()->stepBy(10));
        QCOMPARE(d.timingSpin()->text(), QString("+10 msec"));
        QVERIFY(d.timingSpin()->stepBy(-10));
        QCOMPARE(d.timingSpin()->text(), QString("0  msec"));
        QVERIFY(!d.timingSpin()->stepBy(-1001));
        d.defaultBox(SettingsGroup::Volume)->setChecked(false);
        QVERIFY(!d.volumeSpin()->stepBy(201));
        QVERIFY(!d.infoLine(2)->text().isEmpty());
        const auto before = s.bytes();
        d.accept();
        QCOMPARE(s.hub().song().channelDefaults(0).tuning, 470000u);
        QVERIFY(s.hub().undo());
        QCOMPARE(s.bytes(), before);
        QVERIFY(s.hub().redo());
        QCOMPARE(s.hub().song().channelDefaults(0).tuning, 470000u);

        // Opening and closing without changes leaves the modified mark alone.
        s.hub().setModified(false);
        VoiceSettingsDialog song(s.ctx(), SettingsEdit::forSong(s.hub().song()));
        QVERIFY(!song.defaultBox(SettingsGroup::Voice)->isVisible());
        song.accept();
        QVERIFY(!s.hub().song().modified());
        // A voice that cannot be loaded keeps the window open with the bank's text.
        VoiceSettingsDialog bad(s.ctx(), SettingsEdit::forSong(s.hub().song()));
        bad.edit().values().voiceName = "NoSuchVoice";
        bad.accept();
        QCOMPARE(bad.result(), int(QDialog::Rejected));
        QCOMPARE(s.prompt.shown.back().caption, std::string("Error"));
    }

    void batchDialogsCheckTheirInput() {
        Session s;
        NoteBatchDialog n(s.ctx(), 0, 1500);
        QCOMPARE(n.initialLabel()->text(), QString("初期値(1.500)"));
        QCOMPARE(n.ratioSpin()->text(), QString("100 %"));
        QVERIFY(n.ratioSpin()->stepBy(-99));
        QCOMPARE(n.ratioSpin()->text(), QString("1 %"));
        QVERIFY(!n.ratioSpin()->stepBy(-1));
        QVERIFY(n.attackSpin()->stepBy(5));
        QCOMPARE(n.attackSpin()->text(), QString("0.05"));
        QVERIFY(!n.attackSpin()->stepBy(96));
        n.powerChoice(2)->setChecked(true);
        n.powerValue()->setText("10.5");
        n.accept();
        QCOMPARE(s.prompt.shown.back().text, std::string(edittext::kBadPower));
        QCOMPARE(n.result(), int(QDialog::Rejected));
        // A channel without notes gets a clear message and stays as it was.
        const auto before = s.bytes();
        NoteBatchDialog empty(s.ctx(), 4, 1000);
        empty.accept();
        QCOMPARE(s.prompt.shown.back().text, std::string(edittext::kNoNotes));
        PhraseBatchDialog p(s.ctx(), 0);
        QVERIFY(!p.box("ラップ")->isEnabled());
        p.waveChange()->setChecked(true);
        p.waveName()->setText("a/b");
        p.accept();
        QCOMPARE(s.prompt.shown.back().text, std::string(edittext::kBadFileName));
        QCOMPARE(s.bytes(), before);
    }

    void batchWindowsRefuseWhileTheSameDataIsOpen() {
        Session s;
        EditWindowOpen open(s.hub().editWindows(), EditWindows::PhraseSettings, 0);
        QVERIFY(!edit::noteBatch(s.ctx(), 0, nullptr));
        QCOMPARE(s.prompt.shown.back().caption, std::string("注意"));
        QCOMPARE(s.prompt.shown.back().text, std::string("フレーズ設定( 1 )を閉じてください。"));
        EditWindowOpen song(s.hub().editWindows(), EditWindows::SongDefaults, 0);
        QVERIFY(!edit::phraseBatch(s.ctx(), 0, nullptr));
        QCOMPARE(s.prompt.shown.back().text, std::string("ｿﾝｸﾞﾃﾞﾌｫﾙﾄﾀﾞｲｱﾛｸﾞを閉じてください。"));
    }

    void noteLengthAndPositionSteps() {
        Session s;
        NoteLengthPosDialog d(s.ctx(), 0, 2);
        QCOMPARE(d.minLabel()->text(), QString("Min = 001 : 1 : 001"));
        QVERIFY(d.positionMode()->isChecked());
        QVERIFY(!d.endSpin()->isEnabled());
        QVERIFY(d.startSpin()->stepBy(10));
        QCOMPARE(s.ev(2).startTick, 970u);
        QCOMPARE(s.ev(2).endTick, 1370u);
        // Over the next note (1440) is fine: only Min, Max and the last bar limit the note.
        QVERIFY(d.startSpin()->stepBy(200));
        QCOMPARE(s.ev(2).startTick, 1170u);
        QCOMPARE(s.ev(2).endTick, 1570u);
        QVERIFY(!d.startSpin()->stepBy(800));  // the start would pass Max (001 : 4 : 479)
        QCOMPARE(s.ev(2).startTick, 1170u);
        d.lengthMode()->setChecked(true);
        QVERIFY(d.endSpin()->stepBy(-100));
        QCOMPARE(s.ev(2).endTick, 1470u);
        d.reject();  // cancel puts the note back
        QCOMPARE(s.ev(2).startTick, 960u);
        QCOMPARE(s.ev(2).endTick, 1360u);
    }

    void undoOfEveryEditEndsOnTheSavedSong() {
        Session s;
        s.hub().session().saveSong(s.hub().midiPath(), s.dir.file("a.uta"));
        const auto saved = s.bytes();
        NoteVoiceWindow* w = s.open(0);
        for (int i = 0; i < 4; ++i) {
            type(w->codeEdit(0), i % 2 ? "TA" : "KA");
            w->groupButton(i % 3)->setChecked(true);
            QVERIFY(w->next());
        }
        w->headBox()->setChecked(true);
        QVERIFY(w->commit());
        QVERIFY(s.hub().undo());
        QVERIFY(!w->headBox()->isChecked());  // the window follows an undo
        QVERIFY(s.hub().redo());
        QVERIFY(w->headBox()->isChecked());
        {
            PhraseBatchDialog p(s.ctx(), 0);
            p.box("外部ｴﾌｪｸﾀ")->setChecked(true);
            p.tuningSet()->setChecked(true);
            p.accept();
        }
        QVERIFY(s.bytes() != saved);
        while (s.hub().undo()) {
        }
        QCOMPARE(s.bytes(), saved);
        QVERIFY(QTest::qWaitForWindowActive(w));
        QTest::keyClick(w, Qt::Key_Y, Qt::ControlModifier);
        QVERIFY(s.bytes() != saved);
        QTest::keyClick(w, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(s.bytes(), saved);
        // In a code edit Ctrl+Z first undoes the typing, then the song's last edit.
        QVERIFY(s.hub().redo());
        const auto redone = s.bytes();
        w->codeEdit(1)->setFocus();
        QTest::keyClicks(w->codeEdit(1), "TA");
        QTest::keyClick(w->codeEdit(1), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(w->codeEdit(1)->text(), QString());
        QCOMPARE(s.bytes(), redone);
        QTest::keyClick(w->codeEdit(1), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(s.bytes(), saved);
        w->close();
    }

    // With English chosen the note's windows and the settings forms have no Japanese of their
    // own left; the kana of the note's syllables is song data and stays.
    void theNoteWindowsSpeakEnglish() {
        Session s;
        English english;
        QVERIFY(english.loaded);
        NoteVoiceWindow* w = s.open(0);
        type(w->codeEdit(0), "KA");
        QVERIFY(w->commit());
        QCOMPARE(w->windowTitle(), QString("VoiceNote ( 1 - No.1 )"));
        QCOMPARE(w->lengthGroup()->title(), QString("Note length: 400 "));
        QVERIFY(w->button("&Note Settings") && w->button("Pre&vious [F4]") && w->button("&Close"));
        QCOMPARE(japaneseTexts(w), QStringList{"QLabel: " + w->kanaLabel(0)->text()});
        QVERIFY(hasJapanese(w->kanaLabel(0)->text()));

        NoteSettingsDialog settings(s.ctx(), 0, 0, w);
        QCOMPARE(settings.windowTitle(), QString("Note Settings (1)"));
        QStringList labels;
        for (const QLabel* l : settings.findChildren<QLabel*>()) labels << l->text();
        QVERIFY2(labels.contains("Vibrato") && labels.contains("Consonant speed"), qPrintable(labels.join(", ")));
        QCOMPARE(japaneseTexts(&settings), QStringList());
        OneClickLengthDialog lengths({240, 480, 960, 0, 0}, w);
        QCOMPARE(lengths.windowTitle(), QString("One-Click Note Lengths"));
        QCOMPARE(japaneseTexts(&lengths), QStringList());
        ChListSettingsDialog list(s.hub().settings(), w);
        QCOMPARE(list.windowTitle(), QString("Channel List Settings"));
        QCOMPARE(japaneseTexts(&list), QStringList());
        ChScoreSettingsDialog score(s.hub(), w);
        score.showWords()->setChecked(true);
        QCOMPARE(score.wordKind()->button(0)->text(), QString("Hiragana"));
        QCOMPARE(japaneseTexts(&score), QStringList());
        QVERIFY(!hasJapanese(score.showPitchLine()->toolTip()));
        w->close();
    }

    void phraseWaveFileWithItsInformation() {
        Session s;
        NoteVoiceWindow* w = s.open(1);
        type(w->codeEdit(0), "A");
        s.files.answers = {s.dir.file("phrase.txt"), s.dir.file("phrase.wav")};
        QVERIFY(!w->writePhraseWav());  // not a ".wav": nothing
        QVERIFY(w->writePhraseWav());
        QCOMPARE(s.prompt.shown.back().caption, std::string("Wave Info."));
        QVERIFY(QString::fromStdString(s.prompt.shown.back().text).startsWith("Filesize : "));
        w->close();
    }
};

QTEST_MAIN(NoteVoiceWindowTest)
#include "NoteVoiceWindowTest.moc"
