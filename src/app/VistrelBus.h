#pragma once
// The program's scripting surface on the session bus: app.vistrel.Vistrel at
// /app/vistrel/Vistrel, interface app.vistrel.Vistrel1, described by
// app.vistrel.Vistrel1.xml, whose generated adaptor calls these slots. Calls
// that wait for a capture or a recording's file answer later (delayed
// replies); errors are the named errors of the interface. Main thread only.

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include <variant>
#include <vector>

#include "base/Task.h"
#include "base/UtilityAction.h"
#include "capture/CaptureEngine.h"

namespace vistrel {

class AppActions;

class VistrelBus : public QObject, protected QDBusContext {
  Q_OBJECT

 public:
  static constexpr const char* kService = "app.vistrel.Vistrel";
  static constexpr const char* kPath = "/app/vistrel/Vistrel";
  static constexpr const char* kErrorPrefix = "app.vistrel.Vistrel1.Error.";

  // `actions` lives for the whole run, as this object does.
  explicit VistrelBus(AppActions& actions);

  // Exports the object and claims the name on the session bus; false, logged,
  // when there is no session bus or another program holds the name.
  bool publish();

  // The options of a Capture call, or the reason they are refused.
  static std::variant<CaptureOptions, QString> captureOptions(const QVariantMap& options);

 public slots:
  void Perform(const QString& actionId);
  QString Capture(const QString& mode, const QVariantMap& options);
  void StartRecording(const QString& mode);
  QString StopRecording();

 signals:
  void CaptureDone(const QString& path);
  void RecordingStopped(const QString& path);

 private:
  void refuse(const char* error, const QString& message);
  static Task<> answerCapture(QDBusConnection connection, QDBusMessage call, CaptureMode mode, CaptureOptions options);
  void recordingFinished(const QString& path);

  AppActions& actions_;
  // StopRecording calls waiting for the file.
  std::vector<std::pair<QDBusConnection, QDBusMessage>> stopCalls_;
};

}  // namespace vistrel
