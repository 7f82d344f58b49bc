// Import benchmark: generates nesting sheets of N entities (rounded rectangles, holes and
// slots, in shuffled order with random orientation), writes each as a DXF file, and
// times the import's phases. Each size runs in its own process so that peak memory is
// that size's own.
//   veltrane-bench-import [N ...]          default: 1000 10000 100000 1000000
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "dxf/DXFChain.h"
#include "dxf/DXFIn.h"
#include "dxf/DXFTravel.h"
#include "model/TextFile.h"

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
    ents.push_back("0\nLINE\n8\nPARTS\n10\n" + N(x0) + "\n20\n" + N(y0) + "\n11\n" + N(x1) + "\n21\n" + N(y1) + "\n");
  };
  auto arc = [&](double cx, double cy, double r, double a0, double a1) {
    ents.push_back("0\nARC\n8\nPARTS\n10\n" + N(cx) + "\n20\n" + N(cy) + "\n40\n" + N(r) + "\n50\n" + N(a0) +
                   "\n51\n" + N(a1) + "\n");
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
    ents.push_back("0\nLWPOLYLINE\n8\nPARTS\n90\n4\n70\n1\n10\n" + N(x + 25) + "\n20\n" + N(y + 12) + "\n10\n" +
                   N(x + 40) + "\n20\n" + N(y + 12) + "\n42\n1\n10\n" + N(x + 40) + "\n20\n" + N(y + 18) +
                   "\n10\n" + N(x + 25) + "\n20\n" + N(y + 18) + "\n42\n1\n");
  }
  std::shuffle(ents.begin(), ents.end(), rng);
  std::string s = "0\nSECTION\n2\nTABLES\n0\nTABLE\n2\nLAYER\n0\nLAYER\n2\nPARTS\n70\n0\n0\nENDTAB\n0\nENDSEC\n";
  s += "0\nSECTION\n2\nENTITIES\n";
  for (const auto& e : ents) s += e;
  s += "0\nENDSEC\n0\nEOF\n";
  return s;
}

double Seconds(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

int RunOneUnchecked(size_t nEntities) {
  std::string path = "/tmp/veltrane-bench-" + std::to_string(::getpid()) + ".dxf";
  WriteFileAtomically(path, Sheet(nEntities, 42));
  auto t0 = std::chrono::steady_clock::now();
  TFixedImportAnswers answers(path);
  TDXFIn in(&answers, nullptr);
  // A fixed tolerance: relative matching on a sheet metres wide would join the features.
  in.SetMatching(true, 0.01);
  in.ReadFile();
  auto t1 = std::chrono::steady_clock::now();
  auto& L = in.Records(0);
  size_t nRecords = L.size();
  TIntList squences;
  SortList(L, in.Vertices(), in.MatchTestLimit(), in.CoincidenceTestLimit(), 1, squences);
  auto t2 = std::chrono::steady_clock::now();
  // The inner-first order of the same paths, timed on a copy (containment and queue).
  std::vector<TDXFEntity> innerFirst = L;
  TInnerFirst inner;
  inner.fTouch = in.MatchTestLimit();
  const auto ti0 = std::chrono::steady_clock::now();
  QueueSeq(innerFirst, squences, 1, in.CoincidenceTestLimit(), &inner);
  const double fInnerFirst = Seconds(ti0, std::chrono::steady_clock::now());
  innerFirst = {};
  t2 = std::chrono::steady_clock::now();
  QueueSeq(L, squences, 1, in.CoincidenceTestLimit());
  auto t3 = std::chrono::steady_clock::now();
  // Shorter travel from the greedy order, timed on a copy.
  std::vector<TDXFEntity> optimised = L;
  const auto to0 = std::chrono::steady_clock::now();
  const TTravelResult travel = OptimiseTravel(optimised, 1, in.CoincidenceTestLimit(), {});
  const double fOptimise = Seconds(to0, std::chrono::steady_clock::now());
  optimised = {};
  t3 = std::chrono::steady_clock::now();
  TStringList program;
  TLayerContent content;
  in.TranslateList(program, content);
  SaveLines(path + ".bas", program);
  auto t4 = std::chrono::steady_clock::now();
  struct rusage ru {};
  getrusage(RUSAGE_SELF, &ru);
  std::printf("| %9zu | %9zu | %8d | %7.3f | %7.3f | %7.3f | %7.3f | %7.3f | %8.0f | %8.3f | %8zu | %8.3f | %10.0f | "
              "%10.0f |\n",
              nEntities, nRecords, squences.Count(), Seconds(t0, t1), Seconds(t1, t2), Seconds(t2, t3) - fOptimise,
              Seconds(t3, t4), Seconds(t0, t4) - fInnerFirst - fOptimise, static_cast<double>(ru.ru_maxrss) / 1024.0,
              fInnerFirst, inner.nInside, fOptimise, travel.fBefore, travel.fAfter);
  std::remove(path.c_str());
  std::remove((path + ".bas").c_str());
  return 0;
}

int RunOne(size_t nEntities) {
  try {
    return RunOneUnchecked(nEntities);
  } catch (const std::exception& e) {
    std::printf("| %9zu | %s\n", nEntities, e.what());
    return 1;
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<size_t> sizes;
  for (int i = 1; i < argc; ++i) sizes.push_back(static_cast<size_t>(std::atoll(argv[i])));
  if (sizes.empty()) sizes = {1000, 10000, 100000, 1000000};
  std::printf("| entities  | records   | paths    | read s  | chain s | order s | write s | total s | peak MiB | "
              "inner-first order s | inside | optimise s | travel | optimised |\n");
  std::printf("|-----------|-----------|----------|---------|---------|---------|---------|---------|----------|"
              "----------|----------|----------|------------|------------|\n");
  std::fflush(stdout);
  for (size_t n : sizes) {
    pid_t pid = fork();
    if (pid == 0) {
      int rc = RunOne(n);
      std::fflush(stdout);
      _exit(rc);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) std::printf("| %9zu | failed (status %d)\n", n, status);
  }
  return 0;
}
