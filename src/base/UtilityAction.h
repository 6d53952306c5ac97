#pragma once
// Everything a user can trigger. Persisted and logged by its storage id only.

#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/WindowSnap.h"

namespace vistrel {

enum class CaptureMode { screen, window, area, scrolling, recognizeTextOrQR };
enum class RecordMode { screen, area, stop, areaGif };

namespace CaptureModes {
const std::array<CaptureMode, 5>& allCases();
std::string_view rawValue(CaptureMode mode);
std::optional<CaptureMode> fromRaw(std::string_view raw);  // exact, case-sensitive
}  // namespace CaptureModes

namespace RecordModes {
const std::array<RecordMode, 4>& allCases();
std::string_view rawValue(RecordMode mode);
std::optional<RecordMode> fromRaw(std::string_view raw);  // exact, case-sensitive
}  // namespace RecordModes

// The groups of actions whose shortcuts a user may change, in this order.
enum class ActionGroup { layout, capture, record };

class UtilityAction {
 public:
  enum class Kind { window, capture, record, openSettings, quit };

  static UtilityAction window(WindowSnap snap) { return {Kind::window, int(snap)}; }
  static UtilityAction capture(CaptureMode mode) { return {Kind::capture, int(mode)}; }
  static UtilityAction record(RecordMode mode) { return {Kind::record, int(mode)}; }
  static UtilityAction openSettings() { return {Kind::openSettings, 0}; }
  static UtilityAction quit() { return {Kind::quit, 0}; }

  Kind kind() const { return kind_; }
  std::optional<WindowSnap> snap() const;
  std::optional<CaptureMode> captureMode() const;
  std::optional<RecordMode> recordMode() const;

  std::string storageID() const;
  std::string settingsTitle() const;
  // The menu symbol: the primary name first, then the fallbacks in order; empty for none.
  std::vector<std::string_view> symbolNames() const;
  std::optional<ActionGroup> group() const;

  static std::optional<UtilityAction> fromStorageID(std::string_view id);
  // All 34 actions: the snaps in their order, the captures, the recordings, settings, quit.
  static const std::vector<UtilityAction>& allActions();

  friend bool operator==(const UtilityAction&, const UtilityAction&) = default;
  std::size_t hash() const { return std::size_t(kind_) * 64 + std::size_t(payload_); }

 private:
  UtilityAction(Kind kind, int payload) : kind_(kind), payload_(payload) {}
  Kind kind_;
  int payload_;
};

namespace ActionGroups {
const std::array<ActionGroup, 3>& allCases();
std::string_view title(ActionGroup group);  // "Layout", "Capture", "Record"
std::vector<UtilityAction> actions(ActionGroup group);
// The concatenation of the three groups: the 30 actions with changeable shortcuts.
std::vector<UtilityAction> customizableActions();
}  // namespace ActionGroups

}  // namespace vistrel

template <>
struct std::hash<vistrel::UtilityAction> {
  std::size_t operator()(const vistrel::UtilityAction& a) const noexcept { return a.hash(); }
};
