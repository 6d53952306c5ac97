#pragma once
// The release-signature test: "<bundle path>.sig" holds an Ed25519 signature
// (64 raw bytes, or the same in base64) of the bundle file's bytes, made with
// the release key. Any failure along the way (no file, unreadable, malformed,
// wrong key, changed bytes) fails the test. Nothing is cached.

#include <sodium.h>

#include <array>
#include <string>

#include "platform/CodeSignature.h"

namespace vistrel::x11 {

using ReleasePublicKey = std::array<unsigned char, crypto_sign_PUBLICKEYBYTES>;

// The public half of the key release builds are signed with.
extern const ReleasePublicKey kReleasePublicKey;

class SodiumCodeSignature : public platform::CodeSignature {
 public:
  explicit SodiumCodeSignature(std::string bundlePath, const ReleasePublicKey& publicKey = kReleasePublicKey);
  bool isReleaseSigned() const override;

 private:
  std::string path_;
  ReleasePublicKey publicKey_;
};

}  // namespace vistrel::x11
