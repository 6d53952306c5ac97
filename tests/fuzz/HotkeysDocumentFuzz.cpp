// The stored shortcuts document: any bytes either decode into bindings that
// encode back to a document decoding to the same bindings, or are rejected.
// Input limit: 64 KiB.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "hotkeys/HotkeyStore.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
  const auto saved = vistrel::HotkeyStore::Saved::decoded(bytes);
  if (!saved) return 0;
  const auto again = vistrel::HotkeyStore::Saved::decoded(saved->encoded());
  if (!again || again->encoded() != saved->encoded()) std::abort();
  return 0;
}
