#include "platform/linux/CarbonKeys.h"

#include <xkbcommon/xkbcommon-keysyms.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <array>

namespace vistrel::desktop::CarbonKeys {

namespace {

// Ordered by Carbon code. Modifier keys, media keys and the ISO section key
// (which has no fixed keysym) are left out: none of them can be a shortcut.
constexpr std::array kTable{
    Entry{0, XKB_KEY_a},             // kVK_ANSI_A
    Entry{1, XKB_KEY_s},             // kVK_ANSI_S
    Entry{2, XKB_KEY_d},             // kVK_ANSI_D
    Entry{3, XKB_KEY_f},             // kVK_ANSI_F
    Entry{4, XKB_KEY_h},             // kVK_ANSI_H
    Entry{5, XKB_KEY_g},             // kVK_ANSI_G
    Entry{6, XKB_KEY_z},             // kVK_ANSI_Z
    Entry{7, XKB_KEY_x},             // kVK_ANSI_X
    Entry{8, XKB_KEY_c},             // kVK_ANSI_C
    Entry{9, XKB_KEY_v},             // kVK_ANSI_V
    Entry{11, XKB_KEY_b},            // kVK_ANSI_B
    Entry{12, XKB_KEY_q},            // kVK_ANSI_Q
    Entry{13, XKB_KEY_w},            // kVK_ANSI_W
    Entry{14, XKB_KEY_e},            // kVK_ANSI_E
    Entry{15, XKB_KEY_r},            // kVK_ANSI_R
    Entry{16, XKB_KEY_y},            // kVK_ANSI_Y
    Entry{17, XKB_KEY_t},            // kVK_ANSI_T
    Entry{18, XKB_KEY_1},            // kVK_ANSI_1
    Entry{19, XKB_KEY_2},            // kVK_ANSI_2
    Entry{20, XKB_KEY_3},            // kVK_ANSI_3
    Entry{21, XKB_KEY_4},            // kVK_ANSI_4
    Entry{22, XKB_KEY_6},            // kVK_ANSI_6
    Entry{23, XKB_KEY_5},            // kVK_ANSI_5
    Entry{24, XKB_KEY_equal},        // kVK_ANSI_Equal
    Entry{25, XKB_KEY_9},            // kVK_ANSI_9
    Entry{26, XKB_KEY_7},            // kVK_ANSI_7
    Entry{27, XKB_KEY_minus},        // kVK_ANSI_Minus
    Entry{28, XKB_KEY_8},            // kVK_ANSI_8
    Entry{29, XKB_KEY_0},            // kVK_ANSI_0
    Entry{30, XKB_KEY_bracketright}, // kVK_ANSI_RightBracket
    Entry{31, XKB_KEY_o},            // kVK_ANSI_O
    Entry{32, XKB_KEY_u},            // kVK_ANSI_U
    Entry{33, XKB_KEY_bracketleft},  // kVK_ANSI_LeftBracket
    Entry{34, XKB_KEY_i},            // kVK_ANSI_I
    Entry{35, XKB_KEY_p},            // kVK_ANSI_P
    Entry{36, XKB_KEY_Return},       // kVK_Return
    Entry{37, XKB_KEY_l},            // kVK_ANSI_L
    Entry{38, XKB_KEY_j},            // kVK_ANSI_J
    Entry{39, XKB_KEY_apostrophe},   // kVK_ANSI_Quote
    Entry{40, XKB_KEY_k},            // kVK_ANSI_K
    Entry{41, XKB_KEY_semicolon},    // kVK_ANSI_Semicolon
    Entry{42, XKB_KEY_backslash},    // kVK_ANSI_Backslash
    Entry{43, XKB_KEY_comma},        // kVK_ANSI_Comma
    Entry{44, XKB_KEY_slash},        // kVK_ANSI_Slash
    Entry{45, XKB_KEY_n},            // kVK_ANSI_N
    Entry{46, XKB_KEY_m},            // kVK_ANSI_M
    Entry{47, XKB_KEY_period},       // kVK_ANSI_Period
    Entry{48, XKB_KEY_Tab},          // kVK_Tab
    Entry{49, XKB_KEY_space},        // kVK_Space
    Entry{50, XKB_KEY_grave},        // kVK_ANSI_Grave
    Entry{51, XKB_KEY_BackSpace},    // kVK_Delete (deletes backwards)
    Entry{53, XKB_KEY_Escape},       // kVK_Escape
    Entry{64, XKB_KEY_F17},          // kVK_F17
    Entry{65, XKB_KEY_KP_Decimal},   // kVK_ANSI_KeypadDecimal
    Entry{67, XKB_KEY_KP_Multiply},  // kVK_ANSI_KeypadMultiply
    Entry{69, XKB_KEY_KP_Add},       // kVK_ANSI_KeypadPlus
    Entry{71, XKB_KEY_Clear},        // kVK_ANSI_KeypadClear
    Entry{75, XKB_KEY_KP_Divide},    // kVK_ANSI_KeypadDivide
    Entry{76, XKB_KEY_KP_Enter},     // kVK_ANSI_KeypadEnter
    Entry{78, XKB_KEY_KP_Subtract},  // kVK_ANSI_KeypadMinus
    Entry{79, XKB_KEY_F18},          // kVK_F18
    Entry{80, XKB_KEY_F19},          // kVK_F19
    Entry{81, XKB_KEY_KP_Equal},     // kVK_ANSI_KeypadEquals
    Entry{82, XKB_KEY_KP_0},         // kVK_ANSI_Keypad0
    Entry{83, XKB_KEY_KP_1},         // kVK_ANSI_Keypad1
    Entry{84, XKB_KEY_KP_2},         // kVK_ANSI_Keypad2
    Entry{85, XKB_KEY_KP_3},         // kVK_ANSI_Keypad3
    Entry{86, XKB_KEY_KP_4},         // kVK_ANSI_Keypad4
    Entry{87, XKB_KEY_KP_5},         // kVK_ANSI_Keypad5
    Entry{88, XKB_KEY_KP_6},         // kVK_ANSI_Keypad6
    Entry{89, XKB_KEY_KP_7},         // kVK_ANSI_Keypad7
    Entry{90, XKB_KEY_F20},          // kVK_F20
    Entry{91, XKB_KEY_KP_8},         // kVK_ANSI_Keypad8
    Entry{92, XKB_KEY_KP_9},         // kVK_ANSI_Keypad9
    Entry{96, XKB_KEY_F5},           // kVK_F5
    Entry{97, XKB_KEY_F6},           // kVK_F6
    Entry{98, XKB_KEY_F7},           // kVK_F7
    Entry{99, XKB_KEY_F3},           // kVK_F3
    Entry{100, XKB_KEY_F8},          // kVK_F8
    Entry{101, XKB_KEY_F9},          // kVK_F9
    Entry{103, XKB_KEY_F11},         // kVK_F11
    Entry{105, XKB_KEY_F13},         // kVK_F13
    Entry{106, XKB_KEY_F16},         // kVK_F16
    Entry{107, XKB_KEY_F14},         // kVK_F14
    Entry{109, XKB_KEY_F10},         // kVK_F10
    Entry{111, XKB_KEY_F12},         // kVK_F12
    Entry{113, XKB_KEY_F15},         // kVK_F15
    Entry{114, XKB_KEY_Insert},      // kVK_Help: the key a PC keyboard labels Insert
    Entry{115, XKB_KEY_Home},        // kVK_Home
    Entry{116, XKB_KEY_Prior},       // kVK_PageUp
    Entry{117, XKB_KEY_Delete},      // kVK_ForwardDelete
    Entry{118, XKB_KEY_F4},          // kVK_F4
    Entry{119, XKB_KEY_End},         // kVK_End
    Entry{120, XKB_KEY_F2},          // kVK_F2
    Entry{121, XKB_KEY_Next},        // kVK_PageDown
    Entry{122, XKB_KEY_F1},          // kVK_F1
    Entry{123, XKB_KEY_Left},        // kVK_LeftArrow
    Entry{124, XKB_KEY_Right},       // kVK_RightArrow
    Entry{125, XKB_KEY_Down},        // kVK_DownArrow
    Entry{126, XKB_KEY_Up},          // kVK_UpArrow
};

// Other keysyms of the same keys, for reading key events: a letter with Shift
// or Caps Lock, a keypad key with NumLock off, Tab with Shift.
constexpr std::array kAliases{
    Entry{0, XKB_KEY_A},   Entry{1, XKB_KEY_S},   Entry{2, XKB_KEY_D},   Entry{3, XKB_KEY_F},   Entry{4, XKB_KEY_H},
    Entry{5, XKB_KEY_G},   Entry{6, XKB_KEY_Z},   Entry{7, XKB_KEY_X},   Entry{8, XKB_KEY_C},   Entry{9, XKB_KEY_V},
    Entry{11, XKB_KEY_B},  Entry{12, XKB_KEY_Q},  Entry{13, XKB_KEY_W},  Entry{14, XKB_KEY_E},  Entry{15, XKB_KEY_R},
    Entry{16, XKB_KEY_Y},  Entry{17, XKB_KEY_T},  Entry{31, XKB_KEY_O},  Entry{32, XKB_KEY_U},  Entry{34, XKB_KEY_I},
    Entry{35, XKB_KEY_P},  Entry{37, XKB_KEY_L},  Entry{38, XKB_KEY_J},  Entry{40, XKB_KEY_K},  Entry{45, XKB_KEY_N},
    Entry{46, XKB_KEY_M},
    Entry{48, XKB_KEY_ISO_Left_Tab},
    Entry{65, XKB_KEY_KP_Delete},
    Entry{82, XKB_KEY_KP_Insert},
    Entry{83, XKB_KEY_KP_End},
    Entry{84, XKB_KEY_KP_Down},
    Entry{85, XKB_KEY_KP_Next},
    Entry{86, XKB_KEY_KP_Left},
    Entry{87, XKB_KEY_KP_Begin},
    Entry{88, XKB_KEY_KP_Right},
    Entry{89, XKB_KEY_KP_Home},
    Entry{91, XKB_KEY_KP_Up},
    Entry{92, XKB_KEY_KP_Prior},
};

template <std::size_t N>
const Entry* findKeysym(const std::array<Entry, N>& entries, std::uint32_t keysym) {
  auto it = std::find_if(entries.begin(), entries.end(), [&](const Entry& e) { return e.keysym == keysym; });
  return it == entries.end() ? nullptr : &*it;
}

}  // namespace

std::span<const Entry> table() { return kTable; }

std::optional<std::uint32_t> keysym(std::uint16_t keyCode) {
  auto it = std::find_if(kTable.begin(), kTable.end(), [&](const Entry& e) { return e.keyCode == keyCode; });
  if (it == kTable.end()) return std::nullopt;
  return it->keysym;
}

std::optional<std::uint16_t> keyCode(std::uint32_t keysym) {
  if (const Entry* entry = findKeysym(kTable, keysym)) return entry->keyCode;
  if (const Entry* entry = findKeysym(kAliases, keysym)) return entry->keyCode;
  return std::nullopt;
}

std::optional<std::string> keyName(std::uint16_t code) {
  const auto sym = keysym(code);
  if (!sym) return std::nullopt;
  char name[64];
  if (xkb_keysym_get_name(*sym, name, sizeof name) <= 0) return std::nullopt;
  return std::string(name);
}

}  // namespace vistrel::desktop::CarbonKeys
