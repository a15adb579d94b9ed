#include "song/NoteVoiceEdit.h"

#include "song/Song.h"
#include "song/SongEdits.h"
#include "voice/SyllableLookup.h"
#include "voice/VoiceBank.h"

namespace kantor {

namespace {
std::string trimTrailing(std::string s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.pop_back();
    return s;
}
}  // namespace

bool noteInPhrase(const Song& song, int c, std::size_t n) {
    PhraseSpan span;
    return song.phraseOfNote(c, n, span);
}

bool loadNoteForm(const Song& song, const VoiceBank& voices, int c, std::size_t n, NoteVoiceForm& form) {
    form = NoteVoiceForm{};
    const VoxEvent* e = song.event(c, n);
    if (!e) return false;
    form.phraseHead = e->phraseIndex != 0;
    form.group = e->phraseGroup;
    const std::string voice = phraseVoiceOf(song, c, n);
    for (int k = 0; k < VoxEvent::kSlots; ++k) {
        const auto i = static_cast<std::size_t>(k);
        form.volume[i] = e->syllableVolume[i];
        if (e->syllableLength[i] == 0) continue;
        form.length[i] = e->syllableLength[i];
        SyllableMatch m;
        const std::string code = e->codeText(k);
        if (!code.empty() && voices.findSyllableByCode(voice, code, m)) {
            form.code[i] = m.code;
            form.kana[i] = m.kana;
        }
    }
    form.noteVolume = e->noteVolume;
    return true;
}

bool validateSlot(const VoiceBank& voices, const std::string& voice, NoteVoiceForm& form, int k) {
    const auto i = static_cast<std::size_t>(k & 3);
    const std::string text = trimTrailing(form.code[i]);
    if (text.empty()) {
        form.code[i].clear();
        form.kana[i].clear();
        form.length[i] = 0;
        return true;
    }
    SyllableMatch m;
    if (!findTypedSyllable(voices, voice, text, m)) {
        form.kana[i].clear();
        return false;
    }
    form.code[i] = m.code;
    form.kana[i] = m.kana;
    if (form.length[i] == 0) form.length[i] = 1;
    return true;
}

NoteCommit commitNoteForm(Song& song, const VoiceBank& voices, int c, std::size_t n, NoteVoiceForm& form) {
    NoteCommit r;
    VoxEvent* e = song.event(c, n);
    if (!e) return r;
    const VoxEvent before = *e;
    const std::string voice = phraseVoiceOf(song, c, n);
    for (int k = 0; k < VoxEvent::kSlots; ++k) {
        if (!validateSlot(voices, voice, form, k)) {
            r.ok = false;
            r.failedSlot = k;
            return r;
        }
    }
    e->phraseGroup = form.group;
    if (!form.phraseHead && e->phraseIndex != 0) {
        song.removePhraseHead(c, n);
        r.redrawScore = true;
    } else if (form.phraseHead && e->phraseIndex == 0) {
        // Out of memory leaves the note without a head.
        song.makePhraseHead(c, n);
        r.redrawScore = true;
    }
    for (int k = 0; k < VoxEvent::kSlots; ++k) {
        const auto i = static_cast<std::size_t>(k);
        const std::string old = e->codeText(k);
        e->setCode(k, "");
        e->syllableLength[i] = 0;
        const std::string text = trimTrailing(form.code[i]);
        if (form.length[i] != 0 && !text.empty()) {
            e->syllableLength[i] = form.length[i];
            e->syllableVolume[i] = form.volume[i];
            e->setCode(k, text.substr(0, VoxEvent::kCodeSize));
        } else {
            e->syllableVolume[i] = 100;
        }
        if (e->codeText(k) != old) r.redrawScore = true;
    }
    if (e->noteSettingsIndex != 0 && !song.noteSettings(c, e->noteSettingsIndex)) e->noteSettingsIndex = 0;
    e->noteVolume = form.noteVolume;
    r.modified = !(*e == before);
    return r;
}

void highlightNote(Song& song, int c, std::size_t n, bool on) {
    VoxEvent* e = song.event(c, n);
    if (!e) return;
    e->hasLyric = on ? 2 : (e->hasSyllable() ? 1 : 0);
}

}  // namespace kantor
