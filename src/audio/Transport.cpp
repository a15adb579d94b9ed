#include "audio/Transport.h"

#include <algorithm>

#include "sound/WavFile.h"
#include "base/FileIO.h"
#include "midi/MidiFile.h"
#include "midi/TempoMap.h"
#include "platform/NotificationQueue.h"
#include "platform/UserPrompt.h"
#include "song/Song.h"
#include "sound/SoundFormat.h"
#include "synth/SynthEngine.h"

namespace kantor {
namespace {

constexpr const char* kErrorCaption = "Error";
constexpr const char* kIgnoreWaveFile = "挿入WaveFileを無視して再生しますか？";
constexpr const char* kIgnoreWaveFileKana = "挿入Waveﾌｧｲﾙを無視して再生しますか？";
constexpr const char* kSupportedWaveFormats = "16bit, 11025kHz or 22050kHz or 44100kHz";

}  // namespace

Transport::Transport(Song& song, const MidiFile& midi, const TempoMap& tempoMap, SynthEngine& engine,
                     MidiStream& stream, WaveOut& waveOut, UserPrompt& prompt)
    : song_(song),
      midi_(midi),
      tempoMap_(tempoMap),
      engine_(engine),
      prompt_(prompt),
      player_(midi, stream),
      wave_(waveOut),
      renderer_(song, engine) {}

Transport::~Transport() {
    loop_ = false;
    listeners_.clear();
    player_.stop();
    wave_.close();
}

void Transport::addListener(TransportListener* l) {
    if (l && std::find(listeners_.begin(), listeners_.end(), l) == listeners_.end()) listeners_.push_back(l);
}

void Transport::removeListener(TransportListener* l) {
    listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), l), listeners_.end());
}

void Transport::notify(PositionReceiver receiver, PositionCode code, uint32_t tick, const LyricLine* line) {
    // A listener may remove itself while being told.
    const std::vector<TransportListener*> listeners = listeners_;
    for (TransportListener* l : listeners) l->positionNotify(receiver, code, tick, line);
}

void Transport::notifyBoth(PositionCode code, uint32_t tick) {
    notify(PositionReceiver::MainPanel, code, tick);
    notify(PositionReceiver::ChannelList, code, tick);
}

bool Transport::showError(const std::string& text) {
    prompt_.notice(kErrorCaption, text);
    return fail(text);
}

Transport::State Transport::state() const {
    switch (player_.playState()) {
        case MidiStreamPlayer::PlayState::Playing: return State::Playing;
        case MidiStreamPlayer::PlayState::Paused: return State::Paused;
        case MidiStreamPlayer::PlayState::Stopped: break;
    }
    return State::Idle;
}

void Transport::resetPositions() {
    currentPosition_ = 0;
    lastPosition_ = 0;
    startPosition_ = 0;
    stopPosition_ = tempoMap_.measures().empty() ? 0 : tempoMap_.measures().back().start;
    const std::vector<TransportListener*> listeners = listeners_;
    for (TransportListener* l : listeners) l->betweenChanged(startPosition_, stopPosition_);
}

void Transport::setCurrentPosition(uint32_t tick) {
    currentPosition_ = tick;
    notify(PositionReceiver::ChannelList, PositionCode::PositionSet, tick);
}

void Transport::setBetween(uint32_t start, uint32_t stop) {
    startPosition_ = start;
    stopPosition_ = stop;
    const std::vector<TransportListener*> listeners = listeners_;
    for (TransportListener* l : listeners) l->betweenChanged(start, stop);
}

uint32_t Transport::songPosition() {
    uint32_t ticks = 0;
    if (player_.streamOpen() && player_.position(ticks)) return playOffset_ + ticks;
    return currentPosition_;
}

void Transport::computeEffectiveMutes() {
    const ChannelFlags& f = song_.channelFlags();
    for (int c = 0; c < 16; ++c) {
        midiMute_[static_cast<std::size_t>(c)] = f.midiSilenced(c);
        voxMute_[static_cast<std::size_t>(c)] = f.voxSilenced(c);
    }
}

void Transport::freePerPlay() {
    phrases_.clear();
    phrases_.shrink_to_fit();
    markers_.clear();
    markers_.shrink_to_fit();
    noteFilter_ = 255;
}

InsertedWaves Transport::checkInsertedWaves() {
    bool any = false;
    uint32_t packed = kMono16, rate = kRate44100;
    decodeSampleFormatCode(qualityCode_, packed, rate);
    const std::string folder = folderOf(song_.midiPath());
    for (const auto& w : song_.waveInserts()) {
        if (!w) continue;
        any = true;
        const std::string name = w->fileName();
        const std::string path = joinPath(folder.empty() ? "." : folder, name);
        std::string text;
        WavReader reader;
        WaveFormatTriple format;
        if (!fileExists(path)) {
            text = "Midiﾌｧｲﾙと同じﾌｫﾙﾀﾞに " + name + " が見つかりません。\n" + kIgnoreWaveFile;
        } else if (!reader.readFormat(path, format)) {
            text = name + " : " + reader.lastError() + "\n" + kIgnoreWaveFileKana;
        } else if ((format.samplesPerSec != kRate11025 && format.samplesPerSec != kRate22050 &&
                    format.samplesPerSec != kRate44100) ||
                   format.bitsPerSample != formatBits(packed)) {
            text = name + " : 挿入Waveﾌｧｲﾙが対応してないWaveﾌｧｲﾙ形式です。\n現在選択できるのは " +
                   kSupportedWaveFormats + " のWaveﾌｧｲﾙです。\n" + kIgnoreWaveFileKana;
        } else {
            continue;
        }
        return prompt_.askYesNo(kErrorCaption, text) == PromptAnswer::Yes ? InsertedWaves::Present
                                                                          : InsertedWaves::Cancel;
    }
    return any ? InsertedWaves::Present : InsertedWaves::None;
}

