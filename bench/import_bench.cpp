// Import benchmark: generates nesting sheets of N entities (rounded rectangles, holes and
// slots, in shuffled order with random orientation), writes each as a DXF file, and
// times the import's phases. Each size runs in its own process so that peak memory is
// that size's own. Drawings where many ends meet at one point (a stack of one line, the
// same either way round, a star, a grid of touching squares) are timed whole, read to
// write, with --shapes.
//   veltrane-bench-import [--repeat K] [N ...]           default: 1000 10000 100000 1000000
//   veltrane-bench-import --shapes [--repeat K] [N ...]  default: 10000 20000 40000
// With --repeat each case runs K times; a summary gives the medians, the time per entity
// and its ratio to the first size's.
//   veltrane-bench-import --compare [--repeat K] [N ...]  default: 10000 100000 1000000
// sets the whole import (read, chain, order, write the program file, as the command-line
// tool runs it) beside a bare read and split of the file into trimmed lines (raw, the
// floor of any reader) and beside dxflib's parse with counting callbacks (when built with
// dxflib): each in its own process, in alternating rounds, CPU time and peak memory
// of that process alone.
//   veltrane-bench-import --write N FILE                writes the sheet of N entities
// --plain leaves the options out (their columns show 0): the plain import's phases alone,
// for comparing two builds quickly.
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "dxf/DXFChain.h"
#include "dxf/DXFDedupe.h"
#include "dxf/DXFIn.h"
#include "dxf/DXFTravel.h"
#include "model/LargeArrays.h"
#include "model/TextFile.h"

#ifdef VELTRANE_HAVE_DXFLIB
#include "DxflibParse.h"
#endif

using namespace veltrane;

namespace {

std::string N(double f) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.6f", f);
  return buf;
}

// One part: a rounded rectangle (4 lines, 4 arcs), a hole and a slot (an LWPOLYLINE of
// 4 segments), 10 entities in all, each shape's pieces in random orientation.
std::string Sheet(size_t nEntities, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<std::string> ents;
  size_t nParts = std::max<size_t>(1, nEntities / 10);
  size_t nCols = static_cast<size_t>(std::ceil(std::sqrt(static_cast<double>(nParts))));
  auto line = [&](double x0, double y0, double x1, double y1) {
    if (rng() & 1) std::swap(x0, x1), std::swap(y0, y1);
    ents.push_back("0\nLINE\n8\nPARTS\n10\n" + N(x0) + "\n20\n" + N(y0) + "\n11\n" + N(x1) +
                   "\n21\n" + N(y1) + "\n");
  };
  auto arc = [&](double cx, double cy, double r, double a0, double a1) {
    ents.push_back("0\nARC\n8\nPARTS\n10\n" + N(cx) + "\n20\n" + N(cy) + "\n40\n" + N(r) +
                   "\n50\n" + N(a0) + "\n51\n" + N(a1) + "\n");
  };
  for (size_t p = 0; p < nParts; ++p) {
    double x = static_cast<double>(p % nCols) * 60, y = static_cast<double>(p / nCols) * 40;
    double w = 50, h = 30, r = 4;
    line(x + r, y, x + w - r, y);
    arc(x + w - r, y + r, r, 270, 360);
    line(x + w, y + r, x + w, y + h - r);
    arc(x + w - r, y + h - r, r, 0, 90);
    line(x + w - r, y + h, x + r, y + h);
    arc(x + r, y + h - r, r, 90, 180);
    line(x, y + h - r, x, y + r);
    arc(x + r, y + r, r, 180, 270);
    ents.push_back("0\nCIRCLE\n8\nPARTS\n10\n" + N(x + 10) + "\n20\n" + N(y + 15) + "\n40\n3\n");
    ents.push_back("0\nLWPOLYLINE\n8\nPARTS\n90\n4\n70\n1\n10\n" + N(x + 25) + "\n20\n" +
                   N(y + 12) + "\n10\n" + N(x + 40) + "\n20\n" + N(y + 12) + "\n42\n1\n10\n" +
                   N(x + 40) + "\n20\n" + N(y + 18) + "\n10\n" + N(x + 25) + "\n20\n" + N(y + 18) +
                   "\n42\n1\n");
  }
  std::shuffle(ents.begin(), ents.end(), rng);
  std::string s =
      "0\nSECTION\n2\nTABLES\n0\nTABLE\n2\nLAYER\n0\nLAYER\n2\nPARTS\n70\n0\n0\nENDTAB\n0\nENDSEC"
      "\n";
  s += "0\nSECTION\n2\nENTITIES\n";
  for (const auto& e : ents) s += e;
  s += "0\nENDSEC\n0\nEOF\n";
  return s;
}

