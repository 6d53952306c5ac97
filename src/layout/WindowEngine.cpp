#include "layout/WindowEngine.h"

#include <cmath>
#include <cstdint>
#include <limits>

#include "base/LayoutLog.h"
#include "base/MessageBoxAlertPresenter.h"
#include "base/RectText.h"
#include "layout/AccessibilityWindow.h"
#include "layout/WindowSnapGeometry.h"
#include "layout/WindowTargetStore.h"
#include "platform/Desktop.h"
#include "platform/Platform.h"

namespace vistrel {

namespace {

std::shared_ptr<WindowEngine>& instance() {
  static std::shared_ptr<WindowEngine> engine;
  return engine;
}

const char* boolText(bool b) { return b ? "true" : "false"; }

bool trusted() { return platform::accessibility().isProcessTrusted(); }

}  // namespace

WindowEngine& WindowEngine::shared() {
  auto& engine = instance();
  if (!engine) engine = std::make_shared<WindowEngine>();
  return *engine;
}

void WindowEngine::resetForTesting() { instance().reset(); }

void WindowEngine::setPermissionFlow(std::shared_ptr<AccessibilityPermissionFlow> flow) {
  flow_ = std::move(flow);
  if (flow_) flow_->setTrustArrivedHandler([] { WindowEngine::shared().consumePendingSnap(); });
}

bool WindowEngine::framesMatch(const Rect& a, const Rect& b) {
  return std::abs(a.minX() - b.minX()) < 1 && std::abs(a.minY() - b.minY()) < 1 &&
         std::abs(a.width() - b.width()) < 1 && std::abs(a.height() - b.height()) < 1;
}

void WindowEngine::showAlert(const std::string& title, const std::string& text) {
  if (suppressAlerts) {
    LayoutLog::write("alert " + title);
    return;
  }
  if (!presenter_) presenter_ = std::make_shared<MessageBoxAlertPresenter>();
  presenter_->runModal({title, text});
}

void WindowEngine::perform(WindowSnap snap, bool allowRetry) {
  namespace AW = AccessibilityWindow;
  auto& workspace = platform::workspace();
  const std::string raw(WindowSnaps::rawValue(snap));
  const auto front = workspace.frontmostApplication();
  const auto menu = workspace.menuBarOwningApplication();
  LayoutLog::write("perform " + raw + " front=" + (front ? front->localizedName : "?") +
                   " menu=" + (menu ? menu->localizedName : "?") + " retry=" + boolText(allowRetry));
  // Nothing the user could grant makes a difference here.
  if (!platform::accessibility().canMoveForeignWindows()) {
    LayoutLog::write("snap-unsupported preset=" + raw + " reason=desktop-refuses-window-control");
    if (!unsupportedExplained_) {
      unsupportedExplained_ = true;
      showAlert("Vistrel can\u2019t arrange windows on this desktop",
                "This desktop does not let programs move or resize the windows of other programs, so the layout "
                "actions do nothing here. Capturing and recording the screen still work.");
    }
    return;
  }

  const auto window = AW::targetWindow();
  if (!window) {
    if (AW::state().accessDenied) {
      LayoutLog::write(std::string("accessibility-api-disabled trusted=") + boolText(trusted()) +
                       " bundle=" + platform::current().bundle().bundlePath());
      if (flow_) flow_->splitShortcutBlockedFeedback("snap-" + raw);
      requestAccessibility(snap);
    } else if (allowRetry) {
      const auto& store = WindowTargetStore::shared();
      const bool nothingKnown =
          !store.pinnedPID && !store.userFacingApplication() && !store.rememberedPID;
      std::weak_ptr<WindowEngine> weak = weak_from_this();
      platform::current().clock().after(nothingKnown ? 0.35 : 0.08, [weak, snap] {
        if (auto engine = weak.lock()) engine->perform(snap, false);
      });
    } else {
      showAlert("No window to resize",
                "Click the app you want, then use Vistrel again \u2014 or use a keyboard shortcut without opening "
                "the menu.");
    }
    return;
  }

  const auto axFrame = AW::rawFrame(*window);
  if (!axFrame) {
    showAlert("Could not read window", "That window may not allow resizing. Try a normal app window.");
    return;
  }
  const Rect current = AW::toAppKit(*axFrame);
  auto screen = AW::screenContaining(current);
  if (!screen) screen = platform::screens().mainScreen();
  const Rect visible = screen ? screen->visibleFrame : Rect();
  const std::string identity = AW::identity(*window);

  std::optional<Rect> target;
  switch (snap) {
    case WindowSnap::previousDisplay: target = AW::frameMovingDisplaysBy(current, -1); break;
    case WindowSnap::nextDisplay: target = AW::frameMovingDisplaysBy(current, +1); break;
    case WindowSnap::restore: {
      const auto found = restoreFrames.find(identity);
      if (found == restoreFrames.end()) {
        showAlert("Nothing to restore", "Snap or resize a window first, then choose Restore.");
        return;
      }
      target = found->second;
      break;
    }
    default: target = WindowSnapGeometry::rect(snap, current, visible); break;
  }

  if (!target) {
    LayoutLog::write("no-target current=" + RectText::description(current));
    return;
  }
  LayoutLog::write("current=" + RectText::description(current) + " target=" + RectText::description(*target));
  if (framesMatch(current, *target)) {
    LayoutLog::write("already-there");
    return;
  }

  std::optional<Rect> previous;
  if (const auto found = restoreFrames.find(identity); found != restoreFrames.end()) previous = found->second;
  restoreFrames[identity] = current;
  ++AW::state().settleID;
  if (!AW::setFrame(*target, *window, raw)) {
    if (previous) {
      restoreFrames[identity] = *previous;
    } else {
      restoreFrames.erase(identity);
    }
    showAlert("Resize failed", "Enable Accessibility for Vistrel, then try again.");
  }
}

void WindowEngine::requestAccessibility(WindowSnap snap) {
  auto& defaults = platform::current().defaults();
  defaults.setString(kPendingSnapKey, std::string(WindowSnaps::rawValue(snap)));
  const auto& store = WindowTargetStore::shared();
  const std::optional<std::int32_t> pid = store.targetProcess();
  if (pid) defaults.setInteger(kPendingPIDKey, *pid);

  if (!flow_) return;
  // Trusted by the system's own account although reads were refused: the grant
  // applies to a new process only, so watch for it and relaunch.
  if (flow_->requestSystemPromptIfNeeded()) {
    if (!watchingGrant) {
      watchingGrant = true;
      pollGrant(0);
    }
    return;
  }
  flow_->startTrustWatcherIfNeeded();
  spawn(checkTrustAfterPrompt(weak_from_this(), flow_, snap));
}

Task<> WindowEngine::checkTrustAfterPrompt(std::weak_ptr<WindowEngine> engine,
                                           std::shared_ptr<AccessibilityPermissionFlow> flow, WindowSnap snap) {
  co_await flow->waitForTrust(2);
  auto self = engine.lock();
  if (!self) co_return;
  if (trusted()) {
    flow->markWorking();
    LayoutLog::write("accessibility-trust-delayed-ok");
    // The snap is the pending one: performed here, it is consumed here. When
    // the trust watcher saw the grant first it has consumed it already.
    auto& defaults = platform::current().defaults();
    if (defaults.string(kPendingSnapKey) != WindowSnaps::rawValue(snap)) co_return;
    defaults.remove(kPendingSnapKey);
    defaults.remove(kPendingPIDKey);
    self->perform(snap, false);
  } else {
    flow->startTrustWatcherIfNeeded();
    flow->splitShortcutBlockedFeedback("hotkey");
  }
}

void WindowEngine::pollGrant(int attempt) {
  if (!watchingGrant || attempt > 19) {
    watchingGrant = false;
    return;
  }
  std::weak_ptr<WindowEngine> weak = weak_from_this();
  platform::current().clock().after(1.0, [weak, attempt] {
    auto engine = weak.lock();
    if (!engine) return;
    if (trusted()) {
      engine->watchingGrant = false;
      LayoutLog::write("accessibility-granted-relaunch");
      if (engine->flow_) engine->flow_->performRelaunch("user");
    } else {
      engine->pollGrant(attempt + 1);
    }
  });
}

void WindowEngine::consumePendingSnap() {
  auto& defaults = platform::current().defaults();
  const auto raw = defaults.string(kPendingSnapKey);
  const auto snap = raw ? WindowSnaps::fromRaw(*raw) : std::nullopt;
  if (!snap) return;

  std::int64_t pid = defaults.integer(kPendingPIDKey).value_or(0);
  // A value no process id can have counts as absent.
  if (pid < std::numeric_limits<std::int32_t>::min() || pid > std::numeric_limits<std::int32_t>::max()) pid = 0;
  defaults.remove(kPendingSnapKey);
  defaults.remove(kPendingPIDKey);
  if (pid > 0 && pid != platform::workspace().currentProcessID())
    WindowTargetStore::shared().rememberedPID = static_cast<std::int32_t>(pid);

  std::weak_ptr<WindowEngine> weak = weak_from_this();
  const WindowSnap pending = *snap;
  platform::current().clock().after(0.4, [weak, pending] {
    if (auto engine = weak.lock()) engine->perform(pending, true);
  });
}

}  // namespace vistrel
