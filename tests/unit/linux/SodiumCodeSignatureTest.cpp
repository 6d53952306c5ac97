#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "platform/linux/update/SodiumCodeSignature.h"

namespace vistrel::desktop {
namespace {

class SodiumCodeSignatureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_GE(sodium_init(), 0);
    crypto_sign_keypair(publicKey.data(), secretKey.data());
    ASSERT_TRUE(dir.isValid());
    write(executable, QByteArray("\x7f"
                                 "ELF a program of ours",
                                 24));
  }

  static void write(const std::string& path, const QByteArray& bytes) {
    QFile file(QString::fromStdString(path));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
  }

  QByteArray sign(const QByteArray& message) const {
    QByteArray signature(crypto_sign_BYTES, '\0');
    crypto_sign_detached(reinterpret_cast<unsigned char*>(signature.data()), nullptr,
                         reinterpret_cast<const unsigned char*>(message.constData()), message.size(), secretKey.data());
    return signature;
  }

  QByteArray executableBytes() const {
    QFile file(QString::fromStdString(executable));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return file.readAll();
  }

  ReleasePublicKey publicKey{};
  std::array<unsigned char, crypto_sign_SECRETKEYBYTES> secretKey{};
  QTemporaryDir dir;
  std::string executable = dir.filePath(QStringLiteral("vistrel")).toStdString();
};

// A signature of the executable's bytes passes, raw or in base64 with a line break.
TEST_F(SodiumCodeSignatureTest, SignedExecutablePasses) {
  const QByteArray signature = sign(executableBytes());
  write(executable + ".sig", signature);
  EXPECT_TRUE(SodiumCodeSignature(executable, publicKey).isReleaseSigned());
  write(executable + ".sig", signature.toBase64() + "\n");
  EXPECT_TRUE(SodiumCodeSignature(executable, publicKey).isReleaseSigned());
}

// No signature, a malformed one, no key, or a changed executable all fail; nothing is cached.
TEST_F(SodiumCodeSignatureTest, Failures) {
  const SodiumCodeSignature check(executable, publicKey);
  EXPECT_FALSE(check.isReleaseSigned());

  const QByteArray signature = sign(executableBytes());
  for (const QByteArray& malformed : {QByteArray(), signature.left(63), signature.toBase64().left(80),
                                      signature.toBase64() + "!", QByteArray(5000, 'A')}) {
    write(executable + ".sig", malformed);
    EXPECT_FALSE(check.isReleaseSigned()) << malformed.size();
  }

  write(executable + ".sig", signature);
  EXPECT_TRUE(check.isReleaseSigned());
  EXPECT_FALSE(SodiumCodeSignature(executable, std::nullopt).isReleaseSigned());  // a build without a key

  QByteArray tampered = executableBytes();
  tampered[5] = char(tampered[5] ^ 1);
  write(executable, tampered);
  EXPECT_FALSE(check.isReleaseSigned());

  EXPECT_FALSE(SodiumCodeSignature(dir.filePath(QStringLiteral("missing")).toStdString(), publicKey).isReleaseSigned());
  EXPECT_FALSE(SodiumCodeSignature("", publicKey).isReleaseSigned());
}

}  // namespace
}  // namespace vistrel::desktop
