#pragma once
// What the Wayland backend tests need of the sway session beyond the
// backend: native programs started and ended by the test, sway's state read
// back through swaymsg (a tool that shares no code with the backend), and
// the screen's pixels.
//
// sway reports the frames it has decided, before the program has drawn
// them, and a floating window takes the size of whatever frame its program
// draws next: a frame drawn late for an earlier size undoes a later resize.
// Tests therefore wait until foot has drawn a frame before they change it
// again (Foot::drawnAt).

#include <QImage>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>

#include "base/Rect.h"
#include "platform/wayland/WaylandConnection.h"
#include "support/WaitUntil.h"

namespace vistrel {
// Rectangles in test failures, as (x,y wxh).
void PrintTo(const Rect& rect, std::ostream* out);
}  // namespace vistrel

namespace vistrel::e2e {

// foot's background colour in these tests.
inline constexpr QRgb kFootRed = 0xffff0000;

using testing::waitUntil;

// Runs a tool to its end (10 s at most) and returns what it printed; none when it failed.
std::optional<std::string> runTool(const QString& program, const QStringList& arguments);

// The window of process `pid` in `swaymsg -t get_tree`; none when it has none.
std::optional<QJsonObject> toolView(std::int64_t pid);
// The frame users see, as swaymsg reports it: rect with deco_rect's title bar above.
Rect toolFrame(const QJsonObject& view);
// The area the program draws in, as swaymsg reports it.
QRect toolContent(const QJsonObject& view);
// Runs sway commands through swaymsg; false when sway refused one.
bool swaymsg(const QString& commands);
// The first output's pixels now (screencopy, no cursor); a null image when it fails.
QImage screenPixels(wayland::WaylandConnection& connection);

// A foot terminal painted red, started for the test (running `cat`, so it
// stays until killed); killed when the object goes.
class Foot {
 public:
  // Starts foot and waits up to 10 s until it has drawn its first frame
  // where sway put it; none when it does not.
  static std::unique_ptr<Foot> start(wayland::WaylandConnection& connection, const QStringList& arguments = {});
  ~Foot();

  std::int32_t pid() const { return std::int32_t(process_.processId()); }
  std::int64_t conId() const { return conId_; }
  // Whether sway's frame of the window is `frame` and foot has drawn its
  // content there: red fills the content up to its edges (but the cursor's
  // cell at the top-left), and stops there.
  bool drawnAt(const Rect& frame);
  // The same for whatever frame sway gives the window now.
  bool drawn();
  // Kills foot at once and waits until sway has dropped its window.
  void kill();

 private:
  explicit Foot(wayland::WaylandConnection& connection) : connection_(connection) {}
  wayland::WaylandConnection& connection_;
  QProcess process_;
  std::int64_t conId_ = 0;
};

}  // namespace vistrel::e2e
