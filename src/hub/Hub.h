#pragma once
// The application owner: the object that lives as long as the program and owns what the
// windows share — the folders, the settings, the voice bank, the song with its MIDI file,
// measure table and tempo list, the synthesis engine, and the transport with its devices.
// The desktop program's windows and the command line both work through it, so both start,
// open, save, play and stop the same way. It has no window of its own and no toolkit code.
//
// Threads: the devices post their notifications to the hub's queue from the audio thread;
// the owner's thread pumps the queue (pump()), and every listener call happens there. A
// post hook lets the owner schedule that pump on its own thread (the desktop program posts
// a queued call to its GUI thread); nothing reaches a window from another thread.
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "audio/Transport.h"
#include "base/FileLock.h"
#include "base/Translation.h"
#include "hub/PanelCounters.h"
#include "hub/TransportRig.h"
#include "midi/MidiFile.h"
#include "midi/TempoMap.h"
#include "platform/EffectHostClient.h"
#include "plugins/EffectRack.h"
#include "platform/Folders.h"
#include "settings/MidiOutputChoice.h"
#include "settings/RenderChoice.h"
#include "settings/ScoreChoice.h"
#include "settings/Settings.h"
#include "song/EditHistory.h"
#include "song/MidiStreamStopper.h"
#include "song/NoteEdits.h"  // editNotes hands one to its caller
#include "song/Song.h"
#include "song/SongEdits.h"
#include "song/SongSession.h"
#include "synth/SynthEngine.h"
#include "synth/VoiceBankLoader.h"
#include "voice/VoiceBank.h"

namespace kantor {

class UserPrompt;

struct HubOptions {
    // How sound is made: Off (commands that only read and render), RealTime (the sound
    // device, or the null device when there is none), Null (real time without a device),
    // Virtual (a clock the caller advances: tests and offline mixdown).
    enum class Audio { Off, RealTime, Null, Virtual };

    FolderOverrides folders;
    Audio audio = Audio::Off;
    // The MIDI output: empty = the choice file beside the settings decides.
    std::string midiPort;
    bool midiPortGiven = false;
    // How the vocal's pitch is changed for this run: empty = the choice file beside the
    // settings decides (render.conf, Resample when it says nothing).
    std::optional<PitchMode> pitchMode;
    // Expression for notes without settings of their own (nullopt: render.conf decides).
    std::optional<ExpressionMode> expression;
};

// The windows that follow the song and the transport.
class HubListener : public TransportListener {
public:
    // A song was opened or closed, saved under a new name, or its title changed.
    virtual void songChanged() {}
    // The modified mark changed.
    virtual void modifiedChanged() {}
    // The render before a play or an export advanced (total 0 clears the bar).
    virtual void renderProgress(int done, int total) {
        (void)done;
        (void)total;
    }
    // The transport started, paused, restarted or stopped.
    virtual void playStateChanged() {}
    // The song's lyric lines, inserted waves or mute and solo switches were edited.
    virtual void lyricsChanged() {}
    virtual void wavesChanged() {}
    virtual void channelFlagsChanged() {}
    // An editing window changed records of channel c (0-15), or the song defaults (-1),
    // or an undo or redo put them back: views of that data redraw.
    virtual void songEdited(int channel) { (void)channel; }
    // A voice of the voice folder was built, replaced, imported or deleted.
    virtual void voicesChanged() {}
    void positionNotify(PositionReceiver, PositionCode, uint32_t, const LyricLine*) override {}
};

class Hub : private MidiStreamStopper, private TransportListener {
public:
    Hub(UserPrompt& prompt, HubOptions options = {});
    ~Hub() override;
    Hub(const Hub&) = delete;
    Hub& operator=(const Hub&) = delete;

    // Start-up: the user's folders, the built-in voices and demo song on the first start,
    // the settings file (a missing or foreign one sets settingsMissing()), the voice folder
    // text written at the first start, the devices (unless Off) and the stored wave volume,
    // after keeping the device's own to restore at exit.
    void startUp();
    // Exit: the transport stops, the device's volume comes back, the volume in use and the
    // settings are saved (atomically: a failed save leaves the old file). Safe to call twice.
    void shutDown();

