// Whole-program commands of the command-line tool on one big program: the time and the
// peak resident memory of each run, against the budget of 256 MiB + 20 x the file size.
//   veltrane-bench-cli VELTRANE-CLI [SEQUENCES]          default: 100000 (1,000,000 lines)
// The program: closed sequences (a start move, three straight moves, an arc closing the
// square's fourth side with a bulge, a straight move back), ten lines each, in six layers.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

std::string Program(size_t nSequences) {
  std::string p;
  const size_t nPerLayer = (nSequences + 5) / 6;
  size_t n = 0;
  for (int layer = 0; layer < 6; ++layer) {
    p += "'$Layer" + std::to_string(layer) + ":L" + std::to_string(layer) + "\r\n";
    for (size_t k = 0; k < nPerLayer && n < nSequences; ++k) {
      const std::string s = std::to_string(++n);
      p += "'$StartSeq(" + s + ")\r\ncadseq" + s + ":\r\n";
      p += "    MOVEABS(" + std::to_string((n % 300) * 30) + "," + std::to_string((n / 300) * 30) + ")\r\n";
      p += "    MOVE(20,0)\r\n    MOVE(0,20)\r\n    MOVE(-10,0)\r\n    MOVECIRC(-10,0,-5,0,1)\r\n"
           "    MOVE(0,-20)\r\n";
      p += "'$EndSeq(" + s + ")\r\n";
    }
    p += "'$EndLayer" + std::to_string(layer) + ":L" + std::to_string(layer) + "\r\n";
  }
  return p;
}

struct TRun {
  int nStatus = -1;
  double fSeconds = 0;
  long nPeakKiB = 0;
};

TRun Run(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
  TRun r;
  const auto t0 = std::chrono::steady_clock::now();
  pid_t pid = 0;
  if (posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), environ) != 0) return r;
  int status = 0;
  rusage ru{};
  wait4(pid, &status, 0, &ru);
  r.fSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  r.nStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  r.nPeakKiB = ru.ru_maxrss;
  posix_spawn_file_actions_destroy(&fa);
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: veltrane-bench-cli VELTRANE-CLI [SEQUENCES]\n");
    return 2;
  }
  const std::string cli = argv[1];
  const size_t nSequences = argc > 2 ? static_cast<size_t>(std::atol(argv[2])) : 100000;
  char dir[] = "/tmp/veltrane-bench-cli.XXXXXX";
  if (!mkdtemp(dir)) return 1;
  const std::string strProgram = std::string(dir) + "/program.bas", strOut = std::string(dir) + "/out.bas";
  const std::string text = Program(nSequences);
  std::ofstream(strProgram, std::ios::binary) << text;
  setenv("VELTRANE_SETTINGS", (std::string(dir) + "/settings.conf").c_str(), 1);
  const double fMiB = static_cast<double>(text.size()) / 1048576.0;
  const double fBudget = 256.0 + 20.0 * fMiB;
  std::printf("program: %zu sequences, %.1f MiB; budget %.0f MiB\n\n", nSequences, fMiB, fBudget);
  std::printf("| command | exit | s | peak MiB | within budget |\n|---|---|---|---|---|\n");
  const std::vector<std::vector<std::string>> commands = {
      {"check"},
      {"extents"},
      {"normalise"},
      {"table", "--format", "basic"},
      {"table", "--format", "csv"},
      {"plot", "-o", std::string(dir) + "/plot.svg"},
      {"transform", "--all", "reverse", "-o", strOut},
      {"transform", "--all", "rotate", "30", "-o", strOut},
      {"transform", "--all", "shift", "5", "5", "-o", strOut},
      {"transform", "--all", "mirror", "x", "-o", strOut},
      {"transform", "--all", "compensate", "1", "-o", strOut},
      {"transform", "--all", "fillet", "170", "0.5", "-o", strOut},
      {"transform", "--all", "leadinout", "1", "cw", "1", "cw", "-o", strOut},
      {"transform", "--all", "addend", "1", "-o", strOut},
      {"transform", "offset-terms", "on", "-o", strOut},
  };
  for (const auto& c : commands) {
    std::vector<std::string> args{cli, c[0], strProgram};
    args.insert(args.end(), c.begin() + 1, c.end());
    const TRun r = Run(args);
    std::string name;
    for (const auto& a : c)
      if (a != strOut && a != "-o" && a.find(dir) == std::string::npos) name += (name.empty() ? "" : " ") + a;
    const double fPeak = static_cast<double>(r.nPeakKiB) / 1024.0;
    std::printf("| %s | %d | %.2f | %.0f | %s |\n", name.c_str(), r.nStatus, r.fSeconds, fPeak,
                fPeak <= fBudget ? "yes" : "NO");
    std::fflush(stdout);
  }
  std::string rm = std::string("rm -rf ") + dir;
  return std::system(rm.c_str()) == 0 ? 0 : 1;
}
