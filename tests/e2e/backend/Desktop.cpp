#include "Desktop.h"

#include "platform/x11/WmRequests.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QThread>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <ostream>
#include <stdexcept>

namespace vistrel {
void PrintTo(const Rect& rect, std::ostream* out) {
  *out << "(" << rect.x << "," << rect.y << " " << rect.w << "x" << rect.h << ")";
}
}  // namespace vistrel

namespace vistrel::e2e {

std::optional<std::string> runTool(const QString& program, const QStringList& arguments) {
  QProcess process;
  process.start(program, arguments);
  if (!process.waitForFinished(10'000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
    process.kill();
    process.waitForFinished(1000);
    return std::nullopt;
  }
  return process.readAllStandardOutput().toStdString();
}

std::vector<xcb_window_t> managedWindows() {
  std::vector<xcb_window_t> windows;
  const auto text = runTool("xprop", {"-root", "-notype", "_NET_CLIENT_LIST"});
  if (!text) return windows;
  static const QRegularExpression id("0x[0-9a-f]+");
  for (auto it = id.globalMatch(QString::fromStdString(*text)); it.hasNext();) {
    windows.push_back(xcb_window_t(it.next().captured(0).toUInt(nullptr, 16)));
  }
  return windows;
}

std::optional<xcb_window_t> activeWindowByTool() {
  const auto text = runTool("xprop", {"-root", "-notype", "_NET_ACTIVE_WINDOW"});
  static const QRegularExpression id("0x[0-9a-f]+");
  const auto match = id.match(QString::fromStdString(text.value_or("")));
  if (!match.hasMatch()) return std::nullopt;
  return xcb_window_t(match.captured(0).toUInt(nullptr, 16));
}

std::optional<std::string> propertyText(xcb_window_t window, const char* property) {
  const auto text = runTool("xprop", {"-id", QString::number(window), "-notype", property});
  if (!text) return std::nullopt;
  const auto equals = text->find(" = ");
  if (equals == std::string::npos) return std::nullopt;
  std::string value = text->substr(equals + 3);
  while (!value.empty() && value.back() == '\n') value.pop_back();
  return value;
}

std::optional<Rect> toolFrame(xcb_window_t window) {
  const auto info = runTool("xwininfo", {"-id", QString::number(window)});
  const auto extents = propertyText(window, "_NET_FRAME_EXTENTS");
  if (!info || !extents) return std::nullopt;
  const QString text = QString::fromStdString(*info);
  const auto field = [&text](const char* name) {
    const QRegularExpression pattern(QString(name) + ":\\s+(-?\\d+)");
    const auto match = pattern.match(text);
    return match.hasMatch() ? std::optional(match.captured(1).toDouble()) : std::nullopt;
  };
  const auto x = field("Absolute upper-left X"), y = field("Absolute upper-left Y");
  const auto w = field("Width"), h = field("Height");
  const QStringList parts = QString::fromStdString(*extents).split(", ");
  if (!x || !y || !w || !h || parts.size() != 4) return std::nullopt;
  const double left = parts[0].toDouble(), right = parts[1].toDouble();
  const double top = parts[2].toDouble(), bottom = parts[3].toDouble();
  return Rect(*x - left, *y - top, *w + left + right, *h + top + bottom);
}

std::unique_ptr<Program> Program::start(const QString& program, const QStringList& arguments) {
  const auto before = managedWindows();
  std::unique_ptr<Program> started(new Program);
  started->process_.setStandardOutputFile(QProcess::nullDevice());
  // This test process draws offscreen; the programs it starts show real windows.
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.remove("QT_QPA_PLATFORM");
  started->process_.setProcessEnvironment(environment);
  started->process_.start(program, arguments);
  if (!started->process_.waitForStarted(10'000)) return nullptr;
  const bool appeared = waitUntil(10, [&] {
    for (const xcb_window_t window : managedWindows()) {
      if (std::find(before.begin(), before.end(), window) != before.end()) continue;
      if (!propertyText(window, "_NET_FRAME_EXTENTS")) continue;
      started->window_ = window;
      return true;
    }
    return false;
  });
  if (!appeared) return nullptr;
  return started;
}

Program::~Program() {
  if (process_.state() == QProcess::NotRunning) return;
  process_.terminate();
  if (!process_.waitForFinished(3000)) kill();
}

void Program::kill() {
  process_.kill();
  process_.waitForFinished(5000);
}

Requests::Requests() {
  std::string error;
  connection_ = x11::Connection::open(error);
  if (!connection_) throw std::runtime_error("no X connection for the test: " + error);
}

xcb_atom_t Requests::atom(const char* name) {
  return connection_->internAtoms({name}, x11::deadlineAfter(2)).front();
}

void Requests::changeState(xcb_window_t window, std::uint32_t action, const char* first, const char* second) {
  x11::wm::sendToRoot(*connection_, window, atom("_NET_WM_STATE"),
                      {action, atom(first), second ? atom(second) : 0u, 2, 0});
  connection_->flush();
}

void Requests::activate(xcb_window_t window) {
  x11::wm::sendToRoot(*connection_, window, atom("_NET_ACTIVE_WINDOW"), {2, XCB_CURRENT_TIME, 0, 0, 0});
  connection_->flush();
}

xcb_window_t Requests::createBottomDock(std::uint32_t height) {
  xcb_connection_t* raw = connection_->raw();
  const std::uint16_t width = connection_->rootWidth();
  const std::int16_t y = std::int16_t(connection_->rootHeight() - height);
  const xcb_window_t window = xcb_generate_id(raw);
  xcb_create_window(raw, XCB_COPY_FROM_PARENT, window, connection_->root(), 0, y, width, std::uint16_t(height), 0,
                    XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
  const xcb_atom_t dock = atom("_NET_WM_WINDOW_TYPE_DOCK");
  xcb_change_property(raw, XCB_PROP_MODE_REPLACE, window, atom("_NET_WM_WINDOW_TYPE"), XCB_ATOM_ATOM, 32, 1, &dock);
  const std::array<std::uint32_t, 12> partial{0, 0, 0, height, 0, 0, 0, 0, 0, 0, 0, std::uint32_t(width - 1)};
  xcb_change_property(raw, XCB_PROP_MODE_REPLACE, window, atom("_NET_WM_STRUT_PARTIAL"), XCB_ATOM_CARDINAL, 32, 12,
                      partial.data());
  xcb_map_window(raw, window);
  connection_->flush();
  return window;
}

xcb_window_t Requests::createShadowedWindow(std::uint32_t shadow) {
  xcb_connection_t* raw = connection_->raw();
  const xcb_window_t window = xcb_generate_id(raw);
  xcb_create_window(raw, XCB_COPY_FROM_PARENT, window, connection_->root(), 300, 300, 400, 300, 0,
                    XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
  // _MOTIF_WM_HINTS: flags = decorations, decorations = none.
  const std::array<std::uint32_t, 5> motif{2, 0, 0, 0, 0};
  const xcb_atom_t motifAtom = atom("_MOTIF_WM_HINTS");
  xcb_change_property(raw, XCB_PROP_MODE_REPLACE, window, motifAtom, motifAtom, 32, 5, motif.data());
  const std::array<std::uint32_t, 4> extents{shadow, shadow, shadow, shadow};
  xcb_change_property(raw, XCB_PROP_MODE_REPLACE, window, atom("_GTK_FRAME_EXTENTS"), XCB_ATOM_CARDINAL, 32, 4,
                      extents.data());
  xcb_map_window(raw, window);
  connection_->flush();
  return window;
}

xcb_window_t Requests::createUnmanagedWindow() {
  xcb_connection_t* raw = connection_->raw();
  const xcb_window_t window = xcb_generate_id(raw);
  const std::uint32_t overrideRedirect = 1;
  xcb_create_window(raw, XCB_COPY_FROM_PARENT, window, connection_->root(), 10, 10, 200, 100, 0,
                    XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, XCB_CW_OVERRIDE_REDIRECT, &overrideRedirect);
  xcb_map_window(raw, window);
  connection_->flush();
  return window;
}

xcb_window_t Requests::createUnlistedTopPanel(std::uint32_t height) {
  xcb_connection_t* raw = connection_->raw();
  const std::uint16_t width = connection_->rootWidth();
  const xcb_window_t frame = xcb_generate_id(raw);
  const std::uint32_t overrideRedirect = 1;
  xcb_create_window(raw, XCB_COPY_FROM_PARENT, frame, connection_->root(), 0, 0, width, std::uint16_t(height), 0,
                    XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, XCB_CW_OVERRIDE_REDIRECT, &overrideRedirect);
  const xcb_window_t panel = xcb_generate_id(raw);
  xcb_create_window(raw, XCB_COPY_FROM_PARENT, panel, frame, 0, 0, width, std::uint16_t(height), 0,
                    XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
  const std::array<std::uint32_t, 12> partial{0, 0, height, 0, 0, 0, 0, 0, 0, std::uint32_t(width - 1), 0, 0};
  xcb_change_property(raw, XCB_PROP_MODE_REPLACE, panel, atom("_NET_WM_STRUT_PARTIAL"), XCB_ATOM_CARDINAL, 32, 12,
                      partial.data());
  xcb_map_window(raw, panel);
  xcb_map_window(raw, frame);
  connection_->flush();
  return frame;
}

void Requests::deleteProperty(xcb_window_t window, const char* name) {
  xcb_delete_property(connection_->raw(), window, atom(name));
  connection_->flush();
}

void Requests::destroy(xcb_window_t window) {
  xcb_destroy_window(connection_->raw(), window);
  connection_->flush();
}

}  // namespace vistrel::e2e
