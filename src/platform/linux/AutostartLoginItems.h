#pragma once
// Starting at login through an XDG autostart entry, "vistrel.desktop" in the
// user's autostart folder. The entry is the only truth: status is read from
// the file at each call.

#include <string>

#include "platform/LoginItems.h"

namespace vistrel::desktop {

class AutostartLoginItems : public platform::LoginItems {
 public:
  // `directory` is the autostart folder ($XDG_CONFIG_HOME/autostart); `program`
  // is the file to start (the bundle path).
  AutostartLoginItems(std::string directory, std::string program);

  // Enabled when the entry exists, starts `program` and is not hidden or
  // switched off; not registered otherwise.
  platform::LoginItemStatus status() const override;
  std::optional<std::string> registerItem() override;
  // An entry that is already gone counts as success.
  std::optional<std::string> unregisterItem() override;

  const std::string& entryPath() const { return path_; }
  // The text of the entry registerItem writes.
  std::string entryText() const;

 private:
  std::string directory_;
  std::string path_;
  std::string program_;
};

// `path` as the Exec value of a desktop entry: quoted when it holds a reserved
// character, with "%" doubled and the string escapes applied, so that a
// launcher runs exactly `path`.
std::string desktopEntryExec(const std::string& path);

}  // namespace vistrel::desktop
