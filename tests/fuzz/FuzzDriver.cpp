// Runs a fuzz target without libFuzzer: over the seed inputs named on the
// command line, then over a fixed number of deterministic mutations of them,
// so the default test run exercises every decoder of outside data. Built with
// clang's -fsanitize=fuzzer instead, the same targets run under libFuzzer.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
  std::vector<std::string> seeds;
  for (int i = 1; i < argc; ++i) {
    std::ifstream in(argv[i], std::ios::binary);
    if (!in) {
      std::fprintf(stderr, "fuzz: cannot read seed %s\n", argv[i]);
      return 2;
    }
    seeds.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  if (seeds.empty()) seeds.emplace_back();

  std::mt19937 random(20261208);
  const char interesting[] = "{}[]\":,0123456789.-eE\\/ntfalsetrue \x00\xff\xc3\xa9";
  int runs = 0;
  for (const auto& seed : seeds) {
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(seed.data()), seed.size());
    ++runs;
    for (int round = 0; round < 4000; ++round) {
      std::string input = seed;
      const int edits = 1 + int(random() % 8);
      for (int e = 0; e < edits; ++e) {
        const std::size_t at = input.empty() ? 0 : random() % (input.size() + 1);
        switch (random() % 4) {
          case 0: input.insert(at, 1, interesting[random() % (sizeof interesting - 1)]); break;
          case 1: if (at < input.size()) input.erase(at, 1 + random() % 4); break;
          case 2: if (at < input.size()) input[at] = char(random()); break;
          default: if (!input.empty()) input.insert(at, input.substr(random() % input.size(), random() % 16)); break;
        }
      }
      if (input.size() > 1 << 16) input.resize(1 << 16);
      LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
      ++runs;
    }
  }
  std::printf("fuzz: %d inputs, no crash\n", runs);
  return 0;
}
