#pragma once
// The program's scripting surface on the session bus, interface
// app.vistrel.Vistrel1 as app.vistrel.Vistrel1.xml describes it; the adaptor
// generated from that file calls these slots. Calls that wait for a capture or
// a recording's file answer later (delayed replies). Main thread only.
// The interface's description lives here rather than in the XML: Qt's
// generator drops what follows a comment there.
//
// On the session bus as app.vistrel.Vistrel, object /app/vistrel/Vistrel.
// Perform(actionId): performs one action named by its storage id
//   (window.leftHalf, capture.area, record.screen, settings, quit, ...), as
//   `vistrel --action` does. Returns at once.
// Capture(mode, options) -> path: a still capture; mode is screen, window,
//   area, scrolling or recognizeTextOrQR. Options: delay (a number of seconds,
//   0 to 60, counted down first; a window capture with a delay takes the
//   window under the pointer when the count ends), copy, save, show (booleans:
//   the after-capture switches for this capture alone). Returns once the file
//   is written, with its path; empty when the capture was not saved.
// StartRecording(mode): screen, or area (the user drags the area). Returns at once.
// StopRecording() -> path: stops the running recording; returns once its file
//   is finished, with its path.
// CaptureDone(path): a capture reached its outputs; the file it was saved to, or empty.
// RecordingStopped(path): a recording's file is finished; empty when no file could be made.
//
// Errors (D-Bus error names):
//   app.vistrel.Vistrel1.Error.UnknownAction  Perform: no action has that storage id
//   app.vistrel.Vistrel1.Error.UnknownMode    Capture, StartRecording: no such mode
//   app.vistrel.Vistrel1.Error.InvalidOption  Capture: an unknown option, or a value of the wrong type or range
//   app.vistrel.Vistrel1.Error.Busy           a capture runs, or a recording runs already
//   app.vistrel.Vistrel1.Error.Cancelled      the user cancelled the capture (Escape)
//   app.vistrel.Vistrel1.Error.Failed         the capture or recording failed; the message says why
//   app.vistrel.Vistrel1.Error.NotRecording   StopRecording: no recording runs

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
  // Unhooks it from the engines it listens to.
  ~VistrelBus() override;

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
