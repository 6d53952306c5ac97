#pragma once
// The control channel in an update's description: a first line
// "Vistrel-Force-Below: <version>" makes installing mandatory for older
// copies; the rest are the notes. Also the dotted version comparison.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vistrel::UpdateNotice {

inline constexpr const char* kForceMarker = "Vistrel-Force-Below:";

struct Parsed {
  std::optional<std::string> forceBelow;
  std::string notes;
  friend bool operator==(const Parsed&, const Parsed&) = default;
};

Parsed parse(const std::optional<std::string>& description);
// "1.10.2" gives 1, 10, 2; empty pieces are dropped, pieces that are no
// decimal integer count as 0 ("2.0b" gives 2, 0).
std::vector<std::int64_t> parts(const std::string& version);
// Position by position, a missing position counting as 0: "1.2" equals "1.2.0".
bool isOlder(const std::string& a, const std::string& than);

}  // namespace vistrel::UpdateNotice
