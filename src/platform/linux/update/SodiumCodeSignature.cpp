#include "platform/linux/update/SodiumCodeSignature.h"

#include <QByteArray>
#include <QFile>
#include <algorithm>

namespace vistrel::desktop {

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

}  // namespace

std::optional<std::string> decodeBase64(const std::string& text, std::size_t size) {
  // Safe to call more than once; fails only when no secure random source exists.
  if (sodium_init() < 0) return std::nullopt;
  std::string bytes(size, '\0');
  std::size_t length = 0;
  const char* end = nullptr;
  if (sodium_base642bin(reinterpret_cast<unsigned char*>(bytes.data()), bytes.size(), text.data(), text.size(),
                        nullptr, &length, &end, sodium_base64_VARIANT_ORIGINAL) != 0 ||
      length != size || end != text.data() + text.size()) {
    return std::nullopt;
  }
  return bytes;
}

std::optional<ReleasePublicKey> releasePublicKey(const platform::BundleInfo& bundle) {
  const auto text = bundle.infoString("SUPublicEDKey");
  if (!text) return std::nullopt;
  const auto bytes = decodeBase64(*text, crypto_sign_PUBLICKEYBYTES);
  if (!bytes) return std::nullopt;
  ReleasePublicKey key{};
  std::copy(bytes->begin(), bytes->end(), key.begin());
  return key;
}

std::optional<Signature> signatureFromFile(const std::string& contents) {
  Signature signature{};
  if (contents.size() == crypto_sign_BYTES) {
    std::copy(contents.begin(), contents.end(), signature.begin());
    return signature;
  }
  const QByteArray text = QByteArray::fromStdString(contents).trimmed();
  const auto bytes = decodeBase64(text.toStdString(), crypto_sign_BYTES);
  if (!bytes) return std::nullopt;
  std::copy(bytes->begin(), bytes->end(), signature.begin());
  return signature;
}

bool verifySignature(const Signature& signature, std::string_view message, const ReleasePublicKey& key) {
  if (sodium_init() < 0) return false;
  return crypto_sign_verify_detached(signature.data(), reinterpret_cast<const unsigned char*>(message.data()),
                                     message.size(), key.data()) == 0;
}

SodiumCodeSignature::SodiumCodeSignature(const platform::BundleInfo& bundle)
    : SodiumCodeSignature(bundle.bundlePath(), releasePublicKey(bundle)) {}

SodiumCodeSignature::SodiumCodeSignature(std::string bundlePath, std::optional<ReleasePublicKey> publicKey)
    : path_(std::move(bundlePath)), publicKey_(publicKey) {}

bool SodiumCodeSignature::isReleaseSigned() const {
  if (path_.empty() || !publicKey_) return false;
  const auto signatureFile = readFile(path_ + ".sig", kMaxSignatureFileSize);
  if (!signatureFile) return false;
  const auto signature = signatureFromFile(signatureFile->toStdString());
  if (!signature) return false;
  const auto bundle = readFile(path_, 0);
  if (!bundle) return false;
  return verifySignature(*signature, std::string_view(bundle->constData(), std::size_t(bundle->size())), *publicKey_);
}

}  // namespace vistrel::desktop
