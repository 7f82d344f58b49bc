// The motion check.
#include "tools/MotionCheck.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <array>
#include <unordered_map>

#include "settings/VLTRegistry.h"
#include "tools/ProgramMotion.h"

namespace veltrane {

namespace {

constexpr double c_fSamePoint = 1e-3;  // segments whose points agree this closely are the same
constexpr double c_fCell = 0.01;       // grid of the segments' middles
constexpr size_t c_nShownPerKind = 50;

enum EFinding : int { eNoLength = 0, eOffCircle, eTinyCircle, eTwice, eOutside, c_nFindingKinds };

bool Near(TfPoint a, TfPoint b, double fTolerance = c_fSamePoint) {
  return std::fabs(a.fX - b.fX) <= fTolerance && std::fabs(a.fY - b.fY) <= fTolerance;
}

bool IsArc(const TProgramMove& m) { return m.evKind == EMoveKind::eArc || m.evKind == EMoveKind::eHelical; }

TfPoint Middle(const TProgramMove& m) {
  if (!IsArc(m) || !(m.fRadius > 0)) return TfPoint{(m.fStart.fX + m.fEnd.fX) / 2, (m.fStart.fY + m.fEnd.fY) / 2};
  const double s = std::atan2(m.fStart.fY - m.fCentre.fY, m.fStart.fX - m.fCentre.fX);
  const double h = m.fLength / m.fRadius / 2;
  const double a = m.bClockwise ? s - h : s + h;
  return TfPoint{m.fCentre.fX + m.fRadius * std::cos(a), m.fCentre.fY + m.fRadius * std::sin(a)};
}

// The same segment, either way round. Short segments are compared at a quarter of their
// length: two tiny moves one after the other are not the same segment.
bool SameSegment(const TProgramMove& a, const TProgramMove& b) {
  if (IsArc(a) != IsArc(b)) return false;
  if (!IsArc(a)) {
    const double t = std::min(c_fSamePoint, 0.25 * std::min(a.fLength, b.fLength));
    return (Near(a.fStart, b.fStart, t) && Near(a.fEnd, b.fEnd, t)) ||
           (Near(a.fStart, b.fEnd, t) && Near(a.fEnd, b.fStart, t));
  }
  if (!Near(a.fCentre, b.fCentre) || std::fabs(a.fRadius - b.fRadius) > c_fSamePoint) return false;
  if (a.bFullCircle || b.bFullCircle) return a.bFullCircle && b.bFullCircle;
  if (a.bClockwise == b.bClockwise) return Near(a.fStart, b.fStart) && Near(a.fEnd, b.fEnd);
  return Near(a.fStart, b.fEnd) && Near(a.fEnd, b.fStart);
}

std::string Number(double f) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.4g", f);
  return buf;
}

}  // namespace

TMotionCheckOptions ReadMotionCheckOptions(TVLTRegistry& R) {
  TMotionCheckOptions o;
  if (R.HasValue("MinCircleRadius", "\\Estimate") && R.CheckMinCircleRadius() >= 0)
    o.fMinCircleRadius = R.CheckMinCircleRadius();
  o.Limits = ReadRangeLimits(R);
  return o;
}

