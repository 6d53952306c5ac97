// An update's description: the force marker is split off and the notes become
// one to eight distinct highlights and at most one changelog address; nothing crashes.
// Input limit: 64 KiB (the feed parser refuses longer texts).

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>

#include "update/ReleaseNotesFormat.h"
#include "update/UpdateNotice.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vistrel;
  const std::string text(reinterpret_cast<const char*>(data), size);
  const auto notice = UpdateNotice::parse(text);
  if (notice.forceBelow) {
    if (notice.forceBelow->empty()) std::abort();
    // A version is never older than itself.
    if (UpdateNotice::isOlder(*notice.forceBelow, *notice.forceBelow)) std::abort();
  }
  const auto formatted = ReleaseNotesFormat::format(notice.notes);
  const std::set<std::string> distinct(formatted.highlights.begin(), formatted.highlights.end());
  if (formatted.highlights.empty() || formatted.highlights.size() > ReleaseNotesFormat::kMaxHighlights ||
      distinct.size() != formatted.highlights.size()) {
    std::abort();
  }
  return 0;
}
