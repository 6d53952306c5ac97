#pragma once
// The release-signature test: "<bundle path>.sig" holds an Ed25519 signature
// (64 raw bytes, or the same in base64) of the bundle file's bytes, made with
// the release key, whose public half the build put into the bundle's
// "SUPublicEDKey". Any failure along the way (no key, no file, unreadable,
// malformed, wrong key, changed bytes) fails the test. Nothing is cached.

#include <sodium.h>

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "platform/BundleInfo.h"
#include "platform/CodeSignature.h"

namespace vistrel::desktop {

using ReleasePublicKey = std::array<unsigned char, crypto_sign_PUBLICKEYBYTES>;
using Signature = std::array<unsigned char, crypto_sign_BYTES>;

// The bundle's "SUPublicEDKey" decoded; none when it is missing or not 32 bytes of base64.
std::optional<ReleasePublicKey> releasePublicKey(const platform::BundleInfo& bundle);
// Standard base64 with no white space inside, to exactly `size` bytes; none otherwise.
std::optional<std::string> decodeBase64(const std::string& text, std::size_t size);
// The signature in a signature file's contents: 64 raw bytes, or base64 with surrounding white space.
std::optional<Signature> signatureFromFile(const std::string& contents);
// Whether `signature` signs `message` with `key`.
bool verifySignature(const Signature& signature, std::string_view message, const ReleasePublicKey& key);

class SodiumCodeSignature : public platform::CodeSignature {
 public:
  // The running program's file and the key in its bundle.
  explicit SodiumCodeSignature(const platform::BundleInfo& bundle);
  SodiumCodeSignature(std::string bundlePath, std::optional<ReleasePublicKey> publicKey);
  bool isReleaseSigned() const override;

 private:
  std::string path_;
  std::optional<ReleasePublicKey> publicKey_;
};

}  // namespace vistrel::desktop
