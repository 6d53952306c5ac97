#pragma once
// An update archive, checked before anything of it is unpacked: its length and
// its Ed25519 signature (the release key's, over all of its bytes). Then
// unpacked: a tar archive (xz or another compression libarchive reads) of
// plain folders and files inside one top folder, "vistrel/". A link of any
// kind, a device, an absolute path or a ".." anywhere refuses the whole
// archive; nothing is ever written outside the destination folder.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/linux/update/SodiumCodeSignature.h"

namespace vistrel::desktop::UpdateArchive {

inline constexpr const char* kTopFolder = "vistrel";
// Input limits: the unpacked size of all files, and the number of entries.
inline constexpr std::uint64_t kMaxUnpackedBytes = std::uint64_t(1) << 30;
inline constexpr std::size_t kMaxEntries = 20000;

// None when the file at `path` is `length` bytes long and `signature` (base64)
// signs it with `key`; else why not, for the user.
std::optional<std::string> verify(const std::string& path, std::uint64_t length, const std::string& signature,
                                  const ReleasePublicKey& key);

// Unpacks the archive at `path` into `destination`, an existing empty folder,
// reporting the share of the archive read so far (0 to 1). None on success;
// else why not, and whatever was unpacked is left for the caller to remove.
// Safe to run on any thread.
std::optional<std::string> extract(const std::string& path, const std::string& destination,
                                   const std::function<void(double)>& progress);

// The components of an entry's path name ("./" prefixes and empty components
// dropped); none when it is absolute, names "..", or lies outside the top folder.
std::optional<std::vector<std::string>> entryComponents(std::string_view pathname);

}  // namespace vistrel::desktop::UpdateArchive
