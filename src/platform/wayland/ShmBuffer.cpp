#include "platform/wayland/ShmBuffer.h"

#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <limits>

namespace vistrel::wayland {

std::unique_ptr<ShmBuffer> ShmBuffer::create(wl_shm* shm, std::uint32_t format, int width, int height, int stride) {
  if (!shm || width <= 0 || height <= 0 || stride < width) return nullptr;
  const std::size_t size = std::size_t(stride) * std::size_t(height);
  if (size > std::size_t(std::numeric_limits<std::int32_t>::max())) return nullptr;

  const int fd = ::memfd_create("vistrel-shm", MFD_CLOEXEC);
  if (fd < 0) return nullptr;
  if (::ftruncate(fd, off_t(size)) != 0) {
    ::close(fd);
    return nullptr;
  }
  void* memory = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (memory == MAP_FAILED) {
    ::close(fd);
    return nullptr;
  }
  std::unique_ptr<ShmBuffer> result(new ShmBuffer());
  result->memory_ = memory;
  result->size_ = size;
  // The pool and our descriptor can go at once: the buffer keeps the memory.
  wl_shm_pool* pool = wl_shm_create_pool(shm, fd, std::int32_t(size));
  result->buffer_ = wl_shm_pool_create_buffer(pool, 0, width, height, stride, format);
  wl_shm_pool_destroy(pool);
  ::close(fd);
  return result;
}

ShmBuffer::~ShmBuffer() {
  if (buffer_) wl_buffer_destroy(buffer_);
  if (memory_) ::munmap(memory_, size_);
}

}  // namespace vistrel::wayland
