#include "platform/linux/ProcessName.h"

#include <QFile>

namespace vistrel::desktop {

std::string processName(std::int32_t pid) {
  if (pid <= 0) return {};
  QFile file(QStringLiteral("/proc/%1/comm").arg(pid));
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll().trimmed().toStdString();
}

}  // namespace vistrel::desktop
