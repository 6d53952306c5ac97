#include "platform/x11/CarbonKeys.h"

#include <X11/keysym.h>

#include <algorithm>
#include <array>

namespace vistrel::x11::CarbonKeys {

namespace {

// Ordered by Carbon code. Modifier keys, media keys and the ISO section key
// (which has no fixed keysym) are left out: none of them can be a shortcut.
constexpr std::array kTable{
    Entry{0, XK_a},             // kVK_ANSI_A
    Entry{1, XK_s},             // kVK_ANSI_S
    Entry{2, XK_d},             // kVK_ANSI_D
    Entry{3, XK_f},             // kVK_ANSI_F
    Entry{4, XK_h},             // kVK_ANSI_H
    Entry{5, XK_g},             // kVK_ANSI_G
    Entry{6, XK_z},             // kVK_ANSI_Z
    Entry{7, XK_x},             // kVK_ANSI_X
    Entry{8, XK_c},             // kVK_ANSI_C
    Entry{9, XK_v},             // kVK_ANSI_V
    Entry{11, XK_b},            // kVK_ANSI_B
    Entry{12, XK_q},            // kVK_ANSI_Q
    Entry{13, XK_w},            // kVK_ANSI_W
    Entry{14, XK_e},            // kVK_ANSI_E
    Entry{15, XK_r},            // kVK_ANSI_R
    Entry{16, XK_y},            // kVK_ANSI_Y
    Entry{17, XK_t},            // kVK_ANSI_T
    Entry{18, XK_1},            // kVK_ANSI_1
    Entry{19, XK_2},            // kVK_ANSI_2
    Entry{20, XK_3},            // kVK_ANSI_3
    Entry{21, XK_4},            // kVK_ANSI_4
    Entry{22, XK_6},            // kVK_ANSI_6
    Entry{23, XK_5},            // kVK_ANSI_5
    Entry{24, XK_equal},        // kVK_ANSI_Equal
    Entry{25, XK_9},            // kVK_ANSI_9
    Entry{26, XK_7},            // kVK_ANSI_7
    Entry{27, XK_minus},        // kVK_ANSI_Minus
    Entry{28, XK_8},            // kVK_ANSI_8
    Entry{29, XK_0},            // kVK_ANSI_0
    Entry{30, XK_bracketright}, // kVK_ANSI_RightBracket
    Entry{31, XK_o},            // kVK_ANSI_O
    Entry{32, XK_u},            // kVK_ANSI_U
    Entry{33, XK_bracketleft},  // kVK_ANSI_LeftBracket
    Entry{34, XK_i},            // kVK_ANSI_I
    Entry{35, XK_p},            // kVK_ANSI_P
    Entry{36, XK_Return},       // kVK_Return
    Entry{37, XK_l},            // kVK_ANSI_L
    Entry{38, XK_j},            // kVK_ANSI_J
    Entry{39, XK_apostrophe},   // kVK_ANSI_Quote
    Entry{40, XK_k},            // kVK_ANSI_K
    Entry{41, XK_semicolon},    // kVK_ANSI_Semicolon
    Entry{42, XK_backslash},    // kVK_ANSI_Backslash
    Entry{43, XK_comma},        // kVK_ANSI_Comma
    Entry{44, XK_slash},        // kVK_ANSI_Slash
    Entry{45, XK_n},            // kVK_ANSI_N
    Entry{46, XK_m},            // kVK_ANSI_M
    Entry{47, XK_period},       // kVK_ANSI_Period
    Entry{48, XK_Tab},          // kVK_Tab
    Entry{49, XK_space},        // kVK_Space
    Entry{50, XK_grave},        // kVK_ANSI_Grave
    Entry{51, XK_BackSpace},    // kVK_Delete (deletes backwards)
    Entry{53, XK_Escape},       // kVK_Escape
    Entry{64, XK_F17},          // kVK_F17
    Entry{65, XK_KP_Decimal},   // kVK_ANSI_KeypadDecimal
    Entry{67, XK_KP_Multiply},  // kVK_ANSI_KeypadMultiply
    Entry{69, XK_KP_Add},       // kVK_ANSI_KeypadPlus
    Entry{71, XK_Clear},        // kVK_ANSI_KeypadClear
    Entry{75, XK_KP_Divide},    // kVK_ANSI_KeypadDivide
    Entry{76, XK_KP_Enter},     // kVK_ANSI_KeypadEnter
    Entry{78, XK_KP_Subtract},  // kVK_ANSI_KeypadMinus
    Entry{79, XK_F18},          // kVK_F18
    Entry{80, XK_F19},          // kVK_F19
    Entry{81, XK_KP_Equal},     // kVK_ANSI_KeypadEquals
    Entry{82, XK_KP_0},         // kVK_ANSI_Keypad0
    Entry{83, XK_KP_1},         // kVK_ANSI_Keypad1
    Entry{84, XK_KP_2},         // kVK_ANSI_Keypad2
    Entry{85, XK_KP_3},         // kVK_ANSI_Keypad3
    Entry{86, XK_KP_4},         // kVK_ANSI_Keypad4
    Entry{87, XK_KP_5},         // kVK_ANSI_Keypad5
    Entry{88, XK_KP_6},         // kVK_ANSI_Keypad6
    Entry{89, XK_KP_7},         // kVK_ANSI_Keypad7
    Entry{90, XK_F20},          // kVK_F20
    Entry{91, XK_KP_8},         // kVK_ANSI_Keypad8
    Entry{92, XK_KP_9},         // kVK_ANSI_Keypad9
    Entry{96, XK_F5},           // kVK_F5
    Entry{97, XK_F6},           // kVK_F6
    Entry{98, XK_F7},           // kVK_F7
    Entry{99, XK_F3},           // kVK_F3
    Entry{100, XK_F8},          // kVK_F8
    Entry{101, XK_F9},          // kVK_F9
    Entry{103, XK_F11},         // kVK_F11
    Entry{105, XK_F13},         // kVK_F13
    Entry{106, XK_F16},         // kVK_F16
    Entry{107, XK_F14},         // kVK_F14
    Entry{109, XK_F10},         // kVK_F10
    Entry{111, XK_F12},         // kVK_F12
    Entry{113, XK_F15},         // kVK_F15
    Entry{114, XK_Insert},      // kVK_Help: the key a PC keyboard labels Insert
    Entry{115, XK_Home},        // kVK_Home
    Entry{116, XK_Prior},       // kVK_PageUp
    Entry{117, XK_Delete},      // kVK_ForwardDelete
    Entry{118, XK_F4},          // kVK_F4
    Entry{119, XK_End},         // kVK_End
    Entry{120, XK_F2},          // kVK_F2
    Entry{121, XK_Next},        // kVK_PageDown
    Entry{122, XK_F1},          // kVK_F1
    Entry{123, XK_Left},        // kVK_LeftArrow
    Entry{124, XK_Right},       // kVK_RightArrow
    Entry{125, XK_Down},        // kVK_DownArrow
    Entry{126, XK_Up},          // kVK_UpArrow
};

// Other keysyms of the same keys, for reading key events: a letter with Shift
// or Caps Lock, a keypad key with NumLock off, Tab with Shift.
constexpr std::array kAliases{
    Entry{0, XK_A},   Entry{1, XK_S},   Entry{2, XK_D},   Entry{3, XK_F},   Entry{4, XK_H},
    Entry{5, XK_G},   Entry{6, XK_Z},   Entry{7, XK_X},   Entry{8, XK_C},   Entry{9, XK_V},
    Entry{11, XK_B},  Entry{12, XK_Q},  Entry{13, XK_W},  Entry{14, XK_E},  Entry{15, XK_R},
    Entry{16, XK_Y},  Entry{17, XK_T},  Entry{31, XK_O},  Entry{32, XK_U},  Entry{34, XK_I},
    Entry{35, XK_P},  Entry{37, XK_L},  Entry{38, XK_J},  Entry{40, XK_K},  Entry{45, XK_N},
    Entry{46, XK_M},
    Entry{48, XK_ISO_Left_Tab},
    Entry{65, XK_KP_Delete},
    Entry{82, XK_KP_Insert},
    Entry{83, XK_KP_End},
    Entry{84, XK_KP_Down},
    Entry{85, XK_KP_Next},
    Entry{86, XK_KP_Left},
    Entry{87, XK_KP_Begin},
    Entry{88, XK_KP_Right},
    Entry{89, XK_KP_Home},
    Entry{91, XK_KP_Up},
    Entry{92, XK_KP_Prior},
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

}  // namespace vistrel::x11::CarbonKeys
