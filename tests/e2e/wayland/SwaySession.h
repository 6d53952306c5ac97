#pragma once
// What the Wayland backend tests need of the sway session beyond the
// backend: native programs started and ended by the test, and sway's state
// read back through swaymsg, a tool that shares no code with the backend.

#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>

#include "platform/Rect.h"

namespace vistrel {
// Rectangles in test failures, as (x,y wxh).
void PrintTo(const Rect& rect, std::ostream* out);
}  // namespace vistrel

namespace vistrel::e2e {

// Checks `done` every 20 ms (and at once) until it holds or `seconds` pass.
bool waitUntil(double seconds, const std::function<bool()>& done);

// Runs a tool to its end (10 s at most) and returns what it printed; none when it failed.
std::optional<std::string> runTool(const QString& program, const QStringList& arguments);

// The window of process `pid` in `swaymsg -t get_tree`; none when it has none.
std::optional<QJsonObject> toolView(std::int64_t pid);
// The frame users see, as swaymsg reports it: rect with deco_rect's title bar above.
Rect toolFrame(const QJsonObject& view);
// Runs sway commands through swaymsg; false when sway refused one.
bool swaymsg(const QString& commands);

// A foot terminal started for the test (running `cat`, so it stays until
// killed), with the window sway made for it; killed when the object goes.
class Foot {
 public:
  // Starts foot with extra arguments and waits up to 10 s for its window; none when it does not come.
  static std::unique_ptr<Foot> start(const QStringList& arguments = {});
  ~Foot();

  std::int32_t pid() const { return std::int32_t(process_.processId()); }
  std::int64_t conId() const { return conId_; }
  // Kills foot at once and waits until sway has dropped its window.
  void kill();

 private:
  Foot() = default;
  QProcess process_;
  std::int64_t conId_ = 0;
};

}  // namespace vistrel::e2e
