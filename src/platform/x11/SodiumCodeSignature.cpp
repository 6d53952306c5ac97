#include "platform/x11/SodiumCodeSignature.h"

#include <QByteArray>
#include <QFile>
#include <algorithm>
#include <optional>

namespace vistrel::x11 {

const ReleasePublicKey kReleasePublicKey = {
    0xc5, 0x6b, 0x91, 0x00, 0xe6, 0xdd, 0x4d, 0x0c,  //
    0x01, 0xa2, 0x86, 0xec, 0x44, 0x43, 0x57, 0x1a,  //
    0x94, 0x03, 0x76, 0x62, 0x35, 0xda, 0xe0, 0x41,  //
    0xce, 0xb8, 0x97, 0xfd, 0x58, 0x06, 0xb8, 0xca,
};

namespace {

// A signature file larger than this is not one of ours.
constexpr qint64 kMaxSignatureFileSize = 4096;

std::optional<QByteArray> readFile(const std::string& path, qint64 limit) {
  QFile file(QString::fromStdString(path));
  if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
  if (limit > 0 && file.size() > limit) return std::nullopt;
  QByteArray bytes = file.readAll();
  if (file.error() != QFileDevice::NoError) return std::nullopt;
  return bytes;
}

// The 64 signature bytes from the file's contents: raw, or base64 with
// surrounding white space.
std::optional<std::array<unsigned char, crypto_sign_BYTES>> signatureBytes(const QByteArray& contents) {
  std::array<unsigned char, crypto_sign_BYTES> signature{};
  if (contents.size() == crypto_sign_BYTES) {
    std::copy(contents.begin(), contents.end(), signature.begin());
    return signature;
  }
  const QByteArray text = contents.trimmed();
  std::size_t length = 0;
  const char* end = nullptr;
  if (sodium_base642bin(signature.data(), signature.size(), text.constData(), std::size_t(text.size()), nullptr,
                        &length, &end, sodium_base64_VARIANT_ORIGINAL) != 0 ||
      length != crypto_sign_BYTES || end != text.constData() + text.size()) {
    return std::nullopt;
  }
  return signature;
}

}  // namespace

SodiumCodeSignature::SodiumCodeSignature(std::string bundlePath, const ReleasePublicKey& publicKey)
    : path_(std::move(bundlePath)), publicKey_(publicKey) {}

bool SodiumCodeSignature::isReleaseSigned() const {
  // Safe to call more than once; fails only when no secure random source exists.
  if (path_.empty() || sodium_init() < 0) return false;
  const auto signatureFile = readFile(path_ + ".sig", kMaxSignatureFileSize);
  if (!signatureFile) return false;
  const auto signature = signatureBytes(*signatureFile);
  if (!signature) return false;
  const auto bundle = readFile(path_, 0);
  if (!bundle) return false;
  return crypto_sign_verify_detached(signature->data(), reinterpret_cast<const unsigned char*>(bundle->constData()),
                                     static_cast<unsigned long long>(bundle->size()), publicKey_.data()) == 0;
}

}  // namespace vistrel::x11
