#include "audio/Transport.h"

#include <algorithm>

#include "sound/WavFile.h"
#include "audio/WaveInsertion.h"
#include "base/FileIO.h"
#include "base/Texts.h"
#include "base/Translation.h"
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
constexpr const char* kIgnoreWaveFile = KANTOR_TEXT("挿入WaveFileを無視して再生しますか？");
constexpr const char* kIgnoreWaveFileKana = KANTOR_TEXT("挿入Waveﾌｧｲﾙを無視して再生しますか？");

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
    ahead_.reset();
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
    ahead_.reset();  // the worker stops after the phrase it is rendering
    lineTicks_.clear();
    markersKnown_ = 0;
    aheadDone_ = false;
    lateTold_ = false;
    aheadErrorShown_ = false;
    firstKept_ = 0;
    following_ = false;
    fedTo_ = 0;
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
            text = fillText(wavetext::kNotBesideMidi, {name}) + kIgnoreWaveFile;
        } else if (!reader.readFormat(path, format)) {
            text = name + " : " + reader.lastError() + "\n" + kIgnoreWaveFileKana;
        } else if ((format.samplesPerSec != kRate11025 && format.samplesPerSec != kRate22050 &&
                    format.samplesPerSec != kRate44100) ||
                   format.bitsPerSample != formatBits(packed)) {
            text = fillText(wavetext::kUnsupportedFile, {name, wavetext::kSupportedFormats}) + kIgnoreWaveFileKana;
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
    // Everything but the phrases themselves is done here; the phrases are rendered by the
    // worker, and playing starts once the first seconds of them are.
    RenderPlan plan;
    if (!renderer_.planSong(request, plan)) {
        if (progress_) progress_(0, 0);
        std::string text = renderer_.lastError();
        freePerPlay();
        return showError(text);
    }
    bool vocal = !plan.waveLeft.empty() || !plan.waveRight.empty();
    for (const PhraseJob& j : plan.jobs) vocal = vocal || j.request.lengthMs != 0;
    ahead_ = std::make_unique<RenderAhead>(engine_, std::move(plan));
    ahead_->start(start, kLookAheadMs);
    const uint32_t division = tempoMap_.division();
    ahead_->waitUntilSettled(ticksAfter(start, kFirstRenderMs) + division);
    std::vector<PlaybackPiece> pieces;
    RenderAhead::Progress p = ahead_->take(pieces);
    // The render before the play is over: whoever shows its progress clears it.
    if (progress_) progress_(0, 0);
    if (p.failed) {
        std::string text = p.error;
        freePerPlay();
        return showError(text);
    }
    for (PlaybackPiece& piece : pieces) phrases_.push_back(std::move(piece));
    return startAhead(p, vocal);
}

uint32_t Transport::ticksAfter(uint32_t tick, uint32_t ms) const {
    const int64_t t = int64_t(tick) + tempoMap_.tickOffset(ms, tick);
    return static_cast<uint32_t>(std::clamp<int64_t>(t, tick, 0xFFFFFFFEll));
}

void Transport::copyLines(std::vector<TickedItem>& lineTicks) {
    // The play keeps its own copy of the lines: the lyric window may edit the song's while it plays.
    lines_.clear();
    lineCopies_.clear();
    lineTicks.clear();
    for (const auto& line : song_.lyricLines())
        if (line) lineCopies_.push_back(*line);
    for (const LyricLine& line : lineCopies_) {
        lineTicks.push_back({line.position, lines_.size()});
        lines_.push_back(&line);
    }
}