    bool settingsMissing() const { return settings_.settingsMissing(); }
    // Empty, or why the devices could not be made (the program then cannot play).
    const std::string& deviceError() const { return deviceError_; }
    // Empty, or the note that the null device stands in for a missing sound device.
    std::string deviceNote() const;

    Folders& folders() { return folders_; }
    Settings& settings() { return settings_; }
    VoiceBank& voices() { return voices_; }
    UserPrompt& prompt() { return prompt_; }
    Song& song() { return doc_->song; }
    const Song& song() const { return doc_->song; }
    MidiFile& midi() { return doc_->midi; }
    const MidiFile& midi() const { return doc_->midi; }
    TempoMap& tempoMap() { return doc_->tempoMap; }
    const TempoMap& tempoMap() const { return doc_->tempoMap; }
    SongSession& session() { return doc_->session; }
    SynthEngine& engine() { return doc_->engine; }
    MidiOutputChoice& midiOutput() { return midiOutput_; }
    // The registered effect libraries, each run in an effect host, applied to every phrase.
    EffectRack& effects() { return effects_; }
    std::string midiOutputPath() const;
    // The render choice file beside the settings (render.conf).
    std::string renderChoicePath() const;
    // The score windows' own choices (score.conf beside the settings): the pitch line.
    const ScoreChoice& scoreChoice() const { return scoreChoice_; }
    // Keeps them in score.conf (written whole through a temporary file). False, with
    // `error` set, when the file cannot be written; the choice applies all the same.
    bool setScoreChoice(const ScoreChoice& choice, std::string* error = nullptr);
    std::string scoreChoicePath() const;

    // --- The song -------------------------------------------------------------------------
    bool hasMidi() const { return doc_->midi.isLoaded(); }
    // The MIDI file of the song (for a song file, the one beside it).
    std::string midiPath() const;
    // Opening reads into a new document: on failure the reader's text is shown (caption
    // "Error") and the song already open stays open and unchanged. On success the path goes
    // to the top of the recent files.
    bool openMidi(const std::string& path);
    bool openSong(const std::string& path);
    // A MIDI file made in memory (an imported score) that is to be written as `path`.
    bool openMidiImage(std::vector<uint8_t> bytes, const std::string& path);
    // By the last three letters: "mid" or "uta" (any case). Other endings do nothing (false).
    bool openByExtension(const std::string& path);
    // Saving holds the song file's lock (base/FileLock.h) while it writes, so that it takes
    // turns with kantor-cli commands changing the same song. When the file on disk is no
    // longer the one opened or last saved (another program changed or replaced it), the
    // user is asked first (kChangedOnDisk, "確認"); No saves nothing.
    static constexpr const char* kChangedOnDisk =
        KANTOR_TEXT("このﾌｧｲﾙは、開いた後で他のﾌﾟﾛｸﾞﾗﾑによって変更されています。\n上書きしますか？");
    // Saves under the song's own name; false when it has none yet (the caller asks for one).
    bool save();
    // Saves under a new name, which must lie in the MIDI file's folder (see inMidiFolder).
    bool saveAs(const std::string& songPath);
    // True when `path` lies in the folder of the song's MIDI file (a song finds its MIDI file
    // beside itself).
    bool inMidiFolder(const std::string& path) const;
    // The name the save dialog proposes: the song's own, else the MIDI file's with ".uta".
    std::string proposedSongPath() const;
    // The name the WAV export proposes: the song's (or MIDI file's) title with ".wav".
    std::string proposedWavPath() const;
    void setModified(bool modified);
    // After the title information changed.
    void titleChanged();
    // After an edit of the lyric lines, the inserted waves or the channel flags: the song is
    // marked modified and the windows that show them are told.
    void lyricsEdited();
    void wavesEdited();
    void channelFlagsEdited();
    // The song's title text, or the program title when it is empty.
    std::string windowTitle() const;

