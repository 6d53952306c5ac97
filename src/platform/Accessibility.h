#pragma once
// Access to other programs' windows, in the shape of an accessibility API:
// elements, named attributes, actions, error codes. The product logic asks
// for "AXFocusedWindow", "AXPosition", "AXSize"... and the backend answers
// from what the desktop really has. Frames are in accessibility space: origin
// at the top-left of the primary display, y down.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "base/Rect.h"

namespace vistrel::platform {

// Error codes, with the numbering the product's log lines use.
using AXError = int;
inline constexpr AXError kAXErrorSuccess = 0;
inline constexpr AXError kAXErrorFailure = -25200;
inline constexpr AXError kAXErrorIllegalArgument = -25201;
inline constexpr AXError kAXErrorInvalidUIElement = -25202;  // the element has vanished (window closed, program gone)
inline constexpr AXError kAXErrorCannotComplete = -25204;    // the program or server did not answer in time
inline constexpr AXError kAXErrorAttributeUnsupported = -25205;
inline constexpr AXError kAXErrorActionUnsupported = -25206;
inline constexpr AXError kAXErrorAPIDisabled = -25211;  // this process is not trusted
inline constexpr AXError kAXErrorNoValue = -25212;

// An element is a plain value naming something on the desktop; it may name
// something that no longer exists, which reads as kAXErrorInvalidUIElement.
struct AXElement {
  enum class Kind { systemWide, application, window, uiElement };
  Kind kind = Kind::systemWide;
  std::int32_t pid = 0;   // owning process (application, window, uiElement)
  std::uint64_t id = 0;   // window id (window) or backend element id (uiElement)
  friend bool operator==(const AXElement&, const AXElement&) = default;
};

// Attribute values. Point and Size are the decoded forms of position and size values.
using AXValue = std::variant<AXElement, std::vector<AXElement>, std::string, bool, Point, Size>;

struct AXResult {
  AXError error = kAXErrorSuccess;
  std::optional<AXValue> value;  // present exactly when error is success
};

inline AXResult axFailure(AXError error) { return {error, std::nullopt}; }
inline AXResult axSuccess(AXValue value) { return {kAXErrorSuccess, std::move(value)}; }

// Attribute, action and role names the product uses.
namespace ax {
inline constexpr std::string_view focusedApplication = "AXFocusedApplication";
inline constexpr std::string_view focusedUIElement = "AXFocusedUIElement";
inline constexpr std::string_view focusedWindow = "AXFocusedWindow";
inline constexpr std::string_view mainWindow = "AXMainWindow";
inline constexpr std::string_view windows = "AXWindows";
inline constexpr std::string_view children = "AXChildren";
inline constexpr std::string_view role = "AXRole";
inline constexpr std::string_view subrole = "AXSubrole";
inline constexpr std::string_view title = "AXTitle";
inline constexpr std::string_view position = "AXPosition";
inline constexpr std::string_view size = "AXSize";
inline constexpr std::string_view minimized = "AXMinimized";
inline constexpr std::string_view fullScreen = "AXFullScreen";
inline constexpr std::string_view parent = "AXParent";
inline constexpr std::string_view manualAccessibility = "AXManualAccessibility";
inline constexpr std::string_view enhancedUserInterface = "AXEnhancedUserInterface";
inline constexpr std::string_view raise = "AXRaise";

inline constexpr std::string_view roleWindow = "AXWindow";
inline constexpr std::string_view roleApplication = "AXApplication";
inline constexpr std::string_view subroleStandardWindow = "AXStandardWindow";
inline constexpr std::string_view subroleDialog = "AXDialog";
inline constexpr std::string_view subroleFloatingWindow = "AXFloatingWindow";
inline constexpr std::string_view subroleSystemDialog = "AXSystemDialog";
inline constexpr std::string_view subroleUnknown = "AXUnknown";
}  // namespace ax

class Accessibility {
 public:
  virtual ~Accessibility() = default;

  // Whether this process may use the interface at all.
  virtual bool isProcessTrusted() const = 0;
  // The same, and when `prompt` is set and the process is not trusted, asks the
  // system to show its one permission prompt.
  virtual bool isProcessTrustedWithOptions(bool prompt) = 0;
  // Whether this desktop lets any program move and resize other programs'
  // windows at all, trusted or not.
  virtual bool canMoveForeignWindows() const = 0;

  // Elements name programs by pid; a backend with its own naming overrides these.
  virtual AXElement applicationElement(std::int32_t pid) const { return {AXElement::Kind::application, pid, 0}; }
  virtual AXElement systemWideElement() const { return {AXElement::Kind::systemWide, 0, 0}; }

  virtual AXResult copyAttributeValue(const AXElement& element, std::string_view attribute) = 0;
  // Writes are requests: a window manager may apply them later, partly or not at all.
  virtual AXError setAttributeValue(const AXElement& element, std::string_view attribute, const AXValue& value) = 0;
  virtual AXError performAction(const AXElement& element, std::string_view action) = 0;
  virtual std::optional<std::int32_t> pid(const AXElement& element) const {
    if (element.kind == AXElement::Kind::systemWide || element.pid == 0) return std::nullopt;
    return element.pid;
  }
  // Bounds how long a call about `element`'s program may block.
  virtual AXError setMessagingTimeout(const AXElement& element, double seconds) = 0;
};

}  // namespace vistrel::platform