bool Transport::startAhead(const RenderAhead::Progress& first, bool vocal) {
    // A phrase whose consonant begins before the start widens the play; the worker has
    // rendered every phrase that can.
    if (first.earliestTick != 0xFFFFFFFFu) playStart_ = std::min(playStart_, first.earliestTick);
    if (vocal) {
        const uint32_t packed = engine_.outputFormat();
        if (!wave_.open(this, formatBits(packed), formatChannels(packed), engine_.outputRate())) {
            std::string text = wave_.lastError();
            freePerPlay();
            return showError(text);
        }
    }
    playOffset_ = playStart_;
    copyLines(lineTicks_);
    requestedEnd_ = playEnd_;
    markersKnown_ = playStart_;
    player_.setHoldTo(0);
    if (first.complete) {
        extendMarkers(true, 0xFFFFFFFFu, first.latestTick);
    } else {
        extendMarkers(false, first.settledTick, first.latestTick);
    }
    endedByItself_ = false;
    if (!player_.play(*this, playStart_, playEnd_)) {
        std::string text = player_.lastError();
        wave_.close();
        freePerPlay();
        return showError(text);
    }
    return true;
}

RenderAhead::Progress Transport::pullAhead(RenderAhead::Progress p, std::vector<PlaybackPiece>& pieces) {
    for (PlaybackPiece& piece : pieces) phrases_.push_back(std::move(piece));
    pieces.clear();
    feedFollowing();
    if (p.late > 0 && !lateTold_) {
        lateTold_ = true;
        const std::vector<TransportListener*> listeners = listeners_;
        for (TransportListener* l : listeners) l->vocalLate();
    }
    return p;
}

uint32_t Transport::extendMarkers(bool complete, uint32_t settled, uint32_t latest) {
    const uint32_t division = tempoMap_.division();
    uint32_t known = 0xFFFFFFFFu;
    if (complete) {
        aheadDone_ = true;
        if (!phrases_.empty()) {
            // The vocal may sound on after the end asked for, and after the MIDI file's last event.
            playEnd_ = std::max(requestedEnd_, latest);
            player_.setEnd(playEnd_);
        }
        player_.setHoldTo(phrases_.empty() ? 0 : latest);
    } else {
        // Markers beyond the end asked for wait for the whole vocal (it may move the end).
        // A grid marker is certain a quarter note before the pieces are: it is left out when
        // a marker lies closer than a thirty-second note after it.
        known = std::min(settled, requestedEnd_);
        known = known > division ? known - division : 0;
        if (known <= markersKnown_) return markersKnown_;
    }
    std::vector<TickedItem> phraseTicks;
    phraseTicks.reserve(phrases_.size() + 1);
    for (std::size_t i = 0; i < phrases_.size(); ++i)
        if (!phrases_[i].follows) phraseTicks.push_back({phrases_[i].startTick, i});
    // Pieces still to come lie beyond what is kept; one stands in for them, so that the grid
    // before them is made as it will be once they are known. The list is made only a little
    // beyond what is kept (the rest would be made again next time).
    uint32_t until = playEnd_;
    if (!complete) {
        until = static_cast<uint32_t>(std::min<uint64_t>(playEnd_, uint64_t(known) + 8 * division));
        phraseTicks.push_back({until, Marker::kNone});
    }
    std::stable_sort(phraseTicks.begin(), phraseTicks.end(),
                     [](const TickedItem& x, const TickedItem& y) { return x.tick < y.tick; });
    std::vector<Marker> list =
        buildMarkerList(playStart_, until, lineTicks_, phraseTicks, tempoMap_.measures(), tempoMap_.division());
    // The markers already planted in the stream keep their places; the new ones follow them.
    auto from = std::lower_bound(list.begin(), list.end(), markersKnown_,
                                 [](const Marker& m, uint32_t t) { return m.tick < t; });
    for (auto it = from; it != list.end() && it->tick < known && markers_.size() < kMaxMarkers; ++it) {
        if (!markers_.empty() && it->tick < markers_.back().tick) continue;
        markers_.push_back(*it);
    }
    markersKnown_ = known;
    return known;
}

