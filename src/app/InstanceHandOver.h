#pragma once
// A later start of the program hands what it was asked to do to the copy that
// runs already, and ends: the way a second launch of an application activates
// the running one.
//
// The running copy listens on a local socket named after its bundle
// identifier ("<identifier>.socket") in the instance folder. One request line
// per connection, one reply line: "activate\n" or "action <storage id>\n"
// (a capture's may end in " delay=<seconds>"), answered "ok\n" or
// "error <reason>\n". The reply goes out before the request
// is carried out, so a modal alert the action opens never holds the caller up.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "base/UtilityAction.h"
#include "platform/Workspace.h"

class QLocalServer;
class QLocalSocket;

namespace vistrel::InstanceHandOver {

std::string socketPath(const std::string& folder, const std::string& bundleIdentifier);

struct Request {
  enum class Kind { activate, action };
  Kind kind = Kind::activate;
  std::optional<UtilityAction> action;  // for Kind::action
  double delay = 0;                     // seconds before a capture action
};

// A capture delay as written on the command line or in a request: seconds
// from 0 to 60, whole or with a fraction; none for anything else.
std::optional<double> parseDelay(std::string_view text);
// The request line of an action, with its delay when there is one.
std::string actionRequest(const UtilityAction& action, double delay);

// One request line without its line feed; otherwise the reason to answer "error " with.
std::variant<Request, std::string> parseRequest(std::string_view line);

// The copy a plain start of this file hands over to: the first of `running`
// with this program's identifier and, standardized, this bundle path, that is
// not this process.
std::optional<std::int32_t> sameFileInstance(const std::vector<platform::RunningApplication>& running,
                                             const std::string& myID, const std::string& myPath, std::int32_t myPID);

struct Outcome {
  enum class Status {
    ok,             // the running copy took the request
    noInstance,     // nobody listens at the socket
    otherInstance,  // a process other than the expected one listens there; nothing was sent
    failed,         // no answer in time, a broken connection, or an "error" reply
  };
  Status status = Status::failed;
  std::string detail;  // for failed: what went wrong, or the reason the copy gave
};

// Sends one request line (without its line feed) and waits a few seconds at
// most for the reply. Blocking, and usable before any QCoreApplication
// exists. With `expectedPID`, only a server run by that process is asked.
Outcome send(const std::string& path, const std::string& request,
             std::optional<std::int32_t> expectedPID = std::nullopt);

// The running copy's end, on the main thread.
class Server {
 public:
  Server();
  ~Server();  // stops listening and removes the socket file

  // Runs for "activate"; unset, an activation does nothing at all.
  std::function<void()> onActivate;
  // Runs for "action <id>" with the action of a known storage id and its delay (0 for none).
  std::function<void(const UtilityAction&, double delay)> onAction;

  // Listens at `path`. A socket file nobody answers at (left by a copy that
  // was killed) is removed first. False, logged, when another process listens
  // there or the socket cannot be made; while another copy listens, it tries
  // again every half second for ten seconds, in case that copy is quitting.
  bool listen(const std::string& path);
  bool isListening() const;

 private:
  static constexpr int kBusyRetryMs = 500;
  static constexpr int kBusyRetries = 20;
  void retryWhileBusy(const std::string& path, int attempt);
  void serve(QLocalSocket* connection);
  void answer(QLocalSocket* connection, const std::string& line);

  std::unique_ptr<QLocalServer> server_;
};

}  // namespace vistrel::InstanceHandOver