double Seconds(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b);
bool g_bPlain = false;

const char* const c_Shapes[] = {"identical", "identical either way", "star", "grid of squares",
                                "short, either way"};
constexpr int c_nShapes = 5;

// N lines of one shape; the grid has as many squares as make about N lines.
std::string Shape(int nShape, size_t nLines, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<std::string> ents;
  auto line = [&](double x0, double y0, double x1, double y1, bool bSwap) {
    if (bSwap) std::swap(x0, x1), std::swap(y0, y1);
    std::string e = "0\nLINE\n8\nPARTS\n10\n";
    e += N(x0);
    e += "\n20\n";
    e += N(y0);
    e += "\n11\n";
    e += N(x1);
    e += "\n21\n";
    e += N(y1);
    e += "\n";
    ents.push_back(std::move(e));
  };
  if (nShape == 3) {
    size_t k = std::max<size_t>(1, static_cast<size_t>(std::sqrt(static_cast<double>(nLines) / 4)));
    for (size_t i = 0; i < k; ++i)
      for (size_t j = 0; j < k; ++j) {
        double x = static_cast<double>(i) * 10, y = static_cast<double>(j) * 10;
        line(x, y, x + 10, y, rng() & 1);
        line(x + 10, y, x + 10, y + 10, rng() & 1);
        line(x + 10, y + 10, x, y + 10, rng() & 1);
        line(x, y + 10, x, y, rng() & 1);
      }
    std::shuffle(ents.begin(), ents.end(), rng);
  } else {
    for (size_t i = 0; i < nLines; ++i) {
      if (nShape == 2) {
        double a = static_cast<double>(i) * 2 * 3.141592653589793 / static_cast<double>(nLines);
        line(0, 0, 100 * std::cos(a), 100 * std::sin(a), rng() & 1);
      } else {
        // Short: within four search widths at the shapes' matching of 0.01, so that both
        // ends of each copy lie in one step's box.
        line(0, 0, nShape == 4 ? 0.02 : 100, 0, (nShape == 1 || nShape == 4) && (i & 1));
      }
    }
  }
  std::string s =
      "0\nSECTION\n2\nTABLES\n0\nTABLE\n2\nLAYER\n0\nLAYER\n2\nPARTS\n70\n0\n0\nENDTAB\n0\nENDSEC"
      "\n";
  s += "0\nSECTION\n2\nENTITIES\n";
  for (const auto& e : ents) s += e;
  s += "0\nENDSEC\n0\nEOF\n";
  return s;
}