uint32_t Transport::markersKnownTo(uint32_t tick, bool all) {
    if (!ahead_ || aheadDone_) return kAllMarkers;
    std::vector<PlaybackPiece> pieces;
    RenderAhead::Progress p;
    if (all) {
        // Nothing more can wait: what is not rendered now is left out.
        if (vocalWaits_) ahead_->waitUntilSettled(0xFFFFFFFFu);
        p = pullAhead(ahead_->force(0xFFFFFFFFu, pieces), pieces);
    } else {
        p = pullAhead(ahead_->take(pieces), pieces);
        const uint32_t division = tempoMap_.division();
        const uint32_t from = std::max(tick, playStart_);
        const uint32_t need = ticksAfter(from, kLeastBufferMs) + division;
        if (!p.complete && !p.failed && std::min(p.settledTick, requestedEnd_) < need) {
            if (vocalWaits_) {
                ahead_->waitUntilSettled(need >= requestedEnd_ ? 0xFFFFFFFFu : need);
                p = pullAhead(ahead_->take(pieces), pieces);
            } else {
                // The worker is behind the stream: the phrases due before `need` are skipped.
                p = pullAhead(ahead_->force(need >= requestedEnd_ ? 0xFFFFFFFFu : need, pieces), pieces);
            }
        }
    }
    // A failed render (shown at the next marker) leaves the rest of the vocal out.
    const bool complete = p.complete || p.failed || p.settledTick == 0xFFFFFFFFu;
    const uint32_t known = extendMarkers(complete, p.settledTick, p.latestTick);
    if (complete) return kAllMarkers;
    // A buffer takes half of what is known, so that the next one finds more.
    const uint32_t from = std::max(tick, playStart_);
    if (known <= from) return known;
    const uint32_t least = std::min(known, ticksAfter(from, kLeastBufferMs));
    return std::max(least, from + (known - from) / 2);
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

    std::vector<TickedItem> lineTicks, phraseTicks;
    copyLines(lineTicks);
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

void Transport::feedFollowing() {
    if (!following_) return;
    for (; fedTo_ < phrases_.size(); ++fedTo_) {
        const PlaybackPiece& p = phrases_[fedTo_];
        if (!p.follows) {
            following_ = false;  // a new stretch: it waits for its marker
            return;
        }
        if (!p.data.hasData() || p.data.byteLength() == 0) continue;
        PlayBlock block;
        block.data = p.data.data();
        block.length = static_cast<uint32_t>(p.data.byteLength());
        block.value = static_cast<uint32_t>(fedTo_);
        if (!wave_.follow(block)) showError(wave_.lastError());
    }
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
    if (m.phrase != Marker::kNone && m.phrase < phrases_.size() && phrases_[m.phrase].data.hasData()) {
        const PlaybackPiece& p = phrases_[m.phrase];
        PlayBlock block;
        block.data = p.data.data();
        block.length = static_cast<uint32_t>(p.data.byteLength());
        block.value = static_cast<uint32_t>(m.phrase);
        if (!wave_.playAt(block, n.frame)) showError(wave_.lastError());
        // The pieces that carry on its sound follow it on the device as they come.
        following_ = true;
        fedTo_ = m.phrase + 1;
        feedFollowing();
        // The pieces before it have played (or were cut by it): their blocks go.
        if (ahead_) {
            for (; firstKept_ < m.phrase; ++firstKept_) phrases_[firstKept_].data.reset();
        }
    }
    if (ahead_) {
        ahead_->setPlayhead(m.tick);
        std::vector<PlaybackPiece> pieces;
        const RenderAhead::Progress p = pullAhead(ahead_->take(pieces), pieces);
        if (p.failed && !aheadErrorShown_) {
            // The vocal stops here; the MIDI plays on.
            aheadErrorShown_ = true;
            showError(p.error);
        }
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
        case NotificationKind::WaveOutDone: {
            if (!wave_.bufferDone(static_cast<const WaveHeader*>(n.header))) showError(wave_.lastError());
            // A long sound's pieces go as soon as they have played.
            uint32_t played = 0;
            if (ahead_ && wave_.finishedBlock(played)) {
                for (; firstKept_ <= played && firstKept_ < phrases_.size(); ++firstKept_) phrases_[firstKept_].data.reset();
            }
            break;
        }
        case NotificationKind::WaveInData: break;
    }
}

}  // namespace kantor
