#pragma once
// The folder a self-updating copy lives in, and how an update replaces it.
//
// An installation folder (the unpacked archive's "vistrel/", wherever the user
// put it) holds the executable at bin/vistrel and the marker file below; only
// a folder with the marker is ever replaced, so a copy installed into a shared
// prefix such as /usr/local never swaps that prefix away. An update is staged
// in a folder beside it, "<parent>/.<folder name>.update-XXXXXX" (same file
// system, so renames work), and swapped in by exchanging the two folders in
// one step. The replaced folder stays in the staging folder until the next
// start of the program removes it.

#include <filesystem>
#include <optional>
#include <string>
#include <variant>

namespace vistrel::desktop::Installation {

// Relative to the installation folder.
inline constexpr const char* kMarker = "share/vistrel/self-update";

struct Layout {
  std::filesystem::path root;        // the installation folder
  std::filesystem::path executable;  // the program, relative to root (bin/vistrel)
};

// The installation folder of the program at `bundlePath`; else why this copy
// cannot replace itself, for the user.
std::variant<Layout, std::string> locate(const std::string& bundlePath);

// A new, empty staging folder beside the installation; else why not.
std::variant<std::filesystem::path, std::string> makeStaging(const Layout& layout);

// Removes what earlier updates left beside the installation: replaced
// folders and abandoned downloads. Links are removed, never followed.
void removeLeftovers(const Layout& layout);

// Exchanges the folders at `a` and `b` atomically (renameat2 with
// RENAME_EXCHANGE); where the file system cannot, with three renames that put
// everything back when one fails. None on success.
std::optional<std::string> exchange(const std::filesystem::path& a, const std::filesystem::path& b);

}  // namespace vistrel::desktop::Installation
