#include "base/LargeImage.h"

#include <sys/mman.h>

#include <cstddef>
#include <cstdint>

namespace vistrel {

namespace {

// Below this the ordinary allocator does as well.
constexpr std::size_t kLargeBytes = std::size_t(32) << 20;

struct Mapping {
  void* address;
  std::size_t bytes;
};

void unmap(void* info) {
  auto* mapping = static_cast<Mapping*>(info);
  ::munmap(mapping->address, mapping->bytes);
  delete mapping;
}

}  // namespace

QImage makeLargeImage(int width, int height, QImage::Format format) {
  if (width <= 0 || height <= 0) return {};
  const int depth = QImage(1, 1, format).depth();
  const std::size_t bytesPerLine = ((std::size_t(width) * std::size_t(depth) + 31) / 32) * 4;
  const std::size_t bytes = bytesPerLine * std::size_t(height);
  if (bytes < kLargeBytes || bytesPerLine > std::size_t(INT32_MAX)) return QImage(width, height, format);
  void* address = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (address == MAP_FAILED) return {};
  // Advice only: without huge pages the image still works, at the usual cost.
  ::madvise(address, bytes, MADV_HUGEPAGE);
  auto* mapping = new Mapping{address, bytes};
  QImage image(static_cast<uchar*>(address), width, height, qsizetype(bytesPerLine), format, unmap, mapping);
  if (image.isNull()) unmap(mapping);
  return image;
}

}  // namespace vistrel
