// A main for the fuzz targets when they are built without libFuzzer (gcc, CI):
//   fuzz_x FILE|DIR ...                replays each input (a crash reproduces under gdb)
//   fuzz_x --mutate N --seconds S DIR  also runs up to N seeded mutations of the inputs,
//                                      stopping after S seconds
// It is a smoke run, not a coverage-guided search; scripts/fuzz runs libFuzzer for that.
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

std::string Read(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// The input being run, written out when the target crashes so it can be replayed.
const std::string* g_pCurrent = nullptr;

extern "C" void OnCrash(int nSignal) {
  if (g_pCurrent) {
    if (FILE* f = std::fopen("fuzz-crash-input", "wb")) {
      std::fwrite(g_pCurrent->data(), 1, g_pCurrent->size(), f);
      std::fclose(f);
    }
    std::fprintf(stderr, "crash on signal %d; input written to ./fuzz-crash-input\n", nSignal);
  }
  std::signal(nSignal, SIG_DFL);
  std::raise(nSignal);
}

void Run(const std::string& s) {
  g_pCurrent = &s;
  LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(s.data()), s.size());
}

// Byte flips, insertions of interesting tokens, deletions and splices.
std::string Mutate(std::string s, std::mt19937& rng, const std::vector<std::string>& inputs) {
  static const char* tokens[] = {"(", ")", ",", "+", "-", ":", "'", "\n", "\r", "\"", "\\",
                                 "1e308", "nan", "-0", "MOVECIRC(", "MOVEABS(", "MOVE(", "'$StartSeq(",
                                 "'$EndSeq(", "1", "0", "99999999999", "[", "]", "=sz:\"", "=dword:",
                                 "=hex:", "\\x", ".", "e+", "ma(", "\t", " "};
  int n = 1 + static_cast<int>(rng() % 8);
  for (int i = 0; i < n; ++i) {
    size_t pos = s.empty() ? 0 : rng() % (s.size() + 1);
    switch (rng() % 5) {
      case 0:
        if (!s.empty() && pos < s.size()) s[pos] = static_cast<char>(rng());
        break;
      case 1:
        s.insert(pos, tokens[rng() % (sizeof tokens / sizeof *tokens)]);
        break;
      case 2:
        if (!s.empty() && pos < s.size()) s.erase(pos, 1 + rng() % 16);
        break;
      case 3: {
        const std::string& o = inputs[rng() % inputs.size()];
        if (!o.empty()) {
          size_t from = rng() % o.size();
          s.insert(pos, o.substr(from, 1 + rng() % 64));
        }
        break;
      }
      default:
        if (!s.empty() && pos < s.size()) s.insert(pos, s.substr(pos, 1 + rng() % 32));
    }
  }
  if (s.size() > 1 << 16) s.resize(1 << 16);
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  long nMutations = 0;
  double fSeconds = 10;
  unsigned nSeed = 1;
  std::vector<std::string> inputs;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--mutate" && i + 1 < argc) {
      nMutations = std::atol(argv[++i]);
    } else if (a == "--seconds" && i + 1 < argc) {
      fSeconds = std::atof(argv[++i]);
    } else if (a == "--seed" && i + 1 < argc) {
      nSeed = static_cast<unsigned>(std::atol(argv[++i]));
    } else if (std::filesystem::is_directory(a)) {
      for (const auto& e : std::filesystem::directory_iterator(a))
        if (e.is_regular_file()) inputs.push_back(Read(e.path()));
    } else {
      inputs.push_back(Read(a));
    }
  }
  if (inputs.empty()) inputs.emplace_back();
  for (int sig : {SIGABRT, SIGSEGV, SIGFPE, SIGILL}) std::signal(sig, OnCrash);
#ifdef SIGBUS
  std::signal(SIGBUS, OnCrash);
#endif
  for (const auto& s : inputs) Run(s);
  std::mt19937 rng(nSeed);
  auto start = std::chrono::steady_clock::now();
  long nDone = 0;
  for (; nDone < nMutations; ++nDone) {
    if (nDone % 256 == 0 &&
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() > fSeconds)
      break;
    std::string s = Mutate(inputs[rng() % inputs.size()], rng, inputs);
    Run(s);
    if (rng() % 8 == 0) inputs.push_back(std::move(s));  // grow the pool a little
    if (inputs.size() > 4096) inputs.resize(2048);
  }
  std::printf("%zu inputs replayed, %ld mutations run\n", inputs.size(), nDone);
  return 0;
}