    // --- Editing --------------------------------------------------------------------------
    // The undo history of the song open (a new song starts a new one).
    EditHistory& history() { return doc_->history; }
    // The editing windows open, for the checks before a batch change opens.
    EditWindows& editWindows() { return editWindows_; }
    // After an edit of channel c (0-15) or of the song defaults (-1): the song is modified
    // and the listeners hear of it.
    void edited(int channel);
    // Undo and redo of the last edit; false when there was none. A note edit's step puts the
    // MIDI file back as well and writes both files (a failure is shown, "Error").
    bool undo();
    bool redo();
    // Writing notes (song/NoteEdits.h): `edit` runs on the song open. The transport stops
    // first (it reads the MIDI file); the MIDI file and the song file (when the song has one,
    // under its lock) are written as one step, the measure table follows, and the listeners
    // hear of channel c. A failure is shown ("Error") and changes nothing.
    bool editNotes(int c, const std::function<bool(NoteEdits&)>& edit);

    // Listening from the note voice window (channel 0-15, event index). Each stops what
    // plays first. A note without a phrase head gets "このノートの属するフレーズの先頭が
    // ありません。" ("警告"); render and device failures are shown ("Error").
    // The note sung alone.
    bool singNote(int channel, std::size_t event);
    // The note's MIDI alone.
    bool playNoteMidi(int channel, std::size_t event);
    // The phrase of the note with its MIDI, from its start rounded down to a quarter note.
    bool playPhrase(int channel, std::size_t event);
    // The phrase of the note written to a WAV file; `info` is the "Wave Info." text.
    bool exportPhraseWav(int channel, std::size_t event, const std::string& path, std::string& info);

    // Renders the song's vocal (the whole song, no inserted waves) into a WAV file. On
    // success `info` is the "Wave Info." text; on failure the error is shown ("Error").
    bool exportSongWav(const std::string& path, std::string& info);

    // --- The transport --------------------------------------------------------------------
    bool canPlay() const { return rig_ && rig_->attached(); }
    // Null when nothing can play (no devices, or no MIDI file).
    Transport* transport();
    TransportRig* rig() { return rig_.get(); }
    // The MIDI delay correction that sound played here applies (the song, and the voice data
    // maker's listening): the stored one while the MIDI goes out to a device of its own, none
    // with the embedded synthesizer, where MIDI and vocal leave through one audio callback.
    int32_t playbackDelayCorrection() const;
    // The devices, for a window that plays or records by itself: what the window makes on
    // them keeps them alive after the hub has let them go (a new MIDI output, exit), and the
    // hub's pump() goes on delivering their notifications. Null when there are none.
    std::shared_ptr<DeviceSet> devices();
    bool playFromTop();
    bool playFromLastPosition();
    bool playBetween();
    bool loopPlay();
    bool pauseOrRestart();
    bool stop();
    Transport::State playState() const;

    uint32_t currentPosition() const;
    void setCurrentPosition(uint32_t tick);  // also tells the channel list (code 50)
    // A window moved the position (a click in the channel list or a score): the panel
    // shows it with its lyric line, as when loop play starts (code 70).
    void movePosition(uint32_t tick);
    // A tool window moved the song position: the main panel and the channel list follow.
    void postSongPosition(uint32_t tick);
    PlayRange range() const;
    void setRange(PlayRange r);
    PanelSteps steps() const { return PanelSteps::of(doc_->tempoMap); }
    std::string positionText(uint32_t tick, uint32_t* beatLength = nullptr) const;

    // The wave output volume (left, right), applied to the device and kept in the settings.
    void setWaveVolume(uint16_t left, uint16_t right);
    // How many volume controls the wave output has (2: left and right apart).
    int waveVolumeControls() const { return 2; }
    // The device volume kept at start (left in the low 16 bits), restored at exit.
    uint32_t keptDeviceVolume() const { return keptVolume_; }

