#include "base/UtilityAction.h"

namespace vistrel {

namespace {

struct ModeEntry {
  std::string_view raw;
  std::string_view title;
  std::vector<std::string_view> symbols;
};

const std::array<ModeEntry, 5>& captureEntries() {
  static const std::array<ModeEntry, 5> e{{
      {"screen", "Capture Screen", {"camera.viewfinder"}},
      {"window", "Capture Window", {"macwindow.on.rectangle"}},
      {"area", "Capture Area", {"viewfinder.rectangular"}},
      {"scrolling", "Scrolling Capture", {"scroll"}},
      {"recognizeTextOrQR", "Recognize Text/QR", {"text.viewfinder"}},
  }};
  return e;
}

const std::array<ModeEntry, 4>& recordEntries() {
  static const std::array<ModeEntry, 4> e{{
      {"screen", "Record Screen", {"record.circle"}},
      {"area", "Record Area", {"viewfinder", "viewfinder.rectangular", "rectangle.dashed", "record.circle"}},
      {"stop", "Stop Recording", {"stop.circle.fill", "stop.fill"}},
      {"areaGif", "Record Area as GIF", {"viewfinder", "viewfinder.rectangular", "rectangle.dashed", "record.circle"}},
  }};
  return e;
}

template <typename Enum, std::size_t N>
std::optional<Enum> findRaw(const std::array<ModeEntry, N>& entries, std::string_view raw) {
  for (std::size_t i = 0; i < N; ++i)
    if (entries[i].raw == raw) return static_cast<Enum>(i);
  return std::nullopt;
}

}  // namespace

const std::array<CaptureMode, 5>& CaptureModes::allCases() {
  static const std::array<CaptureMode, 5> c{CaptureMode::screen, CaptureMode::window, CaptureMode::area,
                                            CaptureMode::scrolling, CaptureMode::recognizeTextOrQR};
  return c;
}
std::string_view CaptureModes::rawValue(CaptureMode mode) { return captureEntries()[std::size_t(mode)].raw; }
std::optional<CaptureMode> CaptureModes::fromRaw(std::string_view raw) {
  return findRaw<CaptureMode>(captureEntries(), raw);
}

const std::array<RecordMode, 4>& RecordModes::allCases() {
  static const std::array<RecordMode, 4> c{RecordMode::screen, RecordMode::area, RecordMode::stop,
                                           RecordMode::areaGif};
  return c;
}
std::string_view RecordModes::rawValue(RecordMode mode) { return recordEntries()[std::size_t(mode)].raw; }
std::optional<RecordMode> RecordModes::fromRaw(std::string_view raw) {
  return findRaw<RecordMode>(recordEntries(), raw);
}

std::optional<WindowSnap> UtilityAction::snap() const {
  if (kind_ != Kind::window) return std::nullopt;
  return static_cast<WindowSnap>(payload_);
}
std::optional<CaptureMode> UtilityAction::captureMode() const {
  if (kind_ != Kind::capture) return std::nullopt;
  return static_cast<CaptureMode>(payload_);
}
std::optional<RecordMode> UtilityAction::recordMode() const {
  if (kind_ != Kind::record) return std::nullopt;
  return static_cast<RecordMode>(payload_);
}

std::string UtilityAction::storageID() const {
  switch (kind_) {
    case Kind::window: return "window." + std::string(WindowSnaps::rawValue(*snap()));
    case Kind::capture: return "capture." + std::string(CaptureModes::rawValue(*captureMode()));
    case Kind::record: return "record." + std::string(RecordModes::rawValue(*recordMode()));
    case Kind::openSettings: return "settings";
    case Kind::quit: return "quit";
  }
  return {};
}

std::string UtilityAction::settingsTitle() const {
  switch (kind_) {
    case Kind::window: return std::string(WindowSnaps::title(*snap()));
    case Kind::capture: return std::string(captureEntries()[std::size_t(payload_)].title);
    case Kind::record: return std::string(recordEntries()[std::size_t(payload_)].title);
    case Kind::openSettings: return "Settings\u2026";
    case Kind::quit: return "Quit";
  }
  return {};
}

std::vector<std::string_view> UtilityAction::symbolNames() const {
  switch (kind_) {
    case Kind::window: return {WindowSnaps::symbolName(*snap())};
    case Kind::capture: return captureEntries()[std::size_t(payload_)].symbols;
    case Kind::record: return recordEntries()[std::size_t(payload_)].symbols;
    case Kind::openSettings:
    case Kind::quit: return {};
  }
  return {};
}

std::optional<ActionGroup> UtilityAction::group() const {
  switch (kind_) {
    case Kind::window: return ActionGroup::layout;
    case Kind::capture: return ActionGroup::capture;
    case Kind::record:
      // The GIF recording came after the shortcut groups were laid out: it has none.
      if (*recordMode() == RecordMode::stop || *recordMode() == RecordMode::areaGif) return std::nullopt;
      return ActionGroup::record;
    case Kind::openSettings:
    case Kind::quit: return std::nullopt;
  }
  return std::nullopt;
}

const std::vector<UtilityAction>& UtilityAction::allActions() {
  static const std::vector<UtilityAction> all = [] {
    std::vector<UtilityAction> a;
    for (WindowSnap s : WindowSnaps::allCases()) a.push_back(window(s));
    for (CaptureMode m : CaptureModes::allCases()) a.push_back(capture(m));
    for (RecordMode m : RecordModes::allCases()) a.push_back(record(m));
    a.push_back(openSettings());
    a.push_back(quit());
    return a;
  }();
  return all;
}

std::optional<UtilityAction> UtilityAction::fromStorageID(std::string_view id) {
  for (const UtilityAction& a : allActions())
    if (a.storageID() == id) return a;
  return std::nullopt;
}

const std::array<ActionGroup, 3>& ActionGroups::allCases() {
  static const std::array<ActionGroup, 3> c{ActionGroup::layout, ActionGroup::capture, ActionGroup::record};
  return c;
}

std::string_view ActionGroups::title(ActionGroup group) {
  switch (group) {
    case ActionGroup::layout: return "Layout";
    case ActionGroup::capture: return "Capture";
    case ActionGroup::record: return "Record";
  }
  return {};
}

std::vector<UtilityAction> ActionGroups::actions(ActionGroup group) {
  std::vector<UtilityAction> result;
  for (const UtilityAction& a : UtilityAction::allActions())
    if (a.group() == group) result.push_back(a);
  return result;
}

std::vector<UtilityAction> ActionGroups::customizableActions() {
  std::vector<UtilityAction> result;
  for (ActionGroup g : allCases())
    for (const UtilityAction& a : actions(g)) result.push_back(a);
  return result;
}

}  // namespace vistrel
