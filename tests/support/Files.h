#pragma once
// Whole-file reads and writes for tests that check what landed on disk.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QString>

namespace vistrel::testing {

// The file's bytes; empty when it cannot be read.
inline QByteArray readFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline void writeFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write(bytes);
}

}  // namespace vistrel::testing
