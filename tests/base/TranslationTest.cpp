#include "base/Translation.h"

#include <fstream>
#include <iterator>
#include <regex>

#include <gtest/gtest.h>

#include "audio/SyncCorrection.h"
#include "audio/WaveInsertion.h"
#include "base/Texts.h"
#include "hub/Hub.h"
#include "plugins/PluginTexts.h"
#include "settings/StartupTexts.h"
#include "song/LyricList.h"
#include "song/SongEdits.h"
#include "song/SongFile.h"
#include "song/VoxTrackBuilder.h"
#include "sound/WavFile.h"
#include "voice/RomajiList.h"
#include "voice/VoiceFile.h"
#include "voice/VoiceLibrary.h"
#include "voicemaker/MakerTexts.h"

namespace kantor {
namespace {

// The process's language for the life of a test, Japanese again afterwards.
struct LanguageFor {
    explicit LanguageFor(Language l) { setLanguage(l); }
    ~LanguageFor() { setLanguage(Language::Japanese); }
};

bool hasJapanese(const std::string& s) {
    // Hiragana, katakana, CJK ideographs and the half-width forms all start with these lead bytes.
    for (std::size_t i = 0; i + 2 < s.size(); ++i) {
        const auto b0 = static_cast<unsigned char>(s[i]), b1 = static_cast<unsigned char>(s[i + 1]);
        if (b0 == 0xE3 && b1 >= 0x81 && b1 <= 0x83) return true;  // kana
        if (b0 >= 0xE4 && b0 <= 0xE9) return true;                 // ideographs
        if (b0 == 0xEF && (b1 == 0xBD || b1 == 0xBE)) return true; // half-width katakana
    }
    return false;
}

const CatalogEntry kEntries[] = {
    {"メモリが不足しています。", "Not enough memory."},
    {"Voice(%s)が見つかりません。", "Voice (%s) not found."},
    {"ファイル%sの%d行目が読めません。", "File %s: line %d cannot be read."},
    {"一行目\n二行目", "First line\nSecond line"},
    {"ｺﾋﾟｰ先ﾌｧｲﾙ(%s)\nに書き込めません。", "Destination file (%s)\ncannot be written."},
    // Fields that differ: the template is never filled in.
    {"番号%dの声", "Voice %s"},
    {"未訳", ""},
};

TEST(CatalogTest, ReplacesWholeTextsAndFillsTemplatesKeepingTheValues) {
    const Catalog c(kEntries, std::size(kEntries));
    EXPECT_EQ(c.translate("メモリが不足しています。"), "Not enough memory.");
    EXPECT_EQ(c.translate("Voice(vxb12)が見つかりません。"), "Voice (vxb12) not found.");
    // A value may hold what the template's own text holds.
    EXPECT_EQ(c.translate("Voice(a(b)が見つかりません。)が見つかりません。"), "Voice (a(b)が見つかりません。) not found.");
    EXPECT_EQ(c.translate("ファイルlyrics.txtの12行目が読めません。"), "File lyrics.txt: line 12 cannot be read.");
    EXPECT_EQ(c.translate("ファイルの0行目が読めません。"), "File : line 0 cannot be read.");
    EXPECT_EQ(c.translate(""), "");
}

TEST(CatalogTest, LeavesTextsThatMatchNoEntryAsTheyAre) {
    const Catalog c(kEntries, std::size(kEntries));
    // %d takes a number only.
    EXPECT_EQ(c.translate("ファイルa.txtのX行目が読めません。"), "ファイルa.txtのX行目が読めません。");
    // Text before or after the template.
    EXPECT_EQ(c.translate("注意：Voice(x)が見つかりません。"), "注意：Voice(x)が見つかりません。");
    EXPECT_EQ(c.translate("Voice(x)が見つかりません。!"), "Voice(x)が見つかりません。!");
    // A translation whose fields differ from its source's is not filled in, nor is an empty one used.
    EXPECT_EQ(c.translate("番号3の声"), "番号3の声");
    EXPECT_EQ(c.translate("未訳"), "未訳");
    EXPECT_EQ(c.translate("Unknown English text."), "Unknown English text.");
}

TEST(CatalogTest, TakesSeveralLinesOneByOneAndTextsThatSpanLines) {
    const Catalog c(kEntries, std::size(kEntries));
    EXPECT_EQ(c.translate("メモリが不足しています。\nread: No such file or directory"),
              "Not enough memory.\nread: No such file or directory");
    EXPECT_EQ(c.translate("知らない行\nメモリが不足しています。"), "知らない行\nNot enough memory.");
    EXPECT_EQ(c.translate("一行目\n二行目\nメモリが不足しています。\n"), "First line\nSecond line\nNot enough memory.\n");
    // A two-line template with the system's reason after it, as the voice library makes it.
    EXPECT_EQ(c.translate("ｺﾋﾟｰ先ﾌｧｲﾙ(/tmp/a.vxb)\nに書き込めません。\nPermission denied"),
              "Destination file (/tmp/a.vxb)\ncannot be written.\nPermission denied");
    EXPECT_EQ(c.translate("\n\n"), "\n\n");
}

TEST(CatalogTest, KeepsANameBeforeAKnownText) {
    const Catalog c(kEntries, std::size(kEntries));
    EXPECT_EQ(c.translate("vxb3.vxb: メモリが不足しています。"), "vxb3.vxb: Not enough memory.");
    EXPECT_EQ(c.translate("voice a: b: Voice(b)が見つかりません。"), "voice a: b: Voice (b) not found.");
    EXPECT_EQ(c.translate("a.vxb: 一行目\n二行目\nb.vxb: メモリが不足しています。"),
              "a.vxb: First line\nSecond line\nb.vxb: Not enough memory.");
    EXPECT_EQ(c.translate("Error: something else"), "Error: something else");
    EXPECT_EQ(c.translate("名前: "), "名前: ");
    // The name is one line: a known text on a later line does not take the lines before it along.
    EXPECT_EQ(c.translate("x: 知らない\nメモリが不足しています。"), "x: 知らない\nNot enough memory.");
}

TEST(TranslatedTest, JapaneseChosenGivesTheTextUnchanged) {
    LanguageFor ja(Language::Japanese);
    EXPECT_EQ(language(), Language::Japanese);
    EXPECT_EQ(translated(text::kOutOfMemory), text::kOutOfMemory);
    EXPECT_EQ(translated("Voice(vxb3)が見つかりません。"), "Voice(vxb3)が見つかりません。");
    EXPECT_EQ(translatedTo(Language::English, text::kOutOfMemory), "Not enough memory.");
}

TEST(TranslatedTest, EnglishChosenUsesTheBuiltInCatalog) {
    LanguageFor en(Language::English);
    EXPECT_EQ(translated(text::kOutOfMemory), "Not enough memory.");
    EXPECT_EQ(translated(fillText(librarytext::kNoSuchVoice, {"vxb3"})), "Voice (vxb3) not found.");
    EXPECT_EQ(translated(romajiListTitle("MaleVox")), "Input Codes (Romaji) - MaleVox");
    // What the core puts together from its texts comes out whole in English.
    EXPECT_EQ(translated(std::string(edittext::kNoMemory) + edittext::kRestoreFailed),
              "Not enough memory.\nFailed to restore the data.\nQuit the application without saving.");
    EXPECT_EQ(translated(fillText(wavetext::kUnsupportedFile, {"kick.wav", wavetext::kSupportedFormats})),
              std::string("kick.wav: The inserted wave file has an unsupported format.\nOnly ") +
                  wavetext::kSupportedFormats + " wave files can be used.\n");
    EXPECT_EQ(translated(fillText(wavetext::kNotBesideMidi, {"clap.wav"}) + "挿入WaveFileを無視して再生しますか？"),
              "clap.wav not found in the MIDI file's folder.\nPlay without the inserted wave file?");
    char line[128];
    std::snprintf(line, sizeof line, voxtrack::kAddWarning, 3);
    EXPECT_EQ(translated(line), "The MIDI file has changed. Adding Vox events. MidiCh=3");
    // Data stays as it is.
    EXPECT_EQ(translated("はるのうららの"), "はるのうららの");
    EXPECT_EQ(translated("作詞："), "作詞：");
}

TEST(TranslatedTest, TheShownTextsOfTheCoreHaveAnEnglishTranslation) {
    const char* const texts[] = {
        text::kOutOfMemory, text::kAlreadyRunning, text::kFirstRunCaption, text::kFirstRunNotice,
        text::kVersionInfoMenu, songfile::kNotFound, songfile::kReadFailed, songfile::kWrongMagic,
        songfile::kSaveFailed, voicetext::kReadFailed, voicetext::kNotVoiceFile, voicetext::kUnsupportedVersion,
        voicetext::kCreateFailed, librarytext::kSourceMissing, librarytext::kAskOverwrite, librarytext::kCopyFailed,
        librarytext::kBuiltInVoice, librarytext::kNoSuchVoice, librarytext::kBadIdentifier,
        librarytext::kDeleteFailed, librarytext::kWindowExport, librarytext::kWindowImport,
        librarytext::kWindowDelete, librarytext::kFileFilter, edittext::kWarning, edittext::kNotice,
        edittext::kUnknownCode, edittext::kBadPower, edittext::kRestoreFailed, edittext::kNoNotes,
        edittext::kNoSungNotes, lyrictext::kAskReplace, lyrictext::kTooLong, lyrictext::kConfirmCaption,
        wavetext::kNotBesideMidi, wavetext::kUnsupported, wavetext::kMustCopy, wavetext::kFilter,
        wavetext::kPastEnd, wavtext::kPathTooLong, wavtext::kWriteFailed, plugintext::kNotAPlugin,
        plugintext::kEffectErrorCaption, plugintext::kSettingsTitle, plugintext::kChosenListLabel,
        plugintext::kRegisterButton, plugintext::kUnchooseButton, plugintext::kFileFilter,
        plugintext::kPathNotStorable, makertext::kCaptionConfirm, makertext::kDuplicateItem,
        makertext::kUnsupportedWave, makertext::kNoVoiceData, makertext::kBadMarkers, voxtrack::kRemoveWarning,
        SyncCorrection::kWindowTitle, SyncCorrection::kDelayLabel, Hub::kChangedOnDisk, kNoPhraseHeadText,
        kVocalLateText,
    };
    for (const char* t : texts) {
        const std::string english = translatedTo(Language::English, t);
        EXPECT_NE(english, t);
        EXPECT_FALSE(hasJapanese(english)) << t << " -> " << english;
        // Line breaks that end or begin a text stay.
        const std::string source = t;
        EXPECT_EQ(english.back() == '\n', source.back() == '\n') << t;
        EXPECT_EQ(english.front() == '\n', source.front() == '\n') << t;
    }
}

// The text of an XML element: the named entities and "&#xHHHH;" (which lupdate writes for blanks
// such as U+3000).
std::string unescaped(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size();) {
        if (s[i] != '&') {
            out += s[i++];
            continue;
        }
        const std::size_t end = s.find(';', i);
        const std::string entity = s.substr(i + 1, end - i - 1);
        i = end + 1;
        if (entity == "amp") out += '&';
        else if (entity == "lt") out += '<';
        else if (entity == "gt") out += '>';
        else if (entity == "quot") out += '"';
        else if (entity == "apos") out += '\'';
        else if (entity.rfind("#x", 0) == 0) {
            const unsigned long c = std::stoul(entity.substr(2), nullptr, 16);
            if (c < 0x80) {
                out += static_cast<char>(c);
            } else if (c < 0x800) {
                out += static_cast<char>(0xC0 | (c >> 6));
                out += static_cast<char>(0x80 | (c & 0x3F));
            } else {
                out += static_cast<char>(0xE0 | (c >> 12));
                out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
                out += static_cast<char>(0x80 | (c & 0x3F));
            }
        }
    }
    return out;
}

TEST(TranslatedTest, EveryTextOfTheCoreTranslationFileIsFinished) {
    std::ifstream in(std::string(KANTOR_SOURCE_DIR) + "/translations/kantor_core_en.ts");
    ASSERT_TRUE(in);
    const std::string ts((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(ts.find("type=\"unfinished\""), std::string::npos) << "run scripts/update-translations.sh and translate";
    const std::regex source("<source>([^<]*)</source>");
    int count = 0;
    for (auto it = std::sregex_iterator(ts.begin(), ts.end(), source); it != std::sregex_iterator(); ++it) {
        std::string s = (*it)[1];
        s = unescaped(s);
        EXPECT_FALSE(hasJapanese(translatedTo(Language::English, s))) << s;
        ++count;
    }
    EXPECT_GT(count, 100);
}

TEST(LanguageTest, WordsNameTheLanguages) {
    Language l = Language::English;
    EXPECT_TRUE(parseLanguage("ja", l));
    EXPECT_EQ(l, Language::Japanese);
    EXPECT_TRUE(parseLanguage("EN", l));
    EXPECT_EQ(l, Language::English);
    EXPECT_TRUE(parseLanguage("Japanese", l));
    EXPECT_EQ(l, Language::Japanese);
    EXPECT_FALSE(parseLanguage("fr", l));
    EXPECT_FALSE(parseLanguage("", l));
    EXPECT_EQ(l, Language::Japanese);
    EXPECT_STREQ(languageWord(Language::English), "en");
    EXPECT_STREQ(languageWord(Language::Japanese), "ja");
}

TEST(FillTextTest, FillsTheFieldsInOrder) {
    EXPECT_EQ(fillText("%s : %s です", {"a.wav", "16bit"}), "a.wav : 16bit です");
    EXPECT_EQ(fillText("100%% %s", {"x"}), "100% x");
    EXPECT_EQ(fillText("%s と %s", {"one"}), "one と %s");
    EXPECT_EQ(fillText("%s", {"%s%s"}), "%s%s");  // a value is not filled in again
    EXPECT_EQ(fillText("末尾%", {"x"}), "末尾%");
}

}  // namespace
}  // namespace kantor
