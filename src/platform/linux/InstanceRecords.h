#pragma once
// Running copies of Vistrel, found through a record each copy keeps of itself
// for as long as it runs: a small JSON file "<pid>-<start time>.instance" in
// the per-user instance folder ($XDG_RUNTIME_DIR, else a private /tmp/vistrel-<uid>).
// The same folder holds the hand-over socket. A record whose process has ended,
// or whose pid now runs another program (a different start time in
// /proc/<pid>/stat), is ignored, and removed when the next copy starts.

#include <sys/types.h>

#include <QByteArray>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Workspace.h"

namespace vistrel::desktop {

struct InstanceRecord {
  std::int32_t pid = 0;
  std::string bundleIdentifier;
  std::string bundlePath;
  // Field 22 of /proc/<pid>/stat: clock ticks from boot to the process's start.
  std::uint64_t startTime = 0;
  friend bool operator==(const InstanceRecord&, const InstanceRecord&) = default;
};

// $XDG_RUNTIME_DIR when it names a folder, else privateFolder("/tmp/vistrel-<uid>").
// None, with `error` saying why, when neither can be used.
std::optional<std::string> instanceFolder(std::string& error);

// `path` as a folder only we can enter: made with mode 0700 when missing; an
// existing one must be a directory (not a link to one), ours, with mode 0700.
// Anything else is refused, never repaired: it may be another user's trap.
std::optional<std::string> privateFolder(const std::string& path, std::string& error);

namespace InstanceRecords {

QByteArray encode(const InstanceRecord& record);
// None for anything but a JSON object with a positive "pid", a non-empty
// "bundleIdentifier" and "bundlePath", and a whole, non-negative "startTime".
std::optional<InstanceRecord> decode(const QByteArray& data);

// The start time in a /proc/<pid>/stat line; the command name in it may hold spaces and parentheses.
std::optional<std::uint64_t> parseStartTime(std::string_view statLine);
// None when no process has that pid.
std::optional<std::uint64_t> processStartTime(std::int32_t pid);
// The record's process still runs, and is the one that wrote it.
bool isLive(const InstanceRecord& record);

// The live records in `folder`, oldest start first (pid breaks ties).
std::vector<InstanceRecord> live(const std::string& folder);

// The live records as the workspace lists them: named "Vistrel", with each process's executable.
std::vector<platform::RunningApplication> runningApplications(const std::string& folder);

}  // namespace InstanceRecords

// This process's record, kept in the folder for as long as the object lives.
class PublishedInstance {
 public:
  // Writes the record (and removes the records of processes that are gone).
  // None, with `error` set, when the file cannot be written.
  static std::optional<PublishedInstance> publish(const std::string& folder, const std::string& bundleIdentifier,
                                                  const std::string& bundlePath, std::string& error);
  PublishedInstance(PublishedInstance&& other) noexcept;
  PublishedInstance& operator=(PublishedInstance&&) = delete;
  PublishedInstance(const PublishedInstance&) = delete;
  ~PublishedInstance();

  // Removes the record now, for an exit that skips the destructor.
  void withdraw();

  const std::string& path() const { return path_; }
  const InstanceRecord& record() const { return record_; }

 private:
  PublishedInstance(std::string path, InstanceRecord record) : path_(std::move(path)), record_(std::move(record)) {}
  std::string path_;
  InstanceRecord record_;
};

}  // namespace vistrel::desktop
