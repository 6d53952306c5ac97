// vistrel-sign: the release key and what is signed with it.
//
//   vistrel-sign generate-key KEYFILE          makes a key pair: the secret key goes into KEYFILE
//                                              (made new, mode 0600), the public key is printed
//   vistrel-sign public-key KEYFILE            prints the public key (VISTREL_UPDATE_PUBLIC_KEY)
//   vistrel-sign sign-executable KEYFILE FILE  writes FILE.sig, what the release-signature test reads
//   vistrel-sign sign-archive KEYFILE FILE     prints the enclosure attributes of an update archive
//                                              for the feed: sparkle:edSignature="..." length="..."
//
// Keys and signatures are Ed25519 (libsodium) in standard base64. The secret
// key file holds libsodium's 64-byte secret key; keep it out of every source tree.

#include <fcntl.h>
#include <sodium.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

namespace {

int usage() {
  std::fputs(
      "usage: vistrel-sign generate-key KEYFILE\n"
      "       vistrel-sign public-key KEYFILE\n"
      "       vistrel-sign sign-executable KEYFILE FILE\n"
      "       vistrel-sign sign-archive KEYFILE FILE\n",
      stderr);
  return 2;
}

int fail(const std::string& message) {
  std::fprintf(stderr, "vistrel-sign: %s\n", message.c_str());
  return 1;
}

std::string base64(const unsigned char* bytes, std::size_t size) {
  std::string text(sodium_base64_ENCODED_LEN(size, sodium_base64_VARIANT_ORIGINAL), '\0');
  sodium_bin2base64(text.data(), text.size(), bytes, size, sodium_base64_VARIANT_ORIGINAL);
  text.resize(std::strlen(text.c_str()));
  return text;
}

std::optional<std::string> readFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return std::nullopt;
  return bytes;
}

// Writes `text` to a new file (never over an existing one, never through a link).
bool writeNewFile(const char* path, const std::string& text, mode_t mode) {
  const int fd = ::open(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
  if (fd < 0) return false;
  const bool written = ::write(fd, text.data(), text.size()) == ssize_t(text.size());
  return ::close(fd) == 0 && written;
}

struct SecretKey {
  unsigned char bytes[crypto_sign_SECRETKEYBYTES];
};

std::optional<SecretKey> readSecretKey(const char* path) {
  auto text = readFile(path);
  if (!text) return std::nullopt;
  while (!text->empty() && (text->back() == '\n' || text->back() == '\r' || text->back() == ' ')) text->pop_back();
  SecretKey key{};
  std::size_t length = 0;
  if (sodium_base642bin(key.bytes, sizeof key.bytes, text->data(), text->size(), nullptr, &length, nullptr,
                        sodium_base64_VARIANT_ORIGINAL) != 0 ||
      length != sizeof key.bytes) {
    sodium_memzero(text->data(), text->size());
    return std::nullopt;
  }
  sodium_memzero(text->data(), text->size());
  return key;
}

std::string publicKeyOf(const SecretKey& key) {
  unsigned char publicKey[crypto_sign_PUBLICKEYBYTES];
  crypto_sign_ed25519_sk_to_pk(publicKey, key.bytes);
  return base64(publicKey, sizeof publicKey);
}

std::string signature(const SecretKey& key, const std::string& message) {
  unsigned char signature[crypto_sign_BYTES];
  crypto_sign_detached(signature, nullptr, reinterpret_cast<const unsigned char*>(message.data()), message.size(),
                       key.bytes);
  return base64(signature, sizeof signature);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return usage();
  if (sodium_init() < 0) return fail("libsodium cannot start (no secure random source)");
  const std::string command = argv[1];
  const char* keyFile = argv[2];

  if (command == "generate-key" && argc == 3) {
    unsigned char publicKey[crypto_sign_PUBLICKEYBYTES];
    SecretKey key{};
    crypto_sign_keypair(publicKey, key.bytes);
    const bool saved = writeNewFile(keyFile, base64(key.bytes, sizeof key.bytes) + "\n", 0600);
    sodium_memzero(key.bytes, sizeof key.bytes);
    if (!saved) return fail(std::string("cannot make the new key file ") + keyFile + ": " + std::strerror(errno));
    std::printf("%s\n", base64(publicKey, sizeof publicKey).c_str());
    return 0;
  }

  if (command != "public-key" && !(argc == 4 && (command == "sign-executable" || command == "sign-archive"))) {
    return usage();
  }
  auto key = readSecretKey(keyFile);
  if (!key) return fail(std::string("no secret key in ") + keyFile);
  int status = 0;
  if (command == "public-key") {
    std::printf("%s\n", publicKeyOf(*key).c_str());
  } else {
    const char* file = argv[3];
    const auto message = readFile(file);
    if (!message) {
      status = fail(std::string("cannot read ") + file);
    } else if (command == "sign-executable") {
      const std::string target = std::string(file) + ".sig";
      ::unlink(target.c_str());
      if (!writeNewFile(target.c_str(), signature(*key, *message) + "\n", 0644)) {
        status = fail("cannot write " + target + ": " + std::strerror(errno));
      }
    } else {
      std::printf("sparkle:edSignature=\"%s\" length=\"%zu\"\n", signature(*key, *message).c_str(), message->size());
    }
  }
  sodium_memzero(key->bytes, sizeof key->bytes);
  return status;
}
