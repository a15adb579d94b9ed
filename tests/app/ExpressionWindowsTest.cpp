// Singing with expression in the windows, on the offscreen platform: the score's pitch line
// (its check box kept in score.conf, the line drawn through the curve the synthesis sings)
// and the expression defaults of the channel and song settings windows (undoable, saved).
#include <QImage>
#include <QTest>
#include <cmath>
#include <fstream>

#include "app/ChannelListWindow.h"
#include "app/ChannelScoreWindow.h"
#include "app/ChannelSettingsDialogs.h"
#include "app/EditDialogs.h"
#include "app/KantorApp.h"
#include "base/FileIO.h"
#include "song/Expression.h"
#include "midi/SmfWriter.h"
#include "settings/ChoiceFile.h"
#include "song/PitchLine.h"
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
    MainPanel* panel = nullptr;
    Session() {
        AppOptions o;
        o.hub.audio = HubOptions::Audio::Off;
        o.prompt = &prompt;
        o.files = &files;
        o.panelDelayMs = 0;
        o.openUrl = [](const QString&) {};
        app = std::make_unique<KantorApp>(std::move(o));
        // Two beats a second: a 2 s note on key 69, then a touching note a fourth up, then
        // short notes.
        SmfTrack t;
        t.tempo(0, 500000).timeSignature(0, 4, 2);
        t.note(0, 1920, 0, 69, 100);
        t.note(1920, 2880, 0, 74, 100);
        for (int i = 0; i < 4; ++i) t.note(2880 + uint32_t(i) * 240, 3100 + uint32_t(i) * 240, 0, 72, 100);
        t.endOfTrack(4 * 1920);
        const auto bytes = buildSmf(0, 480, {t});
        std::ofstream(dir.file("a.mid"), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        app->hub().startUp();
        panel = app->showPanel();
        app->hub().openMidi(dir.file("a.mid"));
        app->hub().session().makeVoxChannel(0);
        Song& song = app->hub().song();
        for (std::size_t i = 0; i < song.channel(0).events.size(); ++i) {
            song.event(0, i)->setCode(0, "A");
            song.event(0, i)->syllableLength[0] = 1;
        }
        song.makePhraseHead(0, 0);
        app->hub().setModified(false);
    }
    Hub& hub() { return app->hub(); }
    ChannelListWindow* list() {
        panel->run(MainPanel::ChannelList);
        return qobject_cast<ChannelListWindow*>(panel->window(MainPanel::ChannelList));
    }
    ChannelScoreWindow* score() {
        ChannelListWindow* l = list();
        return l ? l->openScore(0, 0, 0) : nullptr;
    }
    void setVibrato(std::size_t note, uint16_t depth, uint16_t rateCentiHz, uint16_t delay) {
        NoteExpression v;
        v.mark(NoteValue::Vibrato, true);
        v.vibratoDepthCents = depth;
        v.vibratoRateCentiHz = rateCentiHz;
        v.vibratoDelayMs = delay;
        std::string error;
        QVERIFY2(setNoteExpression(hub().song(), 0, note, note, v, 0, error), error.c_str());
        hub().edited(0);
    }
};

// The line's crimson, alone or blended into its white edge: nothing else in a score without
// its cursor is that red.
bool isLineColour(QRgb c) { return qRed(c) - qBlue(c) > 50 && qRed(c) - qGreen(c) > 80; }

int lineColourPixels(const QImage& image) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) n += isLineColour(image.pixel(x, y));
    return n;
}

// Whether a line-coloured pixel lies within `r` pixels of p.
bool lineNear(const QImage& image, QPointF p, int r = 2) {
    for (int dy = -r; dy <= r; ++dy)
        for (int dx = -r; dx <= r; ++dx) {
            const int x = int(std::lround(p.x())) + dx, y = int(std::lround(p.y())) + dy;
            if (x >= 0 && y >= 0 && x < image.width() && y < image.height() && isLineColour(image.pixel(x, y)))
                return true;
        }
    return false;
}

}  // namespace