// Read, chain, order and write of one shape; the total in seconds goes to fdOut.
int RunShapeUnchecked(int nShape, size_t nLines, int fdOut) {
  KeepFreedMemory();  // as the command-line import runs
  std::string path = "/tmp/veltrane-bench-" + std::to_string(::getpid()) + ".dxf";
  WriteFileAtomically(path, Shape(nShape, nLines, 42));
  auto t0 = std::chrono::steady_clock::now();
  TFixedImportAnswers answers(path);
  TDXFIn in(&answers, nullptr);
  in.SetMatching(true, 0.01);
  in.ReadFile();
  auto t1 = std::chrono::steady_clock::now();
  auto& L = in.Records(0);
  const size_t nRecords = L.size();
  TIntList squences;
  SortList(L, in.Vertices(), in.MatchTestLimit(), in.CoincidenceTestLimit(), 1, squences, nullptr, true);
  auto t2 = std::chrono::steady_clock::now();
  QueueSeq(L, squences, 1, in.CoincidenceTestLimit());
  auto t3 = std::chrono::steady_clock::now();
  TStringList program;
  TLayerContent content;
  in.TranslateList(program, content);
  SaveLines(path + ".bas", program);
  auto t4 = std::chrono::steady_clock::now();
  std::printf("| %-20s | %7zu | %7d | %7.3f | %7.3f | %7.3f | %7.3f | %7.3f |\n", c_Shapes[nShape],
              nRecords, squences.Count(), Seconds(t0, t1), Seconds(t1, t2), Seconds(t2, t3),
              Seconds(t3, t4), Seconds(t0, t4));
  const double fTotal = Seconds(t0, t4);
  if (fdOut >= 0 && ::write(fdOut, &fTotal, sizeof fTotal) != static_cast<ssize_t>(sizeof fTotal))
    return 1;
  std::remove(path.c_str());
  std::remove((path + ".bas").c_str());
  return 0;
}

double Seconds(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

int RunOneUnchecked(size_t nEntities, int fdOut) {
  KeepFreedMemory();  // as the command-line import runs
  std::string path = "/tmp/veltrane-bench-" + std::to_string(::getpid()) + ".dxf";
  WriteFileAtomically(path, Sheet(nEntities, 42));
  auto t0 = std::chrono::steady_clock::now();
  TFixedImportAnswers answers(path);
  TDXFIn in(&answers, nullptr);
  // A fixed tolerance: relative matching on a sheet metres wide would join the features.
  in.SetMatching(true, 0.01);
  in.ReadFile();
  const double fRead = Seconds(t0, std::chrono::steady_clock::now());
  auto& L = in.Records(0);
  size_t nRecords = L.size();
  // Duplicates looked for on a copy: the sheet has none, so this is what the option costs.
  double fDedupe = 0.0, fInnerFirst = 0.0, fOptimise = 0.0;
  if (!g_bPlain) {
    std::vector<TDXFEntity> deduped = L;
    const auto td0 = std::chrono::steady_clock::now();
    RemoveDuplicateRecords(deduped, in.MatchTestLimit());
    fDedupe = Seconds(td0, std::chrono::steady_clock::now());
  }
  // The inner-first order of the same paths, timed on a copy (containment and queue),
  // chained as the import chains for that order: the paths in the order of their numbers.
  TInnerFirst inner;
  inner.fTouch = in.MatchTestLimit();
  if (!g_bPlain) {
    std::vector<TDXFEntity> innerFirst = L;
    TIntList numbers;
    SortList(innerFirst, in.Vertices(), in.MatchTestLimit(), in.CoincidenceTestLimit(), 1, numbers);
    const auto ti0 = std::chrono::steady_clock::now();
    QueueSeq(innerFirst, numbers, 1, in.CoincidenceTestLimit(), &inner);
    fInnerFirst = Seconds(ti0, std::chrono::steady_clock::now());
  }
  // The plain order's paths stand as they were made.
  const auto t1 = std::chrono::steady_clock::now();
  TIntList squences;
  SortList(L, in.Vertices(), in.MatchTestLimit(), in.CoincidenceTestLimit(), 1, squences, nullptr, true);
  const double fChain = Seconds(t1, std::chrono::steady_clock::now());
  const auto tq0 = std::chrono::steady_clock::now();
  QueueSeq(L, squences, 1, in.CoincidenceTestLimit());
  const double fOrder = Seconds(tq0, std::chrono::steady_clock::now());
  // Shorter travel from the greedy order, timed on a copy.
  TTravelResult travel;
  if (!g_bPlain) {
    std::vector<TDXFEntity> optimised = L;
    const auto to0 = std::chrono::steady_clock::now();
    travel = OptimiseTravel(optimised, 1, in.CoincidenceTestLimit(), {});
    fOptimise = Seconds(to0, std::chrono::steady_clock::now());
  }
  const auto tw0 = std::chrono::steady_clock::now();
  TStringList program;
  TLayerContent content;
  in.TranslateList(program, content);
  SaveLines(path + ".bas", program);
  const double fWrite = Seconds(tw0, std::chrono::steady_clock::now());
  struct rusage ru {};
  getrusage(RUSAGE_SELF, &ru);
  // The plain import's phases; the options, timed on copies, stand apart.
  const double fTotal = fRead + fChain + fOrder + fWrite;
  std::printf(
      "| %9zu | %9zu | %8d | %7.3f | %7.3f | %7.3f | %7.3f | %7.3f | %6.2f | %8.0f | %8.3f | %8zu "
      "| %8.3f | "
      "%8.3f | %10.0f | %10.0f |\n",
      nEntities, nRecords, squences.Count(), fRead, fChain, fOrder, fWrite, fTotal,
      fTotal * 1e6 / static_cast<double>(nEntities), static_cast<double>(ru.ru_maxrss) / 1024.0,
      fInnerFirst, inner.nInside, fDedupe, fOptimise, travel.fBefore, travel.fAfter);
  if (fdOut >= 0 && ::write(fdOut, &fTotal, sizeof fTotal) != static_cast<ssize_t>(sizeof fTotal))
    return 1;
  std::remove(path.c_str());
  std::remove((path + ".bas").c_str());
  return 0;
}

template <class F>
int Checked(const char* what, F f) {
  try {
    return f();
  } catch (const std::exception& e) {
    std::printf("| %s | %s\n", what, e.what());
    return 1;
  }
}

// Runs f in a child process (peak memory its own); its total, or -1 when it failed.
template <class F>
double InChild(F f) {
  int fds[2];
  if (::pipe(fds) != 0) return -1;
  std::fflush(stdout);
  pid_t pid = fork();
  if (pid == 0) {
    ::close(fds[0]);
    int rc = f(fds[1]);
    std::fflush(stdout);
    _exit(rc);
  }
  ::close(fds[1]);
  double fTotal = -1;
  if (::read(fds[0], &fTotal, sizeof fTotal) != static_cast<ssize_t>(sizeof fTotal)) fTotal = -1;
  ::close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) std::printf("| failed (status %d)\n", status);
  return fTotal;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0.0 : v[v.size() / 2];
}