    // Chooses where the MIDI goes and keeps the choice in its file beside the settings. The
    // devices are made again at once; false (with deviceError()) when they cannot be.
    bool setMidiOutput(const MidiOutputChoice& choice);

    // How every render of this hub changes the vocal's pitch: the command line's choice for
    // this run, else the one kept in render.conf (read at start-up).
    PitchMode pitchMode() const { return pitchMode_; }
    // Chooses it for every render from now on and keeps it in render.conf (written whole
    // through a temporary file). False, with `error` set, when the file cannot be written;
    // the choice applies all the same.
    bool setPitchMode(PitchMode mode, std::string* error = nullptr);
    // "表情をつける": kept in render.conf beside the pitch mode.
    ExpressionMode expressionMode() const { return expressionMode_; }
    bool setExpressionMode(ExpressionMode mode, std::string* error = nullptr);

    // After the sound settings changed (the sync correction's OK): the delay correction
    // applies from the next render (with the embedded synthesizer there is none to apply).
    void applySoundSettings();

    // --- Notifications --------------------------------------------------------------------
    // Tells the listeners that the voice folder's voices changed.
    void voicesChanged();
    void addListener(HubListener* l);
    void removeListener(HubListener* l);
    // Called (from any thread) whenever a device posted a notification for the owner to pump.
    void setPostHook(std::function<void()> hook);
    // Delivers the pending device notifications (owner's thread). Returns how many.
    std::size_t pump();

private:
    struct Document {
        Document(Hub& hub);
        Song song;
        MidiFile midi;
        TempoMap tempoMap;
        SongSession session;
        SynthEngine engine;
        EditHistory history;
        // The song file as it was on disk when it was opened or last saved.
        FileStamp diskStamp;
    };
    bool openInto(const std::function<bool(SongSession&)>& open, const std::string& path);
    void attachTransport();
    void makeDevices();
    bool saveTo(const std::string& songPath);
    bool noteFiles(const std::function<bool(NoteEdits&)>& edit, const std::vector<int>& channels);
    bool stopAndCloseStream(std::string& error) override;
    void positionNotify(PositionReceiver r, PositionCode c, uint32_t tick, const LyricLine* line) override;
    void betweenChanged(uint32_t start, uint32_t stop) override;
    void vocalLate() override;
    template <typename F>
    void each(F f) {
        const std::vector<HubListener*> ls = listeners_;
        for (HubListener* l : ls) f(*l);
    }
    bool play(bool (Transport::*op)());

    UserPrompt& prompt_;
    HubOptions options_;
    Folders folders_;
    Settings settings_;
    std::vector<std::string> pluginFilesAsRead_;  // to keep others' changes of the list at exit
    VoiceBank voices_;
    VoiceBankLoader loader_;
    MidiOutputChoice midiOutput_;
    ScoreChoice scoreChoice_;
    // Before the documents: every document's engine renders with it.
    PitchMode pitchMode_ = PitchMode::Resample;
    ExpressionMode expressionMode_ = ExpressionMode::Off;
    // Before the documents: every document's engine uses the rack.
    EffectHostLoader effectLoader_;
    EffectRack effects_;
    std::unique_ptr<Document> doc_;
    std::unique_ptr<TransportRig> rig_;
    std::vector<HubListener*> listeners_;
    EditWindows editWindows_;
    std::string deviceError_;
    // The post hook, shared with the devices' queues so that a set a window still holds
    // never calls into a hub that has gone.
    struct PostRelay {
        std::mutex mutex;
        std::function<void()> hook;
        void operator()();
    };
    std::shared_ptr<PostRelay> postRelay_ = std::make_shared<PostRelay>();
    // The device sets handed to windows, pumped for as long as they live.
    std::vector<std::weak_ptr<DeviceSet>> handedOut_;
    uint32_t keptVolume_ = 0xFFFFFFFFu;
    uint32_t current_ = 0;
    PlayRange range_;
    bool started_ = false;
    bool shutDown_ = false;
};

}  // namespace kantor
