#include <gtest/gtest.h>

#include <sys/mman.h>

#include <cstdint>
#include <fstream>
#include <string>

#include "platform/linux/ProcessMemory.h"

namespace vistrel::desktop {
namespace {

// The flags /proc/self/smaps gives the mapping that starts at `address`; empty when there is none.
std::string mappingFlags(const void* address) {
  std::ifstream smaps("/proc/self/smaps");
  std::string line;
  bool inside = false;
  while (std::getline(smaps, line)) {
    const auto dash = line.find('-');
    if (dash != std::string::npos && dash < line.find(' ')) {
      inside = std::stoull(line.substr(0, dash), nullptr, 16) == reinterpret_cast<std::uintptr_t>(address);
    } else if (inside && line.starts_with("VmFlags:")) {
      return line + " ";
    }
  }
  return {};
}

// Verifies that releasing free memory takes back a request for huge pages left on a range (as x264 leaves one on the heap), so that the kernel does not fill the range with huge pages again.
TEST(ProcessMemoryTest, ReleaseWithdrawsHugePageAdvice) {
  constexpr std::size_t kSize = 8u << 20;
  void* range = mmap(nullptr, kSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(range, MAP_FAILED);
  if (madvise(range, kSize, MADV_HUGEPAGE) != 0 || mappingFlags(range).find(" hg ") == std::string::npos) {
    munmap(range, kSize);
    GTEST_SKIP() << "this kernel takes no huge-page advice";
  }

  ProcessMemory::releaseFree();

  const std::string flags = mappingFlags(range);
  munmap(range, kSize);
  EXPECT_FALSE(flags.empty());
  EXPECT_EQ(flags.find(" hg "), std::string::npos) << flags;
}

}  // namespace
}  // namespace vistrel::desktop
