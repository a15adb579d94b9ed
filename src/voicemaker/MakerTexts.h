#pragma once
// Texts the voice data maker shows, and the captions they are shown with.
#include "base/Translation.h"

namespace kantor::makertext {

// Captions.
inline constexpr const char* kCaptionError = "Error";
inline constexpr const char* kCaptionLowerError = "error";
inline constexpr const char* kCaptionConfirm = KANTOR_TEXT("確認");

// Project file (shown titled "error").
inline constexpr const char* kSaveFailed = KANTOR_TEXT("ﾌﾟﾛｼﾞｪｸﾄの保存に失敗しました。");
inline constexpr const char* kOpenFailed = KANTOR_TEXT("ﾌﾟﾛｼﾞｪｸﾄのｵｰﾌﾟﾝに失敗しました。");
inline constexpr const char* kReadFailed = KANTOR_TEXT("ﾌﾟﾛｼﾞｪｸﾄの読み込みに失敗しました。");
inline constexpr const char* kNotProject = KANTOR_TEXT("Vxb作成ﾌﾟﾛｼﾞｪｸﾄﾌｧｲﾙではありません。");
inline constexpr const char* kUnsupportedVersion = KANTOR_TEXT("未対応なﾊﾞｰｼﾞｮﾝのVxb作成ﾌﾟﾛｼﾞｪｸﾄﾌｧｲﾙです。");
inline constexpr const char* kAskSave = KANTOR_TEXT("VoiceData作成ﾌﾟﾛｼﾞｪｸﾄを保存しますか？");

// Adding an item (shown titled "ERROR"), and the duplicate question.
inline constexpr const char* kCaptionUpperError = "ERROR";
inline constexpr const char* kNoPitchSelected = KANTOR_TEXT("音程が選択されていません。");
inline constexpr const char* kNoCodeSelected = KANTOR_TEXT("ｺｰﾄﾞ（ﾛｰﾏ字） - 表記（ひらがな）が選択されていません。");
inline constexpr const char* kEmptyCode = KANTOR_TEXT("ｺｰﾄﾞ（ﾛｰﾏ字）が空白です。");
inline constexpr const char* kEmptyNotation = KANTOR_TEXT("表記（ひらがな）が空白です。");
inline constexpr const char* kDuplicateItem = KANTOR_TEXT("音程とｺｰﾄﾞが一致するItemが既に存在します。\n[OK]：継続、[ｷｬﾝｾﾙ]：中断");

// Wave import and export (shown titled "Error").
inline constexpr const char* kUnsupportedWave =
    KANTOR_TEXT("未対応なWaveﾌｧｲﾙ形式です。\n現在選択できるのは %s のWaveﾌｧｲﾙです。") "\n";
inline constexpr const char* kSupportedWaveFormats = "16bit, Mono, 11025kHz or 22050kHz or 44100kHz";
inline constexpr const char* kAskReplaceWave = KANTOR_TEXT("既にWaveﾃﾞｰﾀが存在します。入れ換えますか？");

// Build (shown titled "error").
inline constexpr const char* kNoVoiceName = KANTOR_TEXT("Voice名が未入力です。");
inline constexpr const char* kNoVoiceData = KANTOR_TEXT("Vioce Data が一つもありません。");
inline constexpr const char* kNoProperties = KANTOR_TEXT("ﾌﾟﾛﾊﾟﾃｨ が設定されてません。");
// An item whose markers lie outside its data or out of order cannot be cut into a
// sample; the item's list line follows on the next line.
inline constexpr const char* kBadMarkers = KANTOR_TEXT("ﾏｰｶｰの位置が正しくありません。");

}  // namespace kantor::makertext
