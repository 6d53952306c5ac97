#pragma once
// System-wide shortcuts through the org.freedesktop.portal.GlobalShortcuts
// portal (version 1, xdg-desktop-portal 1.16). Plasma 5.27's portal binds the
// shortcuts passed to CreateSession and nothing else (BindShortcuts only opens
// System Settings), so the registered set lives in one session: every change
// of the set (the settings window's rebinding included) closes the session
// and opens a new one with the whole set, once the change is complete (on
// the next turn of the event loop). Activated signals of the current session
// become hot-key presses, on the main thread.
//
// The portal answers later and reports no refused key: registrations succeed
// at once (kHotKeyNoErr) and a failed session is a log line. Plasma applies a
// preferred trigger only to an action it has not seen before and remembers
// the keys of those it has: a shortcut's id carries its trigger, so a rebound
// key is a new action. Main thread only.

#include <QDBusObjectPath>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "platform/HotKeys.h"

namespace vistrel::portal {

// The portal's trigger text of a Carbon key code and modifier mask, in the
// XDG shortcuts format Plasma reads: modifiers CTRL, ALT, SHIFT, LOGO (Super)
// in that order, then the key's xkb keysym name ("CTRL+ALT+Left",
// "LOGO+a"); none for a key that has no name here.
std::optional<QString> triggerText(std::uint32_t keyCode, std::uint32_t carbonModifiers);

class PortalGlobalShortcuts : public QObject, public platform::HotKeys {
  Q_OBJECT

 public:
  // Whether the session bus offers the portal's GlobalShortcuts interface.
  static bool available();

  PortalGlobalShortcuts();
  ~PortalGlobalShortcuts() override;

  bool canGrabGlobalKeys() const override { return true; }
  int registerHotKey(std::uint32_t keyCode, std::uint32_t carbonModifiers, platform::HotKeyID id,
                     platform::HotKeyRef* out) override;
  int unregisterHotKey(platform::HotKeyRef ref) override;
  int installEventHandler(std::function<void(platform::HotKeyID)> handler) override;

  // The portal session the shortcuts are bound in now; empty before the
  // portal has answered.
  QString session() const { return session_; }

 Q_SIGNALS:
  // The portal answered a CreateSession: `ok` when the shortcuts are bound.
  void sessionChanged(bool ok);

 private Q_SLOTS:
  void onResponse(uint response, const QVariantMap& results);
  void onActivated(const QDBusObjectPath& session, const QString& shortcutId, qulonglong timestamp,
                   const QVariantMap& options);

 private:
  struct Binding {
    platform::HotKeyID id;
    QString trigger;
    QString shortcutId;
  };
  void scheduleSession();
  void openSession();
  void closeSession();
  // Plasma 5.27 keeps an action's keys after its session has closed, and no
  // later session can take them: the actions of ours that the new set drops
  // are removed from kglobalaccel first (where it runs).
  void dropStaleShortcuts();

  std::map<platform::HotKeyRef, Binding> bindings_;
  platform::HotKeyRef nextRef_ = 1;
  std::uint64_t nextToken_ = 1;
  bool scheduled_ = false;
  QString session_;
  QString request_;  // the CreateSession request awaiting its Response
  std::function<void(platform::HotKeyID)> handler_;
};

}  // namespace vistrel::portal
