#pragma once
// The user's settings as one JSON document, "defaults.json" in the settings
// folder. It is read once when made; every change rewrites the whole document
// atomically. A document that cannot be read is moved aside and the settings
// start empty; a change that cannot be written still holds for this run.

#include <QJsonObject>

#include <mutex>
#include <string>

#include "platform/UserDefaults.h"

namespace vistrel::desktop {

class JsonUserDefaults : public platform::UserDefaults {
 public:
  // `directory` holds the document; it is made (0700) on the first change.
  explicit JsonUserDefaults(std::string directory);

  std::optional<Value> value(const std::string& key) const override;
  void set(const std::string& key, Value value) override;
  void remove(const std::string& key) override;

  const std::string& documentPath() const { return path_; }

 private:
  void load();
  void moveAside(const std::string& reason);
  void save();

  std::string directory_;
  std::string path_;
  // Entries of shapes the settings do not use stay in here untouched, so a
  // rewrite never loses them.
  QJsonObject document_;
  mutable std::mutex mutex_;
};

}  // namespace vistrel::desktop