bool Transport::playFromTop() { return playRange(0, tempoMap_.songEndTick()); }

bool Transport::playFromLastPosition() {
    // While playing, the stop decides where to go on from: the stream's own position, not
    // the last marker shown (read before stopping, that would step back).
    if (player_.streamOpen()) {
        if (!stop()) return false;
        currentPosition_ = lastPosition_;
    }
    return playRange(currentPosition_, tempoMap_.songEndTick());
}

bool Transport::playBetween() { return playRange(startPosition_, stopPosition_); }

bool Transport::loopPlay() {
    notify(PositionReceiver::MainPanel, PositionCode::LoopStart, 0);
    if (!playFromTop()) return false;
    if (state() != State::Idle) loop_ = true;
    return true;
}

bool Transport::playRange(uint32_t start, uint32_t end) {
    clearError();
    if (!stop()) return false;
    wave_.close();
    freePerPlay();
    dropStaleNotifications();
    if (!midi_.isLoaded() || tempoMap_.measures().empty()) return true;
    computeEffectiveMutes();
    playOffset_ = start;

    const InsertedWaves waves = checkInsertedWaves();
    if (waves == InsertedWaves::Cancel) return true;

    lastPosition_ = end;
    playStart_ = start;
    playEnd_ = end;

    RenderRequest request;
    request.startTick = start;
    request.endTick = end;
    request.includeWaves = waves == InsertedWaves::Present;
    request.qualityCode = qualityCode_;
    request.voxMuted = voxMute_;
    const bool rendered = renderer_.renderSong(request, phrases_, progress_);
    // The render is over: whoever shows its progress clears it.
    if (progress_) progress_(0, 0);
    if (!rendered) {
        std::string text = renderer_.lastError();
        freePerPlay();
        return showError(text);
    }
    return startRendered();
}

bool Transport::startRendered() {
    if (!phrases_.empty()) {
        // A phrase whose consonant begins before the start (or whose sound ends after the
        // end) widens the play.
        playStart_ = std::min(playStart_, engine_.earliestTick());
        playEnd_ = std::max(playEnd_, engine_.latestTick());
        const uint32_t packed = engine_.outputFormat();
        if (!wave_.open(this, formatBits(packed), formatChannels(packed), engine_.outputRate())) {
            std::string text = wave_.lastError();
            freePerPlay();
            return showError(text);
        }
    }
    // Positions are counted from where the stream really starts.
    playOffset_ = playStart_;

    // The play keeps its own copy of the lines: the lyric window may edit the song's while it plays.
    lines_.clear();
    lineCopies_.clear();
    std::vector<TickedItem> lineTicks, phraseTicks;
    for (const auto& line : song_.lyricLines())
        if (line) lineCopies_.push_back(*line);
    for (const LyricLine& line : lineCopies_) {
        lineTicks.push_back({line.position, lines_.size()});
        lines_.push_back(&line);
    }
    for (std::size_t i = 0; i < phrases_.size(); ++i) {
        if (phrases_[i].data.hasData() && phrases_[i].data.byteLength() > 0) phraseTicks.push_back({phrases_[i].startTick, i});
    }
    std::stable_sort(phraseTicks.begin(), phraseTicks.end(),
                     [](const TickedItem& x, const TickedItem& y) { return x.tick < y.tick; });
    markers_ = buildMarkerList(playStart_, playEnd_, lineTicks, phraseTicks, tempoMap_.measures(),
                               tempoMap_.division());

    endedByItself_ = false;
    // The vocal may sound on after the MIDI file's last event: the stream waits for it.
    player_.setHoldTo(phrases_.empty() ? 0 : engine_.latestTick());
    if (!player_.play(*this, playStart_, playEnd_)) {
        std::string text = player_.lastError();
        wave_.close();
        freePerPlay();
        return showError(text);
    }
    return true;
}

bool Transport::stop() {
    loop_ = false;
    if (!player_.streamOpen()) return true;
    uint32_t ticks = 0;
    if (player_.position(ticks)) lastPosition_ = playOffset_ + ticks;
    if (!player_.stop()) return showError(player_.lastError());
    return true;
}

bool Transport::pauseOrRestart() {
    if (!player_.streamOpen()) return true;
    wave_.stop();
    if (!player_.pauseOrRestart()) return showError(player_.lastError());
    uint32_t ticks = 0;
    if (player_.position(ticks)) currentPosition_ = playOffset_ + ticks;
    notifyBoth(PositionCode::Position, currentPosition_);
    return true;
}

