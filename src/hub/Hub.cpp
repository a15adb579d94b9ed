#include "hub/Hub.h"

#include <algorithm>
#include <filesystem>

#include "base/FileIO.h"
#include "base/Translation.h"
#include "platform/BuiltinData.h"
#include "platform/UserPrompt.h"
#include "settings/StartFile.h"
#include "settings/StartupTexts.h"
#include "song/PhraseEvents.h"
#include "synth/SongRenderer.h"

namespace kantor {

namespace {

std::string withExtension(const std::string& path, const std::string& ext) {
    const std::string name = fileNameOf(path);
    const std::size_t dot = name.rfind('.');
    const std::string stem = dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
    return joinPath(folderOf(path), stem + ext);
}

}  // namespace

Hub::Document::Document(Hub& hub)
    : session(song, midi, tempoMap, hub.prompt_, hub, hub.loader_), engine(hub.voices_, tempoMap) {
    engine.setMidiDelayCorrection(hub.settings_.midiDelayCorrection());
    engine.setEffects(&hub.effects_);
    engine.setPitchMode(hub.pitchMode_);
    engine.setExpressionMode(hub.expressionMode_);
}

Hub::Hub(UserPrompt& prompt, HubOptions options)
    : prompt_(prompt),
      options_(std::move(options)),
      folders_(Folders::fromEnvironment(options_.folders)),
      settings_(folders_.settingsDefaults()),
      voices_(folders_.voiceFolder()),
      loader_(voices_),
      effects_(effectLoader_, prompt_, [this] { return settings_.pluginFiles(); }),
      doc_(std::make_unique<Document>(*this)) {}

Hub::~Hub() {
    {
        std::lock_guard<std::mutex> lock(postRelay_->mutex);
        postRelay_->hook = nullptr;
    }
    if (rig_) rig_->detach();
    doc_.reset();
    rig_.reset();
}

std::string Hub::midiOutputPath() const { return joinPath(folderOf(folders_.settingsFilePath()), MidiOutputChoice::kFileName); }

std::string Hub::renderChoicePath() const { return joinPath(folderOf(folders_.settingsFilePath()), RenderChoice::kFileName); }

std::string Hub::scoreChoicePath() const { return joinPath(folderOf(folders_.settingsFilePath()), ScoreChoice::kFileName); }

bool Hub::setScoreChoice(const ScoreChoice& choice, std::string* error) {
    scoreChoice_ = choice;
    return choice.save(scoreChoicePath(), error);
}

bool Hub::setPitchMode(PitchMode mode, std::string* error) {
    pitchMode_ = mode;
    doc_->engine.setPitchMode(mode);
    RenderChoice choice;
    choice.keepFormants = mode == PitchMode::KeepFormants;
    choice.autoExpression = expressionMode_ == ExpressionMode::Auto;
    return choice.save(renderChoicePath(), error);
}

bool Hub::setExpressionMode(ExpressionMode mode, std::string* error) {
    expressionMode_ = mode;
    doc_->engine.setExpressionMode(mode);
    RenderChoice choice;
    choice.keepFormants = pitchMode_ == PitchMode::KeepFormants;
    choice.autoExpression = mode == ExpressionMode::Auto;
    return choice.save(renderChoicePath(), error);
}

void Hub::startUp() {
    if (started_) return;
    started_ = true;
    // The built-in voices are read where they were installed; the first start puts the
    // demo song into the user's sample folder.
    std::vector<std::string> failed;
    if (!folders_.createFolders()) failed.push_back(folders_.lastError());
    voices_.setSharedFolders(builtinVoiceFolders(folders_));
    installBuiltinData(folders_, nullptr, &failed);
    // Without room for them the sample folder stays empty: say why.
    if (!failed.empty()) {
        std::string text = "The demo song could not be put into your folders:";
        for (const std::string& f : failed) text += "\n" + f;
        prompt_.warning(SongSession::kErrorCaption, text);
    }
    settings_.load(folders_.settingsFilePath());
    pluginFilesAsRead_ = settings_.pluginFiles();
    if (settings_.voiceFolderText().empty()) settings_.setVoiceFolderText(folders_.voiceFolderText());
    doc_->engine.setMidiDelayCorrection(settings_.midiDelayCorrection());
    midiOutput_ = MidiOutputChoice::load(midiOutputPath());
    scoreChoice_ = ScoreChoice::load(scoreChoicePath());
    if (options_.midiPortGiven) midiOutput_.alsaPort = options_.midiPort;
    const RenderChoice kept = RenderChoice::load(renderChoicePath());
    if (options_.pitchMode) {
        pitchMode_ = *options_.pitchMode;
    } else {
        pitchMode_ = kept.keepFormants ? PitchMode::KeepFormants : PitchMode::Resample;
    }
    doc_->engine.setPitchMode(pitchMode_);
    expressionMode_ = options_.expression.value_or(kept.autoExpression ? ExpressionMode::Auto : ExpressionMode::Off);
    doc_->engine.setExpressionMode(expressionMode_);
    if (options_.audio == HubOptions::Audio::Off) return;

    makeDevices();
}

bool Hub::setMidiOutput(const MidiOutputChoice& choice) {
    stop();
    midiOutput_ = choice;
    std::string error;
    midiOutput_.save(midiOutputPath(), &error);
    if (options_.audio == HubOptions::Audio::Off) return true;
    if (rig_) rig_->detach();
    rig_.reset();
    makeDevices();
    return rig_ != nullptr;
}

void Hub::makeDevices() {
    deviceError_.clear();
    rig_ = std::make_unique<TransportRig>();
    if (!rig_->setUpDevices(midiOutput_.alsaPort, deviceError_)) {
        rig_.reset();
        return;
    }
    rig_->queue().setPostHook([relay = postRelay_] { (*relay)(); });
    switch (options_.audio) {
        case HubOptions::Audio::RealTime: rig_->engine().startRealTime(); break;
        case HubOptions::Audio::Null: rig_->engine().startNull(); break;
        case HubOptions::Audio::Virtual: rig_->engine().startVirtual(&rig_->queue(), 64); break;
        case HubOptions::Audio::Off: break;
    }
    // The device's own volume is kept to be restored at exit; the stored one applies now.
    keptVolume_ = rig_->engine().waveVolume();
    rig_->engine().setWaveVolume(uint32_t{settings_.waveVolumeLeft()} | uint32_t{settings_.waveVolumeRight()} << 16);
    attachTransport();
}

void Hub::shutDown() {
    if (shutDown_) return;
    shutDown_ = true;
    if (rig_) {
        if (rig_->attached()) rig_->transport().stop();
        const uint32_t inUse = rig_->engine().waveVolume();
        rig_->engine().setWaveVolume(keptVolume_);
        settings_.setWaveVolume(static_cast<uint16_t>(inUse & 0xFFFF), static_cast<uint16_t>(inUse >> 16));
        rig_->detach();
    }
    {
        // Taking turns with kantor-cli's changes of the settings (effect add and remove).
        const FileLock lock(folders_.settingsFilePath(), std::chrono::seconds(10));
        // kantor-cli may have added or removed plug-ins while the program ran: those
        // changes stay, beside the program's own.
        Settings onDisk;
        if (onDisk.load(folders_.settingsFilePath()) && !onDisk.settingsMissing())
            settings_.setPluginFiles(mergeLists(pluginFilesAsRead_, settings_.pluginFiles(), onDisk.pluginFiles()));
        settings_.save(folders_.settingsFilePath());
    }
    rig_.reset();
}

std::string Hub::deviceNote() const { return rig_ ? rig_->engine().deviceNote() : std::string(); }

void Hub::attachTransport() {
    if (!rig_ || !rig_->devicesReady()) return;
    rig_->detach();
    if (!doc_->midi.isLoaded()) return;
    // With the embedded synthesizer MIDI and vocal leave through the same audio callback:
    // there is no delay to correct.
    doc_->engine.setMidiDelayCorrection(playbackDelayCorrection());
    rig_->prepareFor(doc_->midi);
    Transport& t = rig_->attach(doc_->song, doc_->midi, doc_->tempoMap, doc_->engine, prompt_,
                                settings_.outputQualityCode());
    t.addListener(this);
    t.setProgress([this](int done, int total) { each([&](HubListener& l) { l.renderProgress(done, total); }); });
    t.setBetween(range_.start, range_.stop);
}

// --- The song -------------------------------------------------------------------------------

std::string Hub::midiPath() const {
    if (!doc_->song.midiPath().empty()) return doc_->song.midiPath();
    return doc_->midi.path();
}

bool Hub::openInto(const std::function<bool(SongSession&)>& open, const std::string& path) {
    auto fresh = std::make_unique<Document>(*this);
    if (!open(fresh->session)) return false;  // the session has shown why; nothing changed
    if (rig_) rig_->detach();
    doc_ = std::move(fresh);
    current_ = 0;
    range_ = {doc_->session.startPosition(), doc_->session.stopPosition()};
    attachTransport();
    settings_.addRecentFile(path);
    each([](HubListener& l) { l.songChanged(); });
    each([&](HubListener& l) { l.betweenChanged(range_.start, range_.stop); });
    return true;
}

bool Hub::openMidi(const std::string& path) {
    return openInto([&](SongSession& s) { return s.openMidi(path); }, path);
}

bool Hub::openMidiImage(std::vector<uint8_t> bytes, const std::string& path) {
    return openInto([&](SongSession& s) { return s.openMidiImage(std::move(bytes), path); }, path);
}

bool Hub::openSong(const std::string& path) {
    // Taken before the read: a change made while reading is seen at the save.
    const FileStamp stamp = FileStamp::of(path);
    if (!openInto([&](SongSession& s) { return s.openSong(path); }, path)) return false;
    doc_->diskStamp = stamp;
    return true;
}

bool Hub::openByExtension(const std::string& path) {
    switch (startFileKind(path)) {
        case StartFileKind::Midi: return openMidi(path);
        case StartFileKind::Song: return openSong(path);
        case StartFileKind::None: break;
    }
    return false;
}

bool Hub::saveTo(const std::string& songPath) {
    const bool renamed = songPath != doc_->song.songPath();
    const FileLock lock(songPath, std::chrono::seconds(10));
    if (!lock.locked()) {
        prompt_.notice(SongSession::kErrorCaption, lock.error());
        return false;
    }
    if (!renamed && doc_->diskStamp.exists && FileStamp::of(songPath) != doc_->diskStamp &&
        prompt_.askYesNo(KANTOR_TEXT("確認"), kChangedOnDisk) != PromptAnswer::Yes)
        return false;
    if (!doc_->session.saveSong(midiPath(), songPath)) return false;
    doc_->diskStamp = FileStamp::of(songPath);
    settings_.addRecentFile(songPath);
    each([](HubListener& l) { l.modifiedChanged(); });
    if (renamed) each([](HubListener& l) { l.songChanged(); });
    return true;
}

bool Hub::save() {
    if (!hasMidi() || doc_->song.songPath().empty()) return false;
    return saveTo(doc_->song.songPath());
}

bool Hub::saveAs(const std::string& songPath) {
    if (!hasMidi() || !inMidiFolder(songPath)) return false;
    return saveTo(songPath);
}

bool Hub::inMidiFolder(const std::string& path) const {
    const std::string a = canonicalFolderOf(path);
    const std::string b = canonicalFolderOf(midiPath());
    return !a.empty() && a == b;
}

std::string Hub::proposedSongPath() const {
    if (!doc_->song.songPath().empty()) return doc_->song.songPath();
    return withExtension(midiPath(), ".uta");
}

std::string Hub::proposedWavPath() const {
    const std::string base = doc_->song.songPath().empty() ? midiPath() : doc_->song.songPath();
    return withExtension(base, ".wav");
}

void Hub::setModified(bool modified) {
    if (doc_->song.modified() == modified) return;
    doc_->song.setModified(modified);
    each([](HubListener& l) { l.modifiedChanged(); });
}

void Hub::titleChanged() {
    setModified(true);
    each([](HubListener& l) { l.songChanged(); });
}

void Hub::lyricsEdited() {
    setModified(true);
    each([](HubListener& l) { l.lyricsChanged(); });
}

void Hub::wavesEdited() {
    setModified(true);
    each([](HubListener& l) { l.wavesChanged(); });
}

void Hub::channelFlagsEdited() {
    setModified(true);
    each([](HubListener& l) { l.channelFlagsChanged(); });
}

std::string Hub::windowTitle() const {
    const std::string& t = doc_->song.titleInfo().title;
    return t.empty() ? std::string(text::kAppTitle) : t;
}

bool Hub::exportSongWav(const std::string& path, std::string& info) {
    if (!hasMidi()) return false;
    stop();
    SongRenderer renderer(doc_->song, doc_->engine);
    RenderRequest r;
    r.startTick = 0;
    r.endTick = 0xFFFFFFFF;
    r.outputPath = path;
    r.qualityCode = settings_.outputQualityCode();
    r.voxMuted = SongRenderer::voxMutesOf(doc_->song);
    std::vector<PlaybackPiece> pieces;
    // The export renders as the command line does: the stored correction applies.
    doc_->engine.setMidiDelayCorrection(settings_.midiDelayCorrection());
    const bool ok = renderer.renderSong(
        r, pieces, [this](int done, int total) { each([&](HubListener& l) { l.renderProgress(done, total); }); });
    each([](HubListener& l) { l.renderProgress(0, 0); });
    doc_->engine.setMidiDelayCorrection(playbackDelayCorrection());
    if (!ok) {
        prompt_.notice(SongSession::kErrorCaption, renderer.lastError());
        return false;
    }
    if (pieces.empty()) {
        prompt_.notice(SongSession::kErrorCaption, KANTOR_TEXT("歌う音符がありません。"));
        return false;
    }
    info = waveInfoText(path, doc_->tempoMap, doc_->engine.earliestTick());
    return true;
}

// --- The transport --------------------------------------------------------------------------

int32_t Hub::playbackDelayCorrection() const {
    return rig_ && rig_->embeddedSynth() ? 0 : settings_.midiDelayCorrection();
}

Transport* Hub::transport() { return canPlay() ? &rig_->transport() : nullptr; }

Transport::State Hub::playState() const {
    return rig_ && rig_->attached() ? rig_->transport().state() : Transport::State::Idle;
}

bool Hub::play(bool (Transport::*op)()) {
    Transport* t = transport();
    if (!t) return false;
    const bool ok = (t->*op)();
    each([](HubListener& l) { l.playStateChanged(); });
    return ok;
}

bool Hub::playFromTop() { return play(&Transport::playFromTop); }
bool Hub::playFromLastPosition() { return play(&Transport::playFromLastPosition); }
bool Hub::playBetween() { return play(&Transport::playBetween); }
bool Hub::loopPlay() { return play(&Transport::loopPlay); }
bool Hub::pauseOrRestart() { return play(&Transport::pauseOrRestart); }

void Hub::voicesChanged() {
    each([](HubListener& l) { l.voicesChanged(); });
}

bool Hub::stop() {
    Transport* t = transport();
    if (!t) return true;
    const bool ok = t->stop();
    t->waveOut().close();
    each([](HubListener& l) { l.playStateChanged(); });
    return ok;
}

// --- Editing ------------------------------------------------------------------------------

void Hub::edited(int channel) {
    setModified(true);
    each([channel](HubListener& l) { l.songEdited(channel); });
}

bool Hub::undo() {
    if (doc_->history.undoMidi())
        return noteFiles([](NoteEdits& e) { return e.undo(); }, {});
    if (doc_->history.undo(doc_->song) == EditHistory::kNothing) return false;
    for (int scope : doc_->history.lastScopes()) edited(scope);
    return true;
}

bool Hub::redo() {
    if (doc_->history.redoMidi())
        return noteFiles([](NoteEdits& e) { return e.redo(); }, {});
    if (doc_->history.redo(doc_->song) == EditHistory::kNothing) return false;
    for (int scope : doc_->history.lastScopes()) edited(scope);
    return true;
}

bool Hub::editNotes(int c, const std::function<bool(NoteEdits&)>& edit) {
    return noteFiles(edit, {c & 15});
}

bool Hub::noteFiles(const std::function<bool(NoteEdits&)>& edit, const std::vector<int>& channels) {
    if (!hasMidi()) return false;
    if (playState() != Transport::State::Idle) stop();
    const std::string songPath = doc_->song.songPath();
    std::optional<FileLock> lock;
    if (!songPath.empty()) {
        lock.emplace(songPath, std::chrono::seconds(10));
        if (!lock->locked()) {
            prompt_.notice(SongSession::kErrorCaption, lock->error());
            return false;
        }
    }
    NoteEdits edits(doc_->song, doc_->midi, &doc_->history);
    const bool wasModified = doc_->song.modified();
    if (!edit(edits)) {
        if (!edits.lastError().empty()) prompt_.notice(SongSession::kErrorCaption, edits.lastError());
        return false;
    }
    doc_->tempoMap.build(doc_->midi);
    if (edits.songWritten()) doc_->diskStamp = FileStamp::of(songPath);
    if (wasModified != doc_->song.modified()) each([](HubListener& l) { l.modifiedChanged(); });
    const std::vector<int> touched = channels.empty() ? doc_->history.lastScopes() : channels;
    for (int scope : touched) each([scope](HubListener& l) { l.songEdited(scope); });
    return true;
}

bool Hub::singNote(int channel, std::size_t event) {
    Transport* t = transport();
    if (!t) return false;
    VoxEvent note;
    if (!noteAudition(doc_->song, channel, event, note)) {
        prompt_.warning(kNoPhraseHeadCaption, kNoPhraseHeadText);
        return false;
    }
    const bool ok = t->singNote(channel, note);
    each([](HubListener& l) { l.playStateChanged(); });
    return ok;
}

bool Hub::playNoteMidi(int channel, std::size_t event) {
    Transport* t = transport();
    const VoxEvent* e = doc_->song.event(channel, event);
    if (!t || !e) return false;
    const bool ok = t->auditionNote((channel & 15) + 1, *e);
    each([](HubListener& l) { l.playStateChanged(); });
    return ok;
}

bool Hub::playPhrase(int channel, std::size_t event) {
    Transport* t = transport();
    if (!t) return false;
    PhraseEvents phrase;
    if (!doc_->session.phraseEvents(channel, event, phrase)) return false;
    std::vector<const VoxEvent*> notes;
    for (std::size_t i : phrase.events)
        if (const VoxEvent* e = doc_->song.event(channel, i)) notes.push_back(e);
    const bool ok = t->playPhrase(channel, notes, phrase.startTick, phrase.endTick);
    each([](HubListener& l) { l.playStateChanged(); });
    return ok;
}

bool Hub::exportPhraseWav(int channel, std::size_t event, const std::string& path, std::string& info) {
    info.clear();
    if (!hasMidi()) return false;
    PhraseSpan span;
    if (!doc_->song.phraseOfNote(channel, event, span)) {
        prompt_.warning(kNoPhraseHeadCaption, kNoPhraseHeadText);
        return false;
    }
    stop();
    SongRenderer renderer(doc_->song, doc_->engine);
    if (!renderer.exportPhrase(channel, event, settings_.outputQualityCode(), path, info)) {
        prompt_.notice(SongSession::kErrorCaption, renderer.lastError());
        return false;
    }
    return true;
}

bool Hub::stopAndCloseStream(std::string& error) {
    Transport* t = transport();
    if (!t) return true;
    if (!t->stop()) {
        error = t->lastError();
        return false;
    }
    t->waveOut().close();
    return true;
}

uint32_t Hub::currentPosition() const {
    return rig_ && rig_->attached() ? rig_->transport().currentPosition() : current_;
}

void Hub::setCurrentPosition(uint32_t tick) {
    current_ = tick;
    if (Transport* t = transport()) {
        t->setCurrentPosition(tick);
        return;
    }
    // Without devices the channel list still follows the panel.
    each([&](HubListener& l) { l.positionNotify(PositionReceiver::ChannelList, PositionCode::PositionSet, tick, nullptr); });
}

void Hub::movePosition(uint32_t tick) {
    setCurrentPosition(tick);
    current_ = tick;
    each([&](HubListener& l) { l.positionNotify(PositionReceiver::MainPanel, PositionCode::LoopStart, tick, nullptr); });
}

void Hub::postSongPosition(uint32_t tick) { movePosition(tick); }

PlayRange Hub::range() const { return range_; }

void Hub::setRange(PlayRange r) {
    range_ = r;
    if (Transport* t = transport()) t->setBetween(r.start, r.stop);
    each([&](HubListener& l) { l.betweenChanged(r.start, r.stop); });
}

std::string Hub::positionText(uint32_t tick, uint32_t* beatLength) const {
    if (!hasMidi()) {
        if (beatLength) *beatLength = 0;
        return "000 : 0 : 000";
    }
    return doc_->tempoMap.positionText(tick, beatLength);
}

void Hub::setWaveVolume(uint16_t left, uint16_t right) {
    settings_.setWaveVolume(left, right);
    if (rig_) rig_->engine().setWaveVolume(uint32_t{left} | uint32_t{right} << 16);
}

void Hub::applySoundSettings() {
    doc_->engine.setMidiDelayCorrection(playbackDelayCorrection());
    if (Transport* t = transport()) t->setQualityCode(settings_.outputQualityCode());
}

// --- Notifications --------------------------------------------------------------------------

void Hub::addListener(HubListener* l) { listeners_.push_back(l); }

void Hub::removeListener(HubListener* l) { std::erase(listeners_, l); }

void Hub::PostRelay::operator()() {
    std::lock_guard<std::mutex> lock(mutex);
    if (hook) hook();
}

void Hub::setPostHook(std::function<void()> hook) {
    std::lock_guard<std::mutex> lock(postRelay_->mutex);
    postRelay_->hook = std::move(hook);
}

std::shared_ptr<DeviceSet> Hub::devices() {
    std::shared_ptr<DeviceSet> set = rig_ ? rig_->devices() : nullptr;
    if (!set) return nullptr;
    std::erase_if(handedOut_, [](const std::weak_ptr<DeviceSet>& w) { return w.expired(); });
    const bool known = std::any_of(handedOut_.begin(), handedOut_.end(),
                                   [&](const std::weak_ptr<DeviceSet>& w) { return w.lock() == set; });
    if (!known) handedOut_.push_back(set);
    return set;
}

std::size_t Hub::pump() {
    std::size_t n = 0;
    DeviceSet* current = rig_ ? rig_->devices().get() : nullptr;
    if (rig_) n += rig_->queue().pump();
    // The sets windows still hold after the hub let them go.
    std::erase_if(handedOut_, [](const std::weak_ptr<DeviceSet>& w) { return w.expired(); });
    for (const std::weak_ptr<DeviceSet>& w : std::vector<std::weak_ptr<DeviceSet>>(handedOut_)) {
        if (std::shared_ptr<DeviceSet> set = w.lock(); set && set.get() != current) n += set->queue().pump();
    }
    return n;
}

void Hub::positionNotify(PositionReceiver r, PositionCode c, uint32_t tick, const LyricLine* line) {
    if (r == PositionReceiver::MainPanel) current_ = tick;
    each([&](HubListener& l) { l.positionNotify(r, c, tick, line); });
    if (c != PositionCode::MarkerReached) each([](HubListener& l) { l.playStateChanged(); });
}

void Hub::vocalLate() {
    each([](HubListener& l) { l.vocalLate(); });
}

void Hub::betweenChanged(uint32_t start, uint32_t stop) {
    range_ = {start, stop};
    each([&](HubListener& l) { l.betweenChanged(start, stop); });
}

}  // namespace kantor
