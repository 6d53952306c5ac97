// The stored settings document: any bytes either parse into an object whose
// values decode and re-encode, or are rejected; nothing crashes.
// Input limit: 64 KiB (the store itself refuses documents over 16 MiB).

#include <QJsonObject>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "platform/linux/DefaultsCoding.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
  const auto document = vistrel::desktop::parseDefaultsDocument(bytes);
  if (!document) return 0;
  for (auto it = document->begin(); it != document->end(); ++it) {
    const auto value = vistrel::desktop::decodeDefaultsValue(it.value());
    if (!value) continue;
    // What decodes must encode back to something that decodes to the same value.
    const auto again = vistrel::desktop::decodeDefaultsValue(vistrel::desktop::encodeDefaultsValue(*value));
    if (!again || !(*again == *value || std::holds_alternative<double>(*value))) std::abort();
  }
  return 0;
}