bool Transport::auditionNote(int channel, const VoxEvent& event) {
    clearError();
    if (!stop()) return false;
    wave_.close();
    freePerPlay();
    dropStaleNotifications();
    if (!midi_.isLoaded() || channel < 1 || channel > 16) return true;
    ChannelFlags& flags = song_.channelFlags();
    const ChannelFlags saved = flags;
    flags.clear();
    flags.set(ChannelFlags::MidiSolo, channel - 1, true);
    computeEffectiveMutes();
    playOffset_ = playStart_ = event.startTick;
    lastPosition_ = playEnd_ = event.endTick;
    noteFilter_ = static_cast<uint8_t>(std::min<uint32_t>(event.noteKey, 127));
    endedByItself_ = false;
    player_.setHoldTo(0);
    const bool ok = player_.play(*this, playStart_, playEnd_);
    noteFilter_ = 255;
    flags = saved;
    if (!ok) return showError(player_.lastError());
    return true;
}

bool Transport::prepareSelection() {
    clearError();
    if (!stop()) return false;
    wave_.close();
    freePerPlay();
    dropStaleNotifications();
    return midi_.isLoaded() && !tempoMap_.measures().empty();
}

bool Transport::playPhrase(int channel, const std::vector<const VoxEvent*>& notes, uint32_t start, uint32_t end) {
    if (!prepareSelection() || notes.empty()) return true;
    computeEffectiveMutes();
    const uint32_t d = tempoMap_.division();
    const uint32_t from = d ? start / d * d : start;
    playOffset_ = playStart_ = from;
    lastPosition_ = playEnd_ = std::max(end, from);
    if (!renderer_.renderSelection(channel & 15, notes, start, end, qualityCode_, phrases_)) {
        std::string text = renderer_.lastError();
        freePerPlay();
        return showError(text);
    }
    return startRendered();
}

bool Transport::singNote(int channel, const VoxEvent& note) {
    if (!prepareSelection()) return true;
    computeEffectiveMutes();
    playOffset_ = playStart_ = note.startTick;
    lastPosition_ = playEnd_ = std::max(note.endTick, note.startTick);
    const std::vector<const VoxEvent*> notes{&note};
    if (!renderer_.renderSelection(channel & 15, notes, note.startTick, note.endTick, qualityCode_, phrases_)) {
        std::string text = renderer_.lastError();
        freePerPlay();
        return showError(text);
    }
    // Only the vocal sounds: the stream runs as the clock.
    midiMute_.fill(true);
    return startRendered();
}

void Transport::dropStaleNotifications() {
    if (queue_) queue_->cancel(this);
}

void Transport::streamClosed() {
    wave_.close();
    freePerPlay();
    if (!tempoMap_.measures().empty()) notifyBoth(PositionCode::Position, lastPosition_);
    currentPosition_ = lastPosition_;
}

void Transport::onMarker(const Notification& n) {
    if (markers_.empty()) return;
    const long index = player_.markerIndex(n);
    if (index < 0 || static_cast<std::size_t>(index) >= markers_.size()) return;
    const Marker& m = markers_[static_cast<std::size_t>(index)];
    if (m.phrase != Marker::kNone && m.phrase < phrases_.size()) {
        const PlaybackPiece& p = phrases_[m.phrase];
        PlayBlock block;
        block.data = p.data.data();
        block.length = static_cast<uint32_t>(p.data.byteLength());
        block.value = static_cast<uint32_t>(m.phrase);
        if (!wave_.playAt(block, n.frame)) showError(wave_.lastError());
    }
    const LyricLine* line = m.lyricLine < lines_.size() ? lines_[m.lyricLine] : nullptr;
    const uint32_t tick = m.tick;
    notify(PositionReceiver::MainPanel, PositionCode::MarkerReached, tick, line);
    notify(PositionReceiver::ChannelList, PositionCode::Position, tick);
    currentPosition_ = tick;
}

void Transport::onNotification(const Notification& n) {
    switch (n.kind) {
        case NotificationKind::MidiDone: {
            const bool wasOpen = player_.streamOpen();
            const bool ok = player_.bufferDone(static_cast<const MidiHeader*>(n.header));
            if (!ok) {
                showError(player_.lastError());
            } else if (wasOpen && !player_.streamOpen()) {
                endedByItself_ = true;  // the song has been played to its end
            }
            break;
        }
        case NotificationKind::MidiMarker: onMarker(n); break;
        case NotificationKind::MidiClose:
            // Only the close of a stream that played to its end restarts a loop: the closes
            // of streams stopped by a new play or by Stop come later and change nothing.
            if (loop_ && endedByItself_ && !player_.streamOpen()) {
                endedByItself_ = false;
                loopPlay();
            }
            break;
        case NotificationKind::WaveOutDone:
            if (!wave_.bufferDone(static_cast<const WaveHeader*>(n.header))) showError(wave_.lastError());
            break;
        case NotificationKind::WaveInData: break;
    }
}

}  // namespace kantor
