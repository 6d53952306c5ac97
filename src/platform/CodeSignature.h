#pragma once
// Whether this copy is a signed release: an Ed25519 signature of the installed
// executable, checked against a release public key built into the program. A
// build from a checkout has none, so it fails. Checked at each call, not cached.

namespace vistrel::platform {

class CodeSignature {
 public:
  virtual ~CodeSignature() = default;
  virtual bool isReleaseSigned() const = 0;
};

}  // namespace vistrel::platform
