// The information dictionary of the update test's program: the real program,
// except that its build values (version, build number, channel, release key)
// are read at start from share/vistrel/subject-bundle.json in its installation
// folder, so that a test can make installations and updates of any version,
// signed with a key pair of its own, without building the program again.
// Linked ahead of the platform library, this definition replaces the one built
// from the configuration.

#include <QByteArray>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "platform/BundleInfo.h"

namespace vistrel::platform {

BundleInfo::Dictionary builtInInfoDictionary() {
  std::error_code error;
  const auto program = std::filesystem::canonical("/proc/self/exe", error);
  const auto path = program.parent_path().parent_path() / "share/vistrel/subject-bundle.json";
  QFile file(QString::fromStdString(path.string()));
  QJsonParseError parseError{};
  const QJsonDocument document =
      file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll(), &parseError) : QJsonDocument();
  if (error || !document.isObject()) {
    std::fprintf(stderr, "vistrel-update-subject: no build values in %s\n", path.c_str());
    std::exit(3);
  }
  BundleInfo::Dictionary info;
  const QJsonObject values = document.object();
  for (auto it = values.begin(); it != values.end(); ++it) {
    info.emplace(it.key().toStdString(), it.value().toString().toStdString());
  }
  return info;
}

}  // namespace vistrel::platform
