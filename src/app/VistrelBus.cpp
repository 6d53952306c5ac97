#include "app/VistrelBus.h"

#include <QDBusConnectionInterface>
#include <QMetaType>

#include <cmath>

#include "VistrelAdaptor.h"
#include "app/AppActions.h"
#include "base/LayoutLog.h"
#include "capture/CaptureError.h"
#include "platform/linux/SessionBus.h"
#include "recording/RecordingEngine.h"

namespace vistrel {

namespace {

QString errorName(const char* error) { return QString(VistrelBus::kErrorPrefix) + error; }

}  // namespace

VistrelBus::VistrelBus(AppActions& actions) : actions_(actions) { new VistrelAdaptor(this); }

VistrelBus::~VistrelBus() {
  CaptureEngine::shared().onCaptureDone = nullptr;
  RecordingEngine::shared().onFinished = nullptr;
}

bool VistrelBus::publish() {
  if (desktop::sessionBusAddressWithoutAutolaunch().empty()) {
    LayoutLog::write("dbus-unavailable reason=no-session-bus");
    return false;
  }
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) {
    LayoutLog::write("dbus-unavailable reason=" + bus.lastError().message().toStdString());
    return false;
  }
  if (!bus.registerObject(kPath, this)) {
    LayoutLog::write("dbus-unavailable reason=object-taken");
    return false;
  }
  // A second copy (--new-instance) leaves the name to the first one.
  if (!bus.registerService(kService)) {
    LayoutLog::write("dbus-name-taken name=" + std::string(kService));
    bus.unregisterObject(kPath);
    return false;
  }
  CaptureEngine::shared().onCaptureDone = [this](const std::string& path) {
    emit CaptureDone(QString::fromStdString(path));
  };
  RecordingEngine::shared().onFinished = [this](const std::string& path) {
    recordingFinished(QString::fromStdString(path));
  };
  LayoutLog::write("dbus-published name=" + std::string(kService));
  return true;
}

void VistrelBus::refuse(const char* error, const QString& message) { sendErrorReply(errorName(error), message); }

void VistrelBus::Perform(const QString& actionId) {
  const auto action = UtilityAction::fromStorageID(actionId.toStdString());
  if (!action) {
    refuse("UnknownAction", "No action is named \"" + actionId + "\".");
    return;
  }
  LayoutLog::write("dbus-perform id=" + action->storageID());
  actions_.handle(*action);
}

std::variant<CaptureOptions, QString> VistrelBus::captureOptions(const QVariantMap& options) {
  CaptureOptions parsed;
  for (auto it = options.begin(); it != options.end(); ++it) {
    const QVariant& value = it.value();
    if (it.key() == "delay") {
      const bool numeric = value.typeId() == QMetaType::Int || value.typeId() == QMetaType::UInt ||
                           value.typeId() == QMetaType::LongLong || value.typeId() == QMetaType::ULongLong ||
                           value.typeId() == QMetaType::Double || value.typeId() == QMetaType::UChar ||
                           value.typeId() == QMetaType::Short || value.typeId() == QMetaType::UShort;
      const double seconds = value.toDouble();
      if (!numeric || !std::isfinite(seconds) || seconds < 0 || seconds > CaptureEngine::kMaxDelay) {
        return QString("delay wants a number of seconds from 0 to 60");
      }
      parsed.delay = seconds;
    } else if (it.key() == "copy" || it.key() == "save" || it.key() == "show") {
      if (value.typeId() != QMetaType::Bool) return it.key() + " wants a boolean";
      auto& field = it.key() == "copy" ? parsed.copy : it.key() == "save" ? parsed.save : parsed.show;
      field = value.toBool();
    } else {
      return "unknown option \"" + it.key() + "\" (options: delay, copy, save, show)";
    }
  }
  return parsed;
}

QString VistrelBus::Capture(const QString& mode, const QVariantMap& options) {
  const auto captureMode = CaptureModes::fromRaw(mode.toStdString());
  if (!captureMode) {
    refuse("UnknownMode",
           "No capture mode is named \"" + mode + "\" (screen, window, area, scrolling, recognizeTextOrQR).");
    return {};
  }
  const auto parsed = captureOptions(options);
  if (const auto* reason = std::get_if<QString>(&parsed)) {
    refuse("InvalidOption", *reason);
    return {};
  }
  if (CaptureEngine::shared().capturing()) {
    refuse("Busy", "Another capture is running.");
    return {};
  }
  LayoutLog::write("dbus-capture mode=" + mode.toStdString());
  setDelayedReply(true);
  spawn(answerCapture(connection(), message(), *captureMode, std::get<CaptureOptions>(parsed)));
  return {};
}

Task<> VistrelBus::answerCapture(QDBusConnection connection, QDBusMessage call, CaptureMode mode,
                                 CaptureOptions options) {
  QDBusMessage reply;
  try {
    const std::string path = co_await CaptureEngine::shared().capture(mode, options);
    reply = call.createReply(QString::fromStdString(path));
  } catch (const CaptureBusy& error) {
    reply = call.createErrorReply(errorName("Busy"), error.what());
  } catch (const CaptureException& error) {
    if (error.error() == CaptureError::cancelled) {
      reply = call.createErrorReply(errorName("Cancelled"), "The capture was cancelled.");
    } else {
      reply = call.createErrorReply(errorName("Failed"), error.what());
    }
  } catch (const std::exception& error) {
    reply = call.createErrorReply(errorName("Failed"), error.what());
  }
  connection.send(reply);
}

void VistrelBus::StartRecording(const QString& mode) {
  const auto recordMode = RecordModes::fromRaw(mode.toStdString());
  if (!recordMode || *recordMode == RecordMode::stop) {
    refuse("UnknownMode", "No recording mode is named \"" + mode + "\" (screen, area).");
    return;
  }
  if (RecordingEngine::shared().isRecording()) {
    refuse("Busy", "A recording is running already.");
    return;
  }
  LayoutLog::write("dbus-record mode=" + mode.toStdString());
  actions_.handle(UtilityAction::record(*recordMode));
}

QString VistrelBus::StopRecording() {
  if (!RecordingEngine::shared().isRecording()) {
    refuse("NotRecording", "No recording is running.");
    return {};
  }
  setDelayedReply(true);
  stopCalls_.emplace_back(connection(), message());
  actions_.handle(UtilityAction::record(RecordMode::stop));
  return {};
}

void VistrelBus::recordingFinished(const QString& path) {
  emit RecordingStopped(path);
  for (auto& [connection, call] : std::exchange(stopCalls_, {})) {
    connection.send(path.isEmpty() ? call.createErrorReply(errorName("Failed"), "The recording left no file.")
                                   : call.createReply(path));
  }
}

}  // namespace vistrel