// The floor: the file read whole and split into lines trimmed of blanks, nothing more.
int RawScan(const std::string& strPath) {
  std::FILE* f = std::fopen(strPath.c_str(), "rb");
  if (!f) return 1;
  std::string buf;
  if (std::fseek(f, 0, SEEK_END) == 0) {
    const long nSize = std::ftell(f);
    if (nSize > 0) buf.reserve(static_cast<size_t>(nSize));
    std::rewind(f);
  }
  char chunk[1 << 16];
  size_t n = 0;
  while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) buf.append(chunk, n);
  std::fclose(f);
  size_t nLines = 0, nChars = 0;
  const char* p = buf.data();
  const char* end = p + buf.size();
  while (p < end) {
    const char* q = p;
    while (q < end && *q != '\n' && *q != '\r') ++q;
    const char* a = p;
    const char* b = q;
    while (a < b && static_cast<unsigned char>(*a) <= ' ') ++a;
    while (b > a && static_cast<unsigned char>(b[-1]) <= ' ') --b;
    ++nLines;
    nChars += static_cast<size_t>(b - a);
    p = q < end && *q == '\r' && q + 1 < end && q[1] == '\n' ? q + 2 : q + 1;
  }
  return nLines > 0 && nChars > 0 ? 0 : 1;
}

