#pragma once
// The texts of the external effect plug-ins: messages, window titles and labels.
#include "base/Translation.h"

namespace kantor::plugintext {

inline constexpr const char* kMarker = "My Kantorellion Plugin";
inline constexpr const char* kNotAPlugin = KANTOR_TEXT("My Kantorellion ﾌﾟﾗｸﾞｲﾝ･ﾌｧｲﾙではありません。");
inline constexpr const char* kErrorCaption = "Error";
inline constexpr const char* kOutOfMemory = KANTOR_TEXT("メモリが不足しています。");
inline constexpr const char* kEffectErrorCaption = KANTOR_TEXT("外部ｴﾌｪｸﾀ・ｴﾗｰ");
inline constexpr const char* kCommentEndMark = "This is End Line Mark. Ok!123";

// The external effector window.
inline constexpr const char* kSettingsMenuCommand = KANTOR_TEXT("外部ｴﾌｪｸﾀの設定(&E)");
inline constexpr const char* kSettingsTitle = KANTOR_TEXT("外部エフェクタの設定");
inline constexpr const char* kSelectionTitle = KANTOR_TEXT("外部エフェクタの選択");
inline constexpr const char* kPluginListLabel = KANTOR_TEXT("外部エフェクタ名");
inline constexpr const char* kEffectListLabel = KANTOR_TEXT("エフェクト一覧");
inline constexpr const char* kChosenListLabel = KANTOR_TEXT("選択エフェクト（最大３個まで）");
inline constexpr const char* kRegisterButton = KANTOR_TEXT("登録(&R)");
inline constexpr const char* kRemoveButton = KANTOR_TEXT("取消(&D)");
inline constexpr const char* kChooseButton = KANTOR_TEXT("選択(&S)");
inline constexpr const char* kUnchooseButton = KANTOR_TEXT("選択取消(&C)");
inline constexpr const char* kFileFilter = KANTOR_TEXT("Sonnetra 外部ｴﾌｪｸﾀ ﾌﾟﾗｸﾞｲﾝ (*.ncp)|*.ncp||");
inline constexpr const char* kDefaultExtension = "ncp";
inline constexpr const char* kTooManyEffects = KANTOR_TEXT("選択できるエフェクトは３個までです。");
inline constexpr const char* kChoosePlugin = KANTOR_TEXT("エフェクタ名を選択してください。");
inline constexpr const char* kChooseEffect = KANTOR_TEXT("エフェクトを選択してください。");
// A path the settings file cannot hold (over 511 bytes, or characters cp932 lacks).
inline constexpr const char* kPathNotStorable =
    KANTOR_TEXT("このﾌｧｲﾙは登録できません（ﾊﾟｽが511ﾊﾞｲﾄを超えるか、使えない文字を含みます）。");

}  // namespace kantor::plugintext
