#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "platform/x11/X11ScreenCapture.h"

namespace vistrel::x11 {
namespace {

// Each layer holds exactly the documented window types: only ordinary windows are offered for capture.
TEST(CaptureLayer, LayersGroupTheDocumentedTypes) {
  const std::map<int, std::set<std::string>> expected{
      {0,
       {"_NET_WM_WINDOW_TYPE_NORMAL", "_NET_WM_WINDOW_TYPE_DIALOG", "_NET_WM_WINDOW_TYPE_UTILITY",
        "_NET_WM_WINDOW_TYPE_TOOLBAR", "_NET_WM_WINDOW_TYPE_MENU", "_NET_WM_WINDOW_TYPE_SPLASH"}},
      {-1, {"_NET_WM_WINDOW_TYPE_DESKTOP"}},
      {20, {"_NET_WM_WINDOW_TYPE_DOCK"}},
      {101,
       {"_NET_WM_WINDOW_TYPE_NOTIFICATION", "_NET_WM_WINDOW_TYPE_DROPDOWN_MENU", "_NET_WM_WINDOW_TYPE_POPUP_MENU",
        "_NET_WM_WINDOW_TYPE_TOOLTIP", "_NET_WM_WINDOW_TYPE_COMBO", "_NET_WM_WINDOW_TYPE_DND"}},
  };
  std::map<int, std::set<std::string>> actual;
  for (const WindowType type : allWindowTypes()) actual[captureLayer(type)].insert(std::string(atomName(type)));
  EXPECT_EQ(actual, expected);
  for (const auto& [layer, names] : expected) {
    for (const auto& name : names) EXPECT_EQ(captureLayer(*windowTypeFromAtomName(name)), layer) << name;
  }
}

}  // namespace
}  // namespace vistrel::x11