std::vector<std::string> CheckMotion(const TStringList& Program, const TMotionCheckOptions& O) {
  struct TFinding {
    int32_t nLine;
    std::string strText;
  };
  std::vector<TFinding> found;
  std::array<size_t, c_nFindingKinds> nOfKind{};
  std::array<int32_t, c_nFindingKinds> nLastShownLine{};
  auto add = [&](EFinding k, const TProgramMove& m, const std::string& strWhat) {
    if (nOfKind[k]++ >= c_nShownPerKind) return;
    nLastShownLine[k] = m.nLine;
    found.push_back({m.nLine, "   - Line " + std::to_string(m.nLine + 1) +
                                  (m.nSequence != 0 ? " (sequence " + std::to_string(m.nSequence) + ")"
                                                    : " (outside any sequence)") +
                                  ": " + strWhat});
  };
  std::vector<TProgramMove> cuts;
  std::unordered_map<uint64_t, std::vector<size_t>> grid;
  auto key = [](int64_t i, int64_t j) {
    return static_cast<uint64_t>(i) * 73856093u ^ static_cast<uint64_t>(j) * 19349663u;
  };
  const TRangeLimits& L = O.Limits;
  TMotionVisitor v;
  // The absolute moves that open a sequence are its leader; every move after them cuts,
  // an absolute one too.
  bool bLeader = false;
  v.OnSequenceStart = [&](int32_t, int32_t, int32_t) { bLeader = true; };
  v.OnMove = [&](const TProgramMove& m) {
    const bool bArc = IsArc(m);
    if (m.nSequence == 0 || m.evKind != EMoveKind::eAbsolute) bLeader = false;
    const bool bCut = m.nSequence != 0 && !bLeader;
    if (bArc && !(m.fRadius > 0))
      add(eNoLength, m, "an arc of radius 0");
    else if ((m.evKind != EMoveKind::eAbsolute || bCut) && !(m.fLength > 0))
      add(eNoLength, m, "a move of no length");
    if (bArc && m.fRadius > 0 && !m.bFullCircle && m.fRadiusMismatch > O.fRadiusTolerance)
      add(eOffCircle, m, "the arc's end lies " + Number(m.fRadiusMismatch) + " off its circle of radius " +
                             Number(m.fRadius) + " (the controller would cut a spiral or stop)");
    if (bArc && m.bFullCircle && m.fRadius > 0 && m.fRadius < O.fMinCircleRadius)
      add(eTinyCircle, m, "a full circle of radius " + Number(m.fRadius) + ", below " + Number(O.fMinCircleRadius));
    if (L.m_bEnableSpan) {
      TfRange x{m.fEnd.fX, m.fEnd.fX}, y{m.fEnd.fY, m.fEnd.fY};
      if (bArc) AddArcExtents(m, x, y);
      if (x.fFrom < L.m_nXspanLeft || x.fTo > L.m_nXspanRight || y.fFrom < L.m_nYspanBottom || y.fTo > L.m_nYspanTop)
        add(eOutside, m, "reaches outside the machine limits");
    }
    // Cut twice: the same line or arc elsewhere among the cuts.
    if (!bCut || !(m.fLength > 0)) return;
    const TfPoint mid = Middle(m);
    // Points beyond any machine's reach are left out of the comparison.
    if (!(std::fabs(mid.fX) < 1e12) || !(std::fabs(mid.fY) < 1e12)) return;
    const int64_t i = std::llround(mid.fX / c_fCell), j = std::llround(mid.fY / c_fCell);
    auto twin = [&]() -> const TProgramMove* {
      for (int64_t di = -1; di <= 1; ++di)
        for (int64_t dj = -1; dj <= 1; ++dj) {
          auto it = grid.find(key(i + di, j + dj));
          if (it == grid.end()) continue;
          for (size_t k : it->second)
            if (SameSegment(cuts[k], m)) return &cuts[k];
        }
      return nullptr;
    };
    if (const TProgramMove* t = twin()) add(eTwice, m, "cuts the same segment as line " + std::to_string(t->nLine + 1));
    grid[key(i, j)].push_back(cuts.size());
    cuts.push_back(m);
  };
  WalkProgramMotion(Program, v);
  std::stable_sort(found.begin(), found.end(), [](const TFinding& a, const TFinding& b) { return a.nLine < b.nLine; });
  std::vector<std::string> out;
  out.reserve(found.size() + c_nFindingKinds);
  for (const TFinding& f : found) out.push_back(f.strText);
  static constexpr const char* c_Kinds[c_nFindingKinds] = {"moves of no length", "arcs off their circle",
                                                           "tiny full circles", "segments cut twice",
                                                           "moves outside the machine limits"};
  for (int k = 0; k < c_nFindingKinds; ++k)
    if (nOfKind[static_cast<size_t>(k)] > c_nShownPerKind)
      out.push_back("   - ... and " + std::to_string(nOfKind[static_cast<size_t>(k)] - c_nShownPerKind) + " more " +
                    c_Kinds[k] + " after line " + std::to_string(nLastShownLine[static_cast<size_t>(k)] + 1));
  return out;
}

}  // namespace veltrane
