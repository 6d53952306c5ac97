// The update feed: any bytes either parse into items whose fields hold what
// a download needs, or are refused; nothing crashes.
// Input limit: the parser's own, 1 MiB (larger documents are refused unread).

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "platform/linux/update/Appcast.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vistrel::desktop;
  const auto parsed = Appcast::parse(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
  const auto* items = std::get_if<Appcast::Items>(&parsed);
  if (!items) return 0;
  for (const auto& item : *items) {
    if (item.versionString.empty() || item.displayVersionString.empty() || item.contentLength == 0 ||
        item.contentLength > Appcast::kMaxArchiveBytes || item.edSignature.size() != 88 ||
        item.fileURL.rfind("http", 0) != 0) {
      std::abort();
    }
  }
  const auto newest = Appcast::newestNewerThan(*items, "0");
  if (newest && Appcast::compareVersions(newest->versionString, "0") <= 0) std::abort();
  return 0;
}
