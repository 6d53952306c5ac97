#pragma once
// Points the diagnostic log at a private temporary file for the lifetime of
// the object, and reads back what was written.

#include <QTemporaryDir>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "base/LayoutLog.h"

namespace vistrel::testing {

class TempLog {
 public:
  TempLog() : path_(dir_.filePath("layout.log").toStdString()) { LayoutLog::setPathForTesting(path_); }
  ~TempLog() { LayoutLog::setPathForTesting(LayoutLog::kPath); }
  TempLog(const TempLog&) = delete;
  TempLog& operator=(const TempLog&) = delete;

  const std::string& path() const { return path_; }
  // The whole file, timestamps included ("" when nothing was written).
  std::string text() const {
    std::ifstream in(path_);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  // The messages without their timestamps, in order.
  std::vector<std::string> messages() const {
    std::ifstream in(path_);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line.substr(line.find(' ') + 1));
    return lines;
  }

 private:
  QTemporaryDir dir_;
  std::string path_;
};

}  // namespace vistrel::testing
