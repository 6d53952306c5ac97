// sway's IPC replies (tree, outputs, workspaces): any bytes decode or are
// rejected without a crash, and a decoded tree lists the scratchpad's windows
// after every shown one. Input limit: 1 MiB.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "platform/wayland/SwayTree.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > (1u << 20)) return 0;
  const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
  vistrel::wayland::parseOutputs(bytes);
  vistrel::wayland::parseWorkspaces(bytes);
  const auto tree = vistrel::wayland::parseTree(bytes);
  if (!tree) return 0;
  bool hidden = false;
  for (const auto& view : tree->views) {
    if (hidden && !view.scratchpad) std::abort();
    hidden = hidden || view.scratchpad;
  }
  return 0;
}