class ExpressionWindowsTest : public QObject {
    Q_OBJECT
private slots:
    void thePitchLineBoxIsOffAtFirstAndKeptInScoreConf() {
        Session s;
        ChannelScoreWindow* w = s.score();
        QVERIFY(w);
        QVERIFY(!w->view()->pitchLine());
        const std::string path = s.hub().scoreChoicePath();
        QCOMPARE(QString::fromStdString(fileNameOf(path)), QString("score.conf"));
        {
            ChScoreSettingsDialog d(s.hub());
            QVERIFY(!d.showPitchLine()->isChecked());
            d.showPitchLine()->setChecked(true);
            d.accept();
        }
        QVERIFY(s.hub().scoreChoice().pitchLine);
        QCOMPARE(QString::fromStdString(readChoiceFile(path)), QString("pitch-line=on\n"));
        s.list()->applySettings();
        QVERIFY(w->view()->pitchLine());
        // The binary settings block is left as other programs read it.
        const SettingsBlock before = s.hub().settings().block();
        {
            ChScoreSettingsDialog d(s.hub());
            QVERIFY(d.showPitchLine()->isChecked());  // as kept
            d.reject();
        }
        QVERIFY(s.hub().settings().block() == before);
        // A later start reads it back; a damaged file gives the default.
        QVERIFY(ScoreChoice::load(path).pitchLine);
        QVERIFY(!ScoreChoice::fromText("pitch-line=maybe\n").pitchLine);
        QVERIFY(ScoreChoice::fromText("pitch-line=off\npitch-line=on\n").pitchLine);
        {
            ChScoreSettingsDialog d(s.hub());
            d.showPitchLine()->setChecked(false);
            d.accept();
        }
        QCOMPARE(QString::fromStdString(readChoiceFile(path)), QString("pitch-line=off\n"));
    }

    void theLineFollowsTheVibratoTheSynthesisSings() {
        Session s;
        s.setVibrato(0, 80, 400, 500);  // ±80 cents at 4 Hz after 0.5 s on the 2 s note
        ChannelScoreWindow* w = s.score();
        QVERIFY(w);
        w->resize(900, 520);
        ScoreView* v = w->view();
        v->setSpan({0, 2});
        v->setKeys({60, 24});
        v->setWordDisplay(WordDisplay::Off);  // the words' labels would cover the line's peaks
        v->setPosition(0, false);             // and the cursor is as red as the line
        v->setPitchLine(true);
        const auto& line = v->pitchLineSyllables();
        QVERIFY(!line.empty());
        QCOMPARE(line[0].event, std::size_t(0));
        const SungSyllable& y = line[0];
        // The curve is the one the synthesis is given.
        const std::vector<SungSyllable> shared = pitchLineOf(s.hub().song(), 0, s.hub().tempoMap(), ExpressionMode::Off);
        QCOMPARE(y.curve.vibratoDepthCents, shared[0].curve.vibratoDepthCents);
        const QPolygonF points = v->pitchLinePoints(0);
        QVERIFY(points.size() > 40);
        const KeyAxis k = v->keyAxis();
        const MeasureAxis a = v->axis();
        const double centre = k.yOf(69) + k.rowHeight() / 2;
        const double x0 = a.xOf(0), x1 = a.xOf(1920);
        QCOMPARE(points.first().x(), x0);
        QCOMPARE(points.last().x(), x1);
        // Flat on the note before the delay; then swinging ±80 cents four times a second.
        int crossings = 0;
        double highest = 0, lowest = 0;
        for (int i = 0; i < points.size(); ++i) {
            const double t = (points[i].x() - x0) / (x1 - x0) * 2000.0;
            const double cents = (centre - points[i].y()) / k.rowHeight() * 100.0;
            QVERIFY2(std::abs(cents - y.curve.centsAt(t)) < 2.0, qPrintable(QString("t %1 ms").arg(t)));
            if (t < 495) QVERIFY(std::abs(cents) < 0.5);
            highest = std::max(highest, cents);
            lowest = std::min(lowest, cents);
            if (i > 0 && t > 500) {
                const double before = (centre - points[i - 1].y()) / k.rowHeight() * 100.0;
                crossings += (before < 0) != (cents < 0);
            }
        }
        QVERIFY(highest > 75 && highest <= 80.5);
        QVERIFY(lowest < -75 && lowest >= -80.5);
        QVERIFY2(crossings >= 11 && crossings <= 13, qPrintable(QString::number(crossings)));  // 6 periods in 1.5 s

        // Painted: the line passes through its points, and nothing of its colour shows without it.
        QImage on(v->size(), QImage::Format_ARGB32);
        v->render(&on);
        if (qEnvironmentVariableIsSet("KANTOR_TEST_IMAGES")) on.save(qEnvironmentVariable("KANTOR_TEST_IMAGES") + "/line.png");
        int near = 0;
        for (const QPointF& p : points) near += lineNear(on, p);
        QVERIFY2(near >= points.size() * 9 / 10, qPrintable(QString("%1 of %2").arg(near).arg(points.size())));
        v->setPitchLine(false);
        QImage off(v->size(), QImage::Format_ARGB32);
        v->render(&off);
        QCOMPARE(lineColourPixels(off), 0);
        QVERIFY(lineColourPixels(on) > 100);
    }

