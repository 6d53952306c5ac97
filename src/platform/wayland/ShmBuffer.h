#pragma once
// A wl_buffer in shared memory (an anonymous memfd mapped into our address
// space), as the compositor copies frames into. Owns the buffer and the
// mapping; the memory stays readable until the object goes.

#include <cstddef>
#include <cstdint>
#include <memory>

struct wl_buffer;
struct wl_shm;

namespace vistrel::wayland {

class ShmBuffer {
 public:
  // None when the memory cannot be had (size too large, no memfd).
  static std::unique_ptr<ShmBuffer> create(wl_shm* shm, std::uint32_t format, int width, int height, int stride);
  ~ShmBuffer();
  ShmBuffer(const ShmBuffer&) = delete;
  ShmBuffer& operator=(const ShmBuffer&) = delete;

  wl_buffer* buffer() const { return buffer_; }
  const std::uint8_t* data() const { return static_cast<const std::uint8_t*>(memory_); }
  std::size_t size() const { return size_; }

 private:
  ShmBuffer() = default;
  wl_buffer* buffer_ = nullptr;
  void* memory_ = nullptr;
  std::size_t size_ = 0;
};

}  // namespace vistrel::wayland
