#pragma once
// The status item's menu as plain data: built fresh at every opening by
// UtilitiesMenuBuilder, then rendered to a QMenu. Tests read this model.

#include <QIcon>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/UtilityAction.h"
#include "base/WindowSnap.h"

namespace vistrel {

// A menu image by symbol name: the primary name, then the fallbacks in
// order; the item's title describes it. A snap's drawn glyph shows that
// snap's own region, so window actions carry their snap (several snaps
// share one symbol name).
struct MenuSymbol {
  std::string primary;
  std::vector<std::string> fallbacks;
  std::optional<WindowSnap> snap;
  friend bool operator==(const MenuSymbol&, const MenuSymbol&) = default;
};

struct MenuRow {
  // What choosing the row does.
  enum class Kind {
    sectionHeader,  // nothing: a disabled title
    action,         // dispatches the action registered under `tag`
    launchAtLogin,
    fixSplitScreen,
    checkForUpdates,
    separator,
    submenu,       // opens `children`
    timedCapture,  // a capture of `captureMode` after `delaySeconds`
  };

  Kind kind = Kind::separator;
  std::string title;
  int tag = 0;  // action rows only; meaningful for the menu built last
  bool enabled = true;
  bool checkable = false;
  bool checked = false;
  QIcon image;            // null for none; a 16x16 template (mask) image
  std::string imageName;  // the theme icon or drawn symbol the image came from
  // The platform's key equivalent text (menuKeyEquivalent) and menu modifier
  // mask; an empty key equivalent shows no shortcut whatever the mask.
  std::string keyEquivalent;
  std::uint64_t modifierMask = 0;
  std::vector<MenuRow> children;  // submenu rows only
  CaptureMode captureMode = CaptureMode::screen;  // timedCapture rows only
  int delaySeconds = 0;                           // timedCapture rows only
};

struct MenuModel {
  std::vector<MenuRow> rows;
};

}  // namespace vistrel
