#pragma once
// A pointer of Mutter's remote-desktop input, for GNOME, which offers clients
// neither virtual pointers nor fake input. The session takes absolute
// positions on a screen cast of the primary monitor linked to it; both end
// with this object. A headless GNOME has no other pointer: the seat offers one
// to clients only while a session runs.

#include <QDBusConnection>
#include <QString>
#include <QVariant>

#include "TestPointer.h"

namespace vistrel::wlprobe {

class MutterPointer : public TestPointer {
 public:
  MutterPointer();
  ~MutterPointer() override;
  static bool offered();

  // The first failure, empty while all went well.
  const QString& failure() const { return failure_; }

  bool moveTo(double x, double y) override;
  bool button(std::uint32_t code, bool pressed) override;
  bool wheel(int clicks) override;

 private:
  QVariant call(const QString& service, const QString& path, const QString& interface, const QString& method,
                const QVariantList& arguments);

  QDBusConnection bus_;
  QString session_, stream_, failure_;
};

}  // namespace vistrel::wlprobe
