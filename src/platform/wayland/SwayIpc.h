#pragma once
// A client of sway's IPC socket ($SWAYSOCK): the i3-compatible framing
// ("i3-ipc", a 32-bit payload length and message type in native byte order,
// then JSON) over one UNIX stream socket, request and reply in turn.
//
// Every call is bounded by a deadline. A reply that does not come in time, or
// a broken stream, closes the socket (a late reply would desynchronise it);
// the next call connects again. Main thread only.

#include <QByteArray>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/wayland/Deadline.h"
#include "platform/wayland/SwayTree.h"

namespace vistrel::wayland {

enum class IpcFault {
  none,
  unavailable,  // no socket, or sway does not accept the connection
  timedOut,     // sway did not answer before the deadline
  broken,       // the stream failed or the reply was not what was asked for
  refused,      // sway answered and refused (a command failed)
};

template <class T>
struct IpcReply {
  std::optional<T> value;
  IpcFault fault = IpcFault::none;
  std::string error;  // sway's words or the system's, for a log line
};

class SwayIpc {
 public:
  // The message types this client uses (sway-ipc(7)).
  enum class Message : std::uint32_t { runCommand = 0, getWorkspaces = 1, getOutputs = 3, getTree = 4, getVersion = 7 };

  explicit SwayIpc(std::string socketPath);
  ~SwayIpc();
  SwayIpc(const SwayIpc&) = delete;
  SwayIpc& operator=(const SwayIpc&) = delete;

  // The socket sway announces to its session in $SWAYSOCK; none outside sway.
  static std::optional<std::string> socketFromEnvironment();

  // One request and its reply's JSON payload.
  IpcReply<QByteArray> request(Message type, const QByteArray& payload, Deadline deadline);

  IpcReply<SwayTree> tree(Deadline deadline);
  IpcReply<std::vector<SwayOutput>> outputs(Deadline deadline);
  IpcReply<std::vector<SwayWorkspace>> workspaces(Deadline deadline);
  // Runs a command list (commands separated by ","; "[criteria]" applies to
  // all); refused with sway's first error when any command failed.
  IpcReply<bool> command(const std::string& commands, Deadline deadline);

 private:
  bool connect();
  void disconnect();
  bool writeAll(const char* data, std::size_t size, Deadline deadline, IpcFault& fault);
  bool readAll(char* data, std::size_t size, Deadline deadline, IpcFault& fault);

  std::string path_;
  int fd_ = -1;
};

}  // namespace vistrel::wayland
