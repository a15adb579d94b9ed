#pragma once
// The texts and names of the program's start-up, folders and settings file.
#include <cstdint>

#include "base/Translation.h"

namespace kantor::text {

// Program title and the text of the small hub window.
inline constexpr const char* kAppTitle = "My Kantorellion";
inline constexpr const char* kHubWindowText = "My Kantorellion 2.1.0";
inline constexpr const char* kVersionInfoMenu = KANTOR_TEXT("ﾊﾞｰｼﾞｮﾝ情報 (&A)...");

// A second copy of the program refuses to start with this message.
inline constexpr const char* kAlreadyRunning = KANTOR_TEXT("二重起動です。");

// Shown once when no usable settings file was found, before the sync correction window.
inline constexpr const char* kFirstRunCaption = KANTOR_TEXT("始めにやる事");
inline constexpr const char* kFirstRunNotice =
    KANTOR_TEXT("初めての利用の際には、Midiの遅延ﾀｲﾑの設定を行ってください。\n"
                "ﾊｰﾄﾞｳｪｱMidiの場合は無視できるかと思いますが、\n"
                "ｿﾌﾄｳｪｱMidi（Windows付属のMidiなど）では大きな遅延が生じます。\n"
                "ちなみに作者のPC（XP）では +90 msec ぐらいでした。") "\n";

}  // namespace kantor::text

namespace kantor::names {

// The settings file in the local data folder.
inline constexpr const char* kSettingsFile = "Kantor.ini";
// Sub-folders below the user's data and documents folders.
inline constexpr const char* kMakerFolder = "Ardlow Software";
inline constexpr const char* kProductFolder = "Kantor";
inline constexpr const char* kSampleFolder = "sample";
inline constexpr const char* kVoiceFolder = "VXB";
// The demo song in the sample folder; the first recent file on a fresh start.
inline constexpr const char* kDemoSong = "DEMOS20.uta";
// The single-instance lock keeps the name of the instance mutex.
inline constexpr const char* kInstanceLock = "My_Kantorellion_hPrevInstance";

}  // namespace kantor::names