    void theLineGlidesAndFollowsTheExpressionMode() {
        Session s;
        ChannelScoreWindow* w = s.score();
        QVERIFY(w);
        ScoreView* v = w->view();
        v->setPitchLine(true);
        // Off: every syllable flat on its note.
        for (std::size_t i = 0; i < v->pitchLineSyllables().size(); ++i) {
            const QPolygonF p = v->pitchLinePoints(i);
            QCOMPARE(p.first().y(), p.last().y());
        }
        // 表情をつける: the second note glides in from the first's pitch, five keys below.
        s.hub().setExpressionMode(ExpressionMode::Auto);
        const auto& line = v->pitchLineSyllables();
        QVERIFY(line.size() >= 2);
        QCOMPARE(line[1].event, std::size_t(1));
        QVERIFY(line[1].curve.glideMs > 0);
        const QPolygonF glide = v->pitchLinePoints(1);
        const KeyAxis k = v->keyAxis();
        QVERIFY(std::abs(glide.first().y() - (k.yOf(69) + k.rowHeight() / 2)) < 0.5);
        QVERIFY(std::abs(glide.last().y() - (k.yOf(74) + k.rowHeight() / 2)) < k.rowHeight() * 0.5);
        // An edit of the note's settings shows at once.
        s.setVibrato(1, 100, 500, 0);
        QCOMPARE(v->pitchLineSyllables()[1].curve.vibratoDepthCents, 100.0);
        s.hub().setExpressionMode(ExpressionMode::Off);
        QCOMPARE(v->pitchLineSyllables()[1].curve.glideMs, 0.0);
    }

