#pragma once
// Files the program owns on disk, written so that a crash or a full disk never
// leaves a half-written one: readers see the old contents or the new, whole.

#include <sys/types.h>

#include <QByteArray>

#include <optional>
#include <string>
#include <system_error>

namespace vistrel {

// Replaces the file at `path` with `contents`: a temporary file in the same
// folder is written, flushed to disk, renamed over `path`, and the folder is
// flushed. On failure the temporary file is removed, `path` is unchanged (or,
// when only flushing the folder failed, already whole) and the errno value is
// returned; an empty code on success.
std::error_code replaceFile(const std::string& path, const QByteArray& contents, mode_t mode);

// The same, with the error's description.
std::optional<std::string> writeFileAtomically(const std::string& path, const QByteArray& contents, mode_t mode);

// Makes `path` and each missing folder above it with `mode`; folders that
// exist keep theirs. Returns the error's description on failure.
std::optional<std::string> makeDirectories(const std::string& path, mode_t mode);

// The description of an errno value (strerror's text), safe from any thread.
std::string errorText(int error);

}  // namespace vistrel
