#pragma once
// Every key of setinfo.ini: its section, name and the default a missing or malformed value
// gives. Readers and writers name a key only through these constants.
namespace sayvell::store::keys {

struct IntKey {
    const char* section;
    const char* name;
    int fallback;
};
struct BoolKey {
    const char* section;
    const char* name;
    bool fallback;
};
// A text key; its fallback is empty unless the reader gives one (Mp3bj: the program's folder).
struct TextKey {
    const char* section;
    const char* name;
    const char* fallback = "";
};

inline constexpr char kSystem[] = "System";
inline constexpr char kMemo[] = "Memo";
inline constexpr char kSpeaker[] = "Speaker";
inline constexpr char kPosition[] = "Position";

// Reading and its prompt
inline constexpr BoolKey PromptTone{kSystem, "Prompt_tone", true};
inline constexpr IntKey Readtimes{kSystem, "Readtimes", 2};
inline constexpr IntKey Intervaltime{kSystem, "Intervaltime", 60};
inline constexpr IntKey Delay2{kSystem, "Delay2", 800};

// Background music
inline constexpr IntKey DefaultVolume{kSystem, "default_volume", 40};
inline constexpr IntKey DefaultVolume1{kSystem, "default_volume1", 10};
inline constexpr IntKey Playmode{kSystem, "Playmode", 0};
inline constexpr TextKey Mp3bj{kSystem, "Mp3bj"};

// WAV output format: index into the 36 formats; 24 is 32 kHz 8-bit mono.
inline constexpr IntKey Yinping{kSystem, "Yinping", 24};

// Global hotkeys
inline constexpr BoolKey HotkeyF7{kSystem, "F7", true};
inline constexpr BoolKey HotkeyF9{kSystem, "F9", true};
inline constexpr BoolKey HotkeyF11{kSystem, "F11", true};

// Editor appearance; an absent colour or face keeps the editor's design value.
inline constexpr TextKey MemoColor{kMemo, "memocolor"};
inline constexpr TextKey FontColor{kMemo, "fontcolor"};
inline constexpr IntKey FontSize{kMemo, "fontsize", 12};
inline constexpr TextKey FontName{kMemo, "fontname"};
inline constexpr TextKey FontStyle{kMemo, "FontStyle", "[]"};

// Voice and speech; a stored volume of 120 shows as the bar's maximum.
inline constexpr IntKey Voice{kSpeaker, "Speaker", 0};
inline constexpr IntKey Rate{kSpeaker, "Rate", 2};
inline constexpr IntKey Volume{kSpeaker, "Volume", 120};
inline constexpr IntKey Datetimetype{kSpeaker, "Datetimetype", 1};

// Announcement plan: keep the machine awake while an announcement is due within the hour; how
// late (seconds) an announcement may still play after a suspend or a late start.
inline constexpr BoolKey PlanStayAwake{kSystem, "Plan_stay_awake", true};
inline constexpr IntKey PlanGraceSeconds{kSystem, "Plan_grace", 300};

// Bookmark
inline constexpr IntKey Lastposi{kPosition, "Lastposi", 0};
inline constexpr IntKey BookmarkLine{kPosition, "Line", 0};

}  // namespace sayvell::store::keys