    void channelDefaultsAreUndoableAndSaved() {
        Session s;
        if (!s.hub().voices().ensureVoiceLoaded("MaleVox")) QSKIP("the built-in voices are made by release builds");
        Song& song = s.hub().song();
        // The song's default first: a vibrato for every note.
        {
            VoiceSettingsDialog d(s.app->context(), SettingsEdit::forSong(song));
            ExpressionForm* f = d.expressionForm();
            QVERIFY(f);
            for (int i = 0; i < ExpressionForm::kBoxes; ++i) QVERIFY(f->defaultBox(i)->isChecked());
            QVERIFY(!f->depth()->isEnabled());
            f->defaultBox(0)->setChecked(false);
            QVERIFY(f->depth()->isEnabled());
            f->depth()->setValue(45);
            f->rate()->setValue(5.5);
            f->delay()->setValue(250);
            d.accept();
            QVERIFY(d.stored());
        }
        QCOMPARE(noteDefaultsOf(song.songDefaults()).vibratoDepthCents, uint16_t(45));
        QVERIFY(noteDefaultsOf(song.channelDefaults(0)).set == 0);
        // The channel's window shows the song's vibrato under its ticked box, and sets a power.
        {
            VoiceSettingsDialog d(s.app->context(), SettingsEdit::forChannel(song, 0));
            ExpressionForm* f = d.expressionForm();
            QVERIFY(f->defaultBox(0)->isChecked());
            QCOMPARE(f->depth()->value(), 45);
            f->defaultBox(5)->setChecked(false);
            f->power()->setValue(2.0);
            f->defaultBox(8)->setChecked(false);
            f->consonantSpeed()->setValue(150);
            d.accept();
            QVERIFY(d.stored());
        }
        NoteExpression ch = noteDefaultsOf(song.channelDefaults(0));
        QCOMPARE(ch.set, uint16_t(NoteValue::Power));
        QCOMPARE(ch.power, uint16_t(2000));
        QCOMPARE(syllableDefaultsOf(song.channelDefaults(0)).consonantSpeed, uint16_t(150));
        QVERIFY(song.modified());
        // Every note sings with them.
        const NoteExpression sung = resolvedNoteExpression(song, 0, *song.event(0, 3));
        QCOMPARE(sung.power, uint16_t(2000));
        QCOMPARE(sung.vibratoDepthCents, uint16_t(45));

        // Saved where the layout keeps them, and read back.
        const std::string path = s.dir.file("b.uta");
        QVERIFY(s.hub().saveAs(path));
        Song back;
        SongFile reader;
        QVERIFY(reader.read(back, path));
        QVERIFY(noteDefaultsOf(back.channelDefaults(0)) == noteDefaultsOf(song.channelDefaults(0)));
        QCOMPARE(noteDefaultsOf(back.songDefaults()).vibratoDepthCents, uint16_t(45));
        QCOMPARE(syllableDefaultsOf(back.channelDefaults(0)).consonantSpeed, uint16_t(150));

        // Undo takes the channel's back, then the song's; redo brings them again.
        QVERIFY(s.hub().undo());
        QCOMPARE(noteDefaultsOf(song.channelDefaults(0)).set, uint16_t(0));
        QCOMPARE(noteDefaultsOf(song.songDefaults()).vibratoDepthCents, uint16_t(45));
        QVERIFY(s.hub().undo());
        QCOMPARE(noteDefaultsOf(song.songDefaults()).set, uint16_t(0));
        QVERIFY(s.hub().redo());
        QVERIFY(s.hub().redo());
        QCOMPARE(noteDefaultsOf(song.channelDefaults(0)).power, uint16_t(2000));
    }

    void aWindowOpenedAndClosedLeavesAnotherProgramsBytes() {
        Session s;
        if (!s.hub().voices().ensureVoiceLoaded("MaleVox")) QSKIP("the built-in voices are made by release builds");
        Song& song = s.hub().song();
        VoiceSettings& rec = song.channelDefaults(0);
        for (std::size_t i = 0; i < rec.reserved2.size(); ++i) rec.reserved2[i] = uint8_t(0x40 + i);
        const VoiceSettings before = rec;
        {
            VoiceSettingsDialog d(s.app->context(), SettingsEdit::forChannel(song, 0));
            for (int i = 0; i < ExpressionForm::kBoxes; ++i) QVERIFY(d.expressionForm()->defaultBox(i)->isChecked());
            d.accept();
            QVERIFY(!d.stored());
        }
        QVERIFY(song.channelDefaults(0) == before);
        QVERIFY(!song.modified());
        // The phrase settings have no expression defaults.
        SettingsEdit phrase;
        QVERIFY(SettingsEdit::forPhrase(song, 0, 0, phrase));
        VoiceSettingsDialog d(s.app->context(), phrase);
        QVERIFY(d.expressionForm() == nullptr);
    }
};

QTEST_MAIN(ExpressionWindowsTest)
#include "ExpressionWindowsTest.moc"
