#pragma once
// Other programs' windows on the simulated desktop, answered the way an
// accessibility interface answers: elements, named attributes, error codes.
// Windows carry size rules (minimum and maximum size, resize increments,
// writes that land late or only partly), so the settle logic meets what real
// window managers do. Frames are in accessibility space (top-left origin, y down).

#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/Accessibility.h"
#include "platform/sim/SimWorkspace.h"
#include "platform/sim/VirtualClock.h"

namespace vistrel::sim {

// How a simulated window answers and what it lets a writer do.
struct SizeRules {
  Size minSize{0, 0};
  Size maxSize{std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity()};
  // A size lands on minSize plus whole increments, rounded down (a terminal's character cells).
  Size resizeIncrements{0, 0};
  // Virtual seconds before a position or size write takes effect; reads see the old frame until then.
  double writeDelay = 0;
  // A size write that applies only partly: each dimension moves at most this far per write.
  std::optional<Size> maxChangePerWrite;
  // Size writes report kAXErrorCannotComplete and change nothing.
  bool refusesSize = false;
  // The window manager keeps the window inside this area (accessibility space) where it fits.
  std::optional<Rect> confinedTo;
  // The window manager puts the window this far from the position asked for, as one that takes the
  // point for another reference point (the client's corner under a title bar of its own) does.
  Point positionOffset{0, 0};
  std::string role = "AXWindow";
  std::optional<std::string> subrole = "AXStandardWindow";
  bool minimized = false;
  bool fullScreen = false;
};

// One attribute write or action, as the window's program received it.
struct AXWriteRecord {
  platform::AXElement element;
  std::string attribute;                  // the attribute, or the action's name
  std::optional<platform::AXValue> value;  // none for actions
  platform::AXError result = platform::kAXErrorSuccess;
  double uptime = 0;
};

class SimAccessibility : public platform::Accessibility {
 public:
  SimAccessibility(VirtualClock& clock, SimWorkspace& workspace) : clock_(clock), workspace_(workspace) {}

  bool isProcessTrusted() const override { return trusted_; }
  bool isProcessTrustedWithOptions(bool prompt) override;
  bool canMoveForeignWindows() const override { return movesForeignWindows; }
  platform::AXElement applicationElement(std::int32_t pid) const override;
  platform::AXElement systemWideElement() const override { return {}; }
  platform::AXResult copyAttributeValue(const platform::AXElement& element, std::string_view attribute) override;
  platform::AXError setAttributeValue(const platform::AXElement& element, std::string_view attribute,
                                      const platform::AXValue& value) override;
  platform::AXError performAction(const platform::AXElement& element, std::string_view action) override;
  std::optional<std::int32_t> pid(const platform::AXElement& element) const override;
  platform::AXError setMessagingTimeout(const platform::AXElement& element, double seconds) override;

  // Test controls.
  // A desktop that lets no program move others' windows.
  bool movesForeignWindows = true;
  // Untrusted: every read and write fails with kAXErrorAPIDisabled.
  void setTrusted(bool trusted) { trusted_ = trusted; }
  // What the one system prompt does to trust when shown.
  bool promptGrants = false;
  int promptCount = 0;

  platform::AXElement addWindow(std::int32_t pid, std::string title, Rect frame, SizeRules rules = {});
  // A ui element inside `parent` (a window or another ui element), e.g. a sheet, then a text field in it.
  platform::AXElement addElement(const platform::AXElement& parent, std::string role);
  // The window vanishes: reads of it and of its elements fail with kAXErrorInvalidUIElement.
  void closeWindow(const platform::AXElement& window);
  // The program quits: all its windows vanish.
  void closeAllWindows(std::int32_t pid);
  void setFocusedWindow(const platform::AXElement& window);
  void setMainWindow(const platform::AXElement& window);
  void setFocusedUIElement(const platform::AXElement& element);
  // Clears the application's focused element, focused window and main window.
  void clearFocus(std::int32_t pid);
  // The role the application element reports ("AXApplication" unless set).
  void setApplicationRole(std::int32_t pid, std::string role);
  // Whether the application's AXChildren also lists its windows (as some toolkits do).
  void setWindowsInChildren(std::int32_t pid, bool listed);
  // The application the system-wide element reports focused; until set, the frontmost one.
  void setSystemFocus(std::optional<std::int32_t> pid) { systemFocus_ = pid; systemFocusSet_ = true; }
  void setFrame(const platform::AXElement& window, Rect frame);
  void setTitle(const platform::AXElement& window, std::string title);

  // The window's frame as it now is; none for a closed or unknown window.
  std::optional<Rect> frame(const platform::AXElement& window) const;
  // Writes and actions in the order they arrived (also refused ones).
  std::vector<AXWriteRecord> writes;
  // Called with each write or action before it is applied, e.g. to close the window at that moment.
  std::function<void(const AXWriteRecord&)> beforeWrite;
  // The last messaging timeout set per process, and how many times one was set.
  std::map<std::int32_t, double> messagingTimeouts;
  int messagingTimeoutCalls = 0;
  // Application attributes written as true ("AXManualAccessibility", "AXEnhancedUserInterface").
  std::map<std::int32_t, std::set<std::string>> applicationFlags;

 private:
  struct Window {
    std::int32_t pid = 0;
    std::string title;
    Rect frame;
    SizeRules rules;
    bool closed = false;
  };
  struct Element {
    std::int32_t pid = 0;
    std::string role;
    platform::AXElement parent;
  };
  struct App {
    std::optional<platform::AXElement> focusedUIElement;
    std::optional<platform::AXElement> focusedWindow;
    std::optional<platform::AXElement> mainWindow;
    std::string role = "AXApplication";
    bool windowsInChildren = false;
  };

  bool exists(const platform::AXElement& element) const;
  bool appExists(std::int32_t pid) const;
  const Window* window(const platform::AXElement& element) const;
  Window* window(const platform::AXElement& element);
  std::vector<platform::AXElement> windowsOf(std::int32_t pid) const;
  std::vector<platform::AXElement> childrenOf(const platform::AXElement& parent) const;
  platform::AXResult readApplication(std::int32_t pid, std::string_view attribute) const;
  platform::AXResult readWindow(const platform::AXElement& element, std::string_view attribute) const;
  platform::AXResult readElement(const platform::AXElement& element, std::string_view attribute) const;
  platform::AXResult present(const std::optional<platform::AXElement>& element) const;
  platform::AXError writeWindow(const platform::AXElement& element, std::string_view attribute,
                                const platform::AXValue& value);
  void applySize(Window& w, Size requested);
  static void confine(Window& w);
  void record(const platform::AXElement& element, std::string_view name, std::optional<platform::AXValue> value);

  VirtualClock& clock_;
  SimWorkspace& workspace_;
  bool trusted_ = true;
  std::uint64_t nextID_ = 1;
  std::map<std::uint64_t, Window> windows_;
  std::map<std::uint64_t, Element> elements_;
  std::map<std::int32_t, App> apps_;
  std::optional<std::int32_t> systemFocus_;
  bool systemFocusSet_ = false;
};

}  // namespace vistrel::sim
