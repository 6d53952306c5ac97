#include "platform/linux/ProcessMemory.h"

#include <malloc.h>
#include <sys/mman.h>

#include <QObject>
#include <QTimer>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace vistrel::desktop::ProcessMemory {

namespace {

constexpr int kQuietMs = 5000;

// The mappings whose flags in /proc/self/smaps include "hg" (advised for huge pages).
std::vector<std::pair<std::uintptr_t, std::uintptr_t>> hugePageAdvised() {
  std::vector<std::pair<std::uintptr_t, std::uintptr_t>> ranges;
  std::ifstream smaps("/proc/self/smaps");
  std::string line;
  std::uintptr_t start = 0, end = 0;
  while (std::getline(smaps, line)) {
    if (line.starts_with("VmFlags:")) {
      std::istringstream flags(line.substr(8));
      std::string flag;
      while (flags >> flag) {
        if (flag == "hg" && end > start) ranges.emplace_back(start, end);
      }
    } else if (const auto dash = line.find('-'); dash != std::string::npos && line.find(' ') > dash) {
      // A mapping's first line: "start-end perms offset dev inode path".
      try {
        start = std::stoull(line.substr(0, dash), nullptr, 16);
        end = std::stoull(line.substr(dash + 1, line.find(' ') - dash - 1), nullptr, 16);
      } catch (const std::exception&) {
        start = end = 0;
      }
    }
  }
  return ranges;
}

}  // namespace

void limitArenas() { mallopt(M_ARENA_MAX, 2); }

void releaseFree() {
  for (const auto& [start, end] : hugePageAdvised()) {
    madvise(reinterpret_cast<void*>(start), end - start, MADV_NOHUGEPAGE);
  }
  malloc_trim(0);
}

void releaseFreeWhenQuiet() {
  // Never destroyed: a timer must not outlive the application object, which a static's destructor would.
  static QTimer* const quiet = [] {
    auto* timer = new QTimer;
    timer->setSingleShot(true);
    timer->setInterval(kQuietMs);
    QObject::connect(timer, &QTimer::timeout, [] { releaseFree(); });
    return timer;
  }();
  quiet->start();
}

}  // namespace vistrel::desktop::ProcessMemory
