#pragma once
// Our own connection to the Wayland compositor (WAYLAND_DISPLAY), beside the
// one Qt keeps for our windows: it binds the globals the backend uses and
// keeps the outputs with their names, modes, scales and logical geometry
// (xdg-output). Events are read only while a caller waits in sync() or
// dispatchUntil(), each bounded by a deadline; nothing here blocks without
// one. Main thread only; the objects it hands out live as long as it does
// (an output that goes away is dropped at the next sync()).

#include <QSocketNotifier>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/Rect.h"
#include "platform/wayland/Deadline.h"

struct wl_display;
struct wl_registry;
struct wl_shm;
struct wl_output;
struct zxdg_output_manager_v1;
struct zxdg_output_v1;
struct zwlr_screencopy_manager_v1;
struct zwlr_virtual_pointer_manager_v1;
struct zwlr_data_control_manager_v1;
struct org_kde_kwin_fake_input;
struct wl_seat;

namespace vistrel::wayland {

struct Output {
  std::uint32_t globalName = 0;  // the registry's name: stable while the output exists
  wl_output* output = nullptr;
  zxdg_output_v1* xdgOutput = nullptr;
  std::string name;           // "HEADLESS-1", "DP-1"...
  std::int32_t scale = 1;     // wl_output's integer scale
  std::int32_t transform = 0; // wl_output.transform
  Size mode;                  // the current mode in device pixels
  Point position;             // wl_output.geometry's position
  std::optional<Rect> logical;  // xdg-output's logical position and size

  // The area in layout space: xdg-output's, else the mode divided by the scale.
  Rect layoutRect() const;
  // Device pixels per logical pixel (fractional where the compositor scales so).
  double pixelScale() const;
};

// How long the program waits for the compositor's first answers. KWin answers
// a program it grants fake input only after reading its executable: over a
// second for a large build with debugging information.
inline constexpr double kConnectSeconds = 5.0;

class WaylandConnection {
 public:
  // Connects to the session's compositor and reads its globals and outputs;
  // none when there is no compositor or it does not answer by the deadline.
  static std::unique_ptr<WaylandConnection> connect(Deadline deadline);
  ~WaylandConnection();
  WaylandConnection(const WaylandConnection&) = delete;
  WaylandConnection& operator=(const WaylandConnection&) = delete;

  wl_display* display() const { return display_; }
  wl_shm* shm() const { return shm_; }
  zwlr_screencopy_manager_v1* screencopy() const { return screencopy_; }
  std::uint32_t screencopyVersion() const { return screencopyVersion_; }
  zwlr_virtual_pointer_manager_v1* virtualPointer() const { return virtualPointer_; }
  zwlr_data_control_manager_v1* dataControl() const { return dataControl_; }
  // KWin's fake input at version 3 or later (absolute motion); KWin offers it
  // only to programs an installed desktop file names for it.
  org_kde_kwin_fake_input* fakeInput() const { return fakeInput_; }
  // The first seat the compositor announced; none on a compositor without input.
  wl_seat* seat() const { return seat_; }

  // The outputs with complete descriptions, in the order the compositor announced them.
  std::vector<const Output*> outputs() const;
  // Their areas in layout pixels, in the same order.
  std::vector<Rect> outputAreas() const;
  const Output* output(std::uint32_t globalName) const;

  // Sends what is queued and waits until the compositor has handled it and
  // every event it sent before has been dispatched. False when the deadline
  // passes first or the connection has failed.
  bool sync(Deadline deadline);
  // Dispatches events until `done` holds; false on the deadline or a failed connection.
  bool dispatchUntil(const std::function<bool()>& done, Deadline deadline);
  // A protocol or socket error ended the connection.
  bool failed() const;
  // From now on events are also dispatched from Qt's event loop as they
  // arrive, for objects that must answer other programs at any time (the
  // clipboard's source). Main thread, with a running QCoreApplication.
  void dispatchInEventLoop();

 private:
  WaylandConnection() = default;
  bool dispatchOnce(Deadline deadline);
  void addOutput(std::uint32_t name, std::uint32_t version);
  void describeOutputs();

  static void onGlobal(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
                       std::uint32_t version);
  static void onGlobalRemove(void* data, wl_registry* registry, std::uint32_t name);

  wl_display* display_ = nullptr;
  wl_registry* registry_ = nullptr;
  wl_shm* shm_ = nullptr;
  zxdg_output_manager_v1* xdgOutputManager_ = nullptr;
  zwlr_screencopy_manager_v1* screencopy_ = nullptr;
  std::uint32_t screencopyVersion_ = 0;
  zwlr_virtual_pointer_manager_v1* virtualPointer_ = nullptr;
  zwlr_data_control_manager_v1* dataControl_ = nullptr;
  org_kde_kwin_fake_input* fakeInput_ = nullptr;
  wl_seat* seat_ = nullptr;
  std::vector<std::unique_ptr<Output>> outputs_;
  std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace vistrel::wayland
