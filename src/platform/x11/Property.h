#pragma once
// X window properties as plain values, and their decoders. Properties are
// written by other programs: a decoder accepts only the type and format it
// expects and reads a malformed value as absent (or as the whole items it
// holds), never past its end.

#include <xcb/xcb.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vistrel::x11 {

struct Property {
  xcb_atom_t type = XCB_ATOM_NONE;  // None when the window has no such property
  std::uint8_t format = 0;          // 8, 16 or 32 bits per item
  std::vector<std::uint8_t> bytes;  // the items, in the host's byte order
};

// The value of a GetProperty reply; an absent reply reads as an absent property.
Property propertyFromReply(const xcb_get_property_reply_t* reply);

// 32-bit items of `type` (CARDINAL, WINDOW, ATOM): empty for any other type or format.
std::vector<std::uint32_t> items32(const Property& property, xcb_atom_t type);
// The first 32-bit item of `type`.
std::optional<std::uint32_t> item32(const Property& property, xcb_atom_t type);

// Text of a window title: UTF8_STRING as UTF-8 (invalid sequences replaced),
// any other 8-bit type (STRING, COMPOUND_TEXT) as Latin-1, which is exact for
// STRING and for the ASCII most titles are. Trailing NULs are dropped. Absent
// when the window has no such property or it is not 8-bit.
std::optional<std::string> text(const Property& property, xcb_atom_t utf8String);

// WM_CLASS: instance and class names, two NUL-terminated Latin-1 strings.
struct WindowClass {
  std::string instance;
  std::string className;
};
std::optional<WindowClass> windowClass(const Property& property);

}  // namespace vistrel::x11