// The whole import as the command-line tool runs it: the program goes to a file.
int WholeImport(const std::string& strPath) {
  KeepFreedMemory();
  TFixedImportAnswers answers(strPath);
  TDXFIn in(&answers, nullptr);
  in.SetMatching(true, 0.01);
  TStringList program;
  TLayerContent content;
  in.Import(program, content);
  SaveLines(strPath + ".bas", program);
  return program.empty() ? 1 : 0;
}

struct TChildCost {
  double fCpu = -1;  // user + system seconds
  double fSys = 0;   // of which system: mostly the faults of fresh memory
  double fPeakMiB = 0;
};

// Runs f in a child process and measures that process alone.
template <class F>
TChildCost Measure(F f) {
  std::fflush(stdout);
  const pid_t pid = fork();
  if (pid == 0) {
    int rc = 1;
    try {
      rc = f();
    } catch (const std::exception& e) {
      std::printf("| failed: %s\n", e.what());
    }
    std::fflush(stdout);
    _exit(rc);
  }
  int status = 0;
  struct rusage ru {};
  if (wait4(pid, &status, 0, &ru) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
    return {};
  auto sec = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
  };
  return {sec(ru.ru_utime) + sec(ru.ru_stime), sec(ru.ru_stime), static_cast<double>(ru.ru_maxrss) / 1024.0};
}

