#pragma once
// A screen-cast source that needs no chooser, for unattended tests: GNOME's
// own org.gnome.Mutter.ScreenCast (the service the ScreenCast portal itself
// uses on GNOME), recording the primary monitor into a node on the user's
// default PipeWire daemon.

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include "platform/linux/portal/ScreenCastSource.h"

namespace vistrel::e2e {

class MutterScreenCast : public QObject, public portal::ScreenCastSource {
  Q_OBJECT
 public:
  explicit MutterScreenCast(QDBusConnection bus) : bus_(std::move(bus)) {}
  ~MutterScreenCast() override { close(); }

  std::variant<portal::ScreenCastNode, std::string> open(std::uint32_t displayID, bool showsCursor) override;
  void close() override;

 public slots:
  void onStreamAdded(uint node);

 private:
  QDBusConnection bus_;
  QString session_;
  std::optional<uint> node_;
};

}  // namespace vistrel::e2e
