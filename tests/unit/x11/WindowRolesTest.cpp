#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "platform/x11/WindowRoles.h"

namespace vistrel::x11 {
namespace {

// Every window type round-trips through its atom name, and unknown names read as no type.
TEST(WindowRoles, AtomNamesMapBothWays) {
  std::set<std::string_view> names;
  for (const WindowType type : allWindowTypes()) {
    const std::string_view name = atomName(type);
    EXPECT_TRUE(name.starts_with("_NET_WM_WINDOW_TYPE_")) << name;
    EXPECT_EQ(windowTypeFromAtomName(name), type) << name;
    names.insert(name);
  }
  EXPECT_EQ(names.size(), allWindowTypes().size());
  EXPECT_EQ(allWindowTypes().size(), 14u);
  EXPECT_EQ(windowTypeFromAtomName("_NET_WM_WINDOW_TYPE_normal"), std::nullopt);
  EXPECT_EQ(windowTypeFromAtomName("_KDE_NET_WM_WINDOW_TYPE_OVERRIDE"), std::nullopt);
  EXPECT_EQ(windowTypeFromAtomName(""), std::nullopt);
}

// Each subrole is read from exactly the documented window types, and each type has one subrole.
TEST(WindowRoles, SubrolesGroupTheDocumentedTypes) {
  const std::map<std::string, std::set<std::string>> expected{
      {"AXStandardWindow", {"_NET_WM_WINDOW_TYPE_NORMAL"}},
      {"AXDialog", {"_NET_WM_WINDOW_TYPE_DIALOG"}},
      {"AXFloatingWindow",
       {"_NET_WM_WINDOW_TYPE_UTILITY", "_NET_WM_WINDOW_TYPE_TOOLBAR", "_NET_WM_WINDOW_TYPE_MENU"}},
      {"AXSystemDialog", {"_NET_WM_WINDOW_TYPE_SPLASH", "_NET_WM_WINDOW_TYPE_NOTIFICATION"}},
      {"AXUnknown",
       {"_NET_WM_WINDOW_TYPE_DESKTOP", "_NET_WM_WINDOW_TYPE_DOCK", "_NET_WM_WINDOW_TYPE_DROPDOWN_MENU",
        "_NET_WM_WINDOW_TYPE_POPUP_MENU", "_NET_WM_WINDOW_TYPE_TOOLTIP", "_NET_WM_WINDOW_TYPE_COMBO",
        "_NET_WM_WINDOW_TYPE_DND"}},
  };
  std::map<std::string, std::set<std::string>> actual;
  for (const WindowType type : allWindowTypes()) {
    actual[std::string(subrole(type))].insert(std::string(atomName(type)));
  }
  EXPECT_EQ(actual, expected);
  // And back: every name listed under a subrole leads to that subrole.
  for (const auto& [role, names] : expected) {
    for (const auto& name : names) {
      const auto type = windowTypeFromAtomName(name);
      ASSERT_TRUE(type) << name;
      EXPECT_EQ(subrole(*type), role) << name;
    }
  }
}

// The first known listed type wins; without one, transient windows are dialogs and others normal.
TEST(WindowRoles, EffectiveTypeFollowsEwmhDefaults) {
  using T = std::optional<WindowType>;
  const T kdeOverride = std::nullopt;  // a type this table does not know
  EXPECT_EQ(effectiveWindowType(std::vector<T>{kdeOverride, WindowType::utility, WindowType::normal}, false),
            WindowType::utility);
  EXPECT_EQ(effectiveWindowType(std::vector<T>{WindowType::splash}, true), WindowType::splash);
  EXPECT_EQ(effectiveWindowType(std::vector<T>{}, false), WindowType::normal);
  EXPECT_EQ(effectiveWindowType(std::vector<T>{}, true), WindowType::dialog);
  EXPECT_EQ(effectiveWindowType(std::vector<T>{kdeOverride}, true), WindowType::dialog);
}

}  // namespace
}  // namespace vistrel::x11