int Compare(std::vector<size_t> sizes, int nRepeat) {
  if (sizes.empty()) sizes = {10000, 100000, 1000000};
#ifdef VELTRANE_HAVE_DXFLIB
  const bool bDxflib = true;
#else
  const bool bDxflib = false;
  std::printf("(built without dxflib: its columns are empty)\n\n");
#endif
  std::printf(
      "| entities  | raw s  | dxflib s | Veltrane s | Veltrane/raw | Veltrane/dxflib | us/entity "
      "| peak MiB raw | dxflib | Veltrane | system s raw | dxflib | Veltrane |\n"
      "|-----------|--------|----------|------------|--------------|-----------------|----------"
      "-|--------------|--------|----------|--------------|--------|----------|\n");
  for (size_t n : sizes) {
    const std::string path = "/tmp/veltrane-compare-" + std::to_string(::getpid()) + ".dxf";
    // Written by a child, so that no process measured inherits the generator's memory.
    Measure([&] {
      WriteFileAtomically(path, Sheet(n, 42));
      return 0;
    });
    std::vector<double> raw, lib, vel, rRaw, rLib, sysRaw, sysLib, sysVel;
    double fPeakRaw = 0, fPeakLib = 0, fPeakVel = 0;
    for (int k = 0; k < nRepeat; ++k) {
      // Alternating rounds: raw, dxflib and Veltrane one after the other, so that the
      // machine's moods fall on all three alike.
      const TChildCost a = Measure([&] { return RawScan(path); });
      TChildCost b;
#ifdef VELTRANE_HAVE_DXFLIB
      b = Measure([&] { return DxflibCountElements(path) > 0 ? 0 : 1; });
#endif
      const TChildCost c = Measure([&] { return WholeImport(path); });
      raw.push_back(a.fCpu), lib.push_back(b.fCpu), vel.push_back(c.fCpu);
      sysRaw.push_back(a.fSys), sysLib.push_back(b.fSys), sysVel.push_back(c.fSys);
      rRaw.push_back(c.fCpu / a.fCpu);
      if (bDxflib) rLib.push_back(c.fCpu / b.fCpu);
      fPeakRaw = std::max(fPeakRaw, a.fPeakMiB), fPeakLib = std::max(fPeakLib, b.fPeakMiB);
      fPeakVel = std::max(fPeakVel, c.fPeakMiB);
    }
    std::remove(path.c_str());
    std::remove((path + ".bas").c_str());
    std::printf(
        "| %9zu | %6.3f | %8.3f | %10.3f | %12.2f | %15.2f | %9.2f | %12.0f | %6.0f | %8.0f | %12.3f | %6.3f | "
        "%8.3f |\n",
        n,
        Median(raw), bDxflib ? Median(lib) : 0.0, Median(vel), Median(rRaw),
        bDxflib ? Median(rLib) : 0.0, Median(vel) * 1e6 / static_cast<double>(n), fPeakRaw,
        fPeakLib, fPeakVel, Median(sysRaw), bDxflib ? Median(sysLib) : 0.0, Median(sysVel));
  }
  std::printf(
      "\nMedians of %d alternating rounds; the ratios are the medians of each round's ratio. The\n"
      "system time is part of the CPU time; on a virtual machine whose host takes back memory\n"
      "left free for a few seconds, fresh pages then cost far more (bench/RESULTS.md).\n",
      nRepeat);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--write") == 0) {
    WriteFileAtomically(argv[3], Sheet(static_cast<size_t>(std::atoll(argv[2])), 42));
    return 0;
  }
  std::vector<size_t> sizes;
  bool bShapes = false, bCompare = false;
  int nRepeat = 1;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--shapes") == 0)
      bShapes = true;
    else if (std::strcmp(argv[i], "--compare") == 0)
      bCompare = true;
    else if (std::strcmp(argv[i], "--plain") == 0)
      g_bPlain = true;
    else if (std::strcmp(argv[i], "--repeat") == 0 && i + 1 < argc)
      nRepeat = std::max(1, std::atoi(argv[++i]));
    else
      sizes.push_back(static_cast<size_t>(std::atoll(argv[i])));
  }
  if (bCompare) return Compare(sizes, nRepeat);
  if (bShapes) {
    if (sizes.empty()) sizes = {10000, 20000, 40000};
    std::printf(
        "| shape                | records | paths   | read s  | chain s | order s | write s | "
        "total s |\n");
    std::printf(
        "|----------------------|---------|---------|---------|---------|---------|---------|------"
        "---|\n");
    std::vector<std::string> summary;
    for (int nShape = 0; nShape < c_nShapes; ++nShape)
      for (size_t n : sizes) {
        std::vector<double> totals;
        for (int k = 0; k < nRepeat; ++k)
          totals.push_back(InChild([&](int fd) {
            return Checked(c_Shapes[nShape], [&] { return RunShapeUnchecked(nShape, n, fd); });
          }));
        char buf[160];
        std::snprintf(buf, sizeof buf, "| %-20s | %7zu | %8.3f |\n", c_Shapes[nShape], n,
                      Median(totals));
        summary.push_back(buf);
      }
    std::printf(
        "\nMedians of %d runs:\n\n| shape                | lines   | total s  |\n"
        "|----------------------|---------|----------|\n",
        nRepeat);
    for (const auto& line : summary) std::printf("%s", line.c_str());
    return 0;
  }
  if (sizes.empty()) sizes = {1000, 10000, 100000, 1000000};
  std::printf(
      "| entities  | records   | paths    | read s  | chain s | order s | write s | total s | "
      "us/ent | peak MiB | "
      "inner-first order s | inside | dedupe s | optimise s | travel | optimised |\n");
  std::printf(
      "|-----------|-----------|----------|---------|---------|---------|---------|---------|------"
      "--|----------|"
      "----------|----------|----------|----------|------------|------------|\n");
  std::vector<double> medians;
  for (size_t n : sizes) {
    std::vector<double> totals;
    for (int k = 0; k < nRepeat; ++k)
      totals.push_back(InChild(
          [&](int fd) { return Checked("sheet", [&] { return RunOneUnchecked(n, fd); }); }));
    medians.push_back(Median(totals));
  }
  std::printf(
      "\nMedians of %d runs:\n\n| entities  | total s  | us/entity | ratio to the first |\n"
      "|-----------|----------|-----------|--------------------|\n",
      nRepeat);
  for (size_t i = 0; i < sizes.size(); ++i) {
    const double f = medians[i] * 1e6 / static_cast<double>(sizes[i]);
    const double f0 = medians[0] * 1e6 / static_cast<double>(sizes[0]);
    std::printf("| %9zu | %8.3f | %9.2f | %18.3f |\n", sizes[i], medians[i], f, f / f0);
  }
  return 0;
}
