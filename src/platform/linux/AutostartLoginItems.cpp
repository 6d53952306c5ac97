#include "platform/linux/AutostartLoginItems.h"

#include <unistd.h>

#include <QFile>

#include <cerrno>
#include <map>
#include <string_view>

#include "base/AtomicFile.h"

namespace vistrel::desktop {

namespace {

// Characters that make the Desktop Entry specification require an argument to
// be quoted.
constexpr std::string_view kReserved = " \t\n\"'\\><~|&;$*?#()`";

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

// The raw (still escaped) values of the [Desktop Entry] group.
std::map<std::string, std::string> desktopEntryValues(const QByteArray& text) {
  std::map<std::string, std::string> values;
  bool inEntryGroup = false;
  for (const QByteArray& rawLine : text.split('\n')) {
    const std::string_view line = trimmed(std::string_view(rawLine.constData(), std::size_t(rawLine.size())));
    if (line.empty() || line.front() == '#') continue;
    if (line.front() == '[') {
      inEntryGroup = line == "[Desktop Entry]";
      continue;
    }
    const auto equals = line.find('=');
    if (!inEntryGroup || equals == std::string_view::npos) continue;
    values.emplace(std::string(trimmed(line.substr(0, equals))), std::string(trimmed(line.substr(equals + 1))));
  }
  return values;
}

}  // namespace

std::string desktopEntryExec(const std::string& path) {
  // Field codes are expanded after unquoting, so a literal "%" doubles first.
  std::string argument;
  for (const char c : path) {
    argument += c;
    if (c == '%') argument += '%';
  }
  if (argument.find_first_of(kReserved) != std::string::npos) {
    std::string quoted = "\"";
    for (const char c : argument) {
      if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
      quoted += c;
    }
    argument = quoted + "\"";
  }
  // The string escapes of the file format are undone before the quoting.
  std::string value;
  for (const char c : argument) {
    switch (c) {
      case '\\': value += "\\\\"; break;
      case '\n': value += "\\n"; break;
      case '\t': value += "\\t"; break;
      case '\r': value += "\\r"; break;
      default: value += c;
    }
  }
  return value;
}

AutostartLoginItems::AutostartLoginItems(std::string directory, std::string program)
    : directory_(std::move(directory)), path_(directory_ + "/vistrel.desktop"), program_(std::move(program)) {}

std::string AutostartLoginItems::entryText() const {
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Name=Vistrel\n"
         "Comment=Window layout and screen capture\n"
         "Exec=" + desktopEntryExec(program_) + "\n"
         "Icon=vistrel\n"
         "Terminal=false\n"
         "X-GNOME-Autostart-enabled=true\n";
}

platform::LoginItemStatus AutostartLoginItems::status() const {
  QFile file(QString::fromStdString(path_));
  if (!file.open(QIODevice::ReadOnly)) return platform::LoginItemStatus::notRegistered;
  const auto values = desktopEntryValues(file.read(1024 * 1024));
  const auto has = [&](const char* key, const std::string& wanted) {
    const auto it = values.find(key);
    return it != values.end() && it->second == wanted;
  };
  // Desktops switch an entry off by hiding it rather than deleting it.
  const bool ours = has("Exec", desktopEntryExec(program_));
  const bool switchedOff = has("Hidden", "true") || has("X-GNOME-Autostart-enabled", "false");
  return ours && !switchedOff ? platform::LoginItemStatus::enabled : platform::LoginItemStatus::notRegistered;
}

std::optional<std::string> AutostartLoginItems::registerItem() {
  if (auto failure = makeDirectories(directory_, 0700)) return failure;
  return writeFileAtomically(path_, QByteArray::fromStdString(entryText()), 0644);
}

std::optional<std::string> AutostartLoginItems::unregisterItem() {
  if (::unlink(path_.c_str()) == 0 || errno == ENOENT) return std::nullopt;
  return errorText(errno);
}

}  // namespace vistrel::desktop
