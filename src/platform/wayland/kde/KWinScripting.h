#pragma once
// Runs small JavaScript programs inside KWin (5.27) through its scripting
// interface on the session bus: org.kde.KWin /Scripting loadScript(file,
// name) gives an id, org.kde.kwin.Script.run on /<id> starts the script
// (later KWin versions put it at /Scripting/Script<id>), and the script
// answers by calling back into this process (callDBus) with a JSON text.
//
// KWin evaluates a script on its own main thread after run() has returned,
// so answers are awaited with a deadline. What a script writes (a window's
// frameGeometry) KWin applies after the script: a value read back in the same
// run is the old one, so writes are confirmed by the reads of a later run.
//
// Answers arrive on a thread of this object's own, over a bus connection of
// its own, so the main thread waits for one without running its event loop.
// Every run reports the whole desktop as the script saw it before acting.
// Main thread only.

#include <QByteArray>
#include <QDBusConnection>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/Rect.h"
#include "platform/wayland/Deadline.h"

class QThread;

namespace vistrel::wayland::kde {

// A managed window, as a KWin script sees it.
struct KWinWindow {
  std::string uuid;     // KWin's internalId, "{...}"
  std::int32_t pid = 0;
  std::string caption;
  std::string resourceClass;
  // "normal", "dialog", "utility", "splash", or "other" (docks, panels, the
  // desktop, notifications, menus: never offered to the user).
  std::string type;
  Rect frame;           // frameGeometry, layout space (logical pixels, y down)
  bool active = false;
  bool minimized = false;
  bool fullScreen = false;
  bool onCurrentDesktop = true;
  friend bool operator==(const KWinWindow&, const KWinWindow&) = default;
};

struct KWinDesktop {
  // The active window first, then the others, the most recently opened
  // first: KWin 5.27 scripts see no stacking order.
  std::vector<KWinWindow> windows;
  std::vector<Rect> outputs;  // each screen's area in layout space
  // The same screens less what panels reserve (KWin's maximize areas); empty when not reported.
  std::vector<Rect> workAreas;
  std::optional<Point> cursor;  // the pointer, layout space

  const KWinWindow* find(const std::string& uuid) const;
  const KWinWindow* active() const;
};

// The report of one run, as the script sends it. Outside data: anything that
// is not the expected JSON shape decodes to none.
struct KWinReport {
  KWinDesktop desktop;
  std::string error;  // what the script's action refused ("gone" for a vanished window), empty on success
};
std::optional<KWinReport> parseKWinReport(const QByteArray& json);

enum class ScriptFault { none, unavailable, timedOut, refused };

struct ScriptResult {
  std::optional<KWinReport> report;  // present exactly when fault is none
  ScriptFault fault = ScriptFault::none;
  std::string error;                 // for the log
};

class ScriptReceiver;

class KWinScripting {
 public:
  // Opens a bus connection of its own to the session bus.
  KWinScripting();
  ~KWinScripting();
  KWinScripting(const KWinScripting&) = delete;
  KWinScripting& operator=(const KWinScripting&) = delete;

  // Whether KWin runs on this session bus (org.kde.KWin has an owner).
  static bool kwinRunning();

  // Runs `action` (JavaScript statements; `win` is the window named by
  // `uuid`, or null), then reports the desktop. An action sets `error` to refuse.
  ScriptResult run(const std::string& action, const std::string& uuid, Deadline deadline);
  ScriptResult desktop(Deadline deadline) { return run({}, {}, deadline); }

  // Small stable numbers for KWin's window uuids (window ids of the platform
  // interfaces), for the run of this object; 0 is never given.
  std::uint32_t number(const std::string& uuid);
  std::optional<std::string> uuid(std::uint64_t number) const;

 private:
  QDBusConnection bus_;
  std::unique_ptr<QThread> thread_;
  ScriptReceiver* receiver_ = nullptr;  // lives in thread_, deleted there
  std::uint64_t nextToken_ = 1;
  std::map<std::string, std::uint32_t> numbers_;
  std::map<std::uint32_t, std::string> uuids_;
};

}  // namespace vistrel::wayland::kde
