// Tabs: where they go along a closed path, the path cut into the pieces between them,
// and the pieces put into the program as sequences.
#include "transform/Tabs.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "model/NumberFormat.h"
#include "model/SequenceMarkup.h"
#include "model/Text.h"
#include "geometry/PointMath.h"

namespace veltrane {

using namespace pointmath;

namespace {

std::string Number(double f) { return StringFromDouble(f); }

struct TSpan {
  double a = 0.0, b = 0.0;
};

// The closed intervals of 0..L (a circle: L is 0 again) left by the open intervals of
// Forbidden, which may reach outside 0..L. Allowed stretches of no length are dropped.
std::vector<TSpan> AllowedSpans(const std::vector<TSpan>& Forbidden, double L) {
  std::vector<TSpan> f;
  f.reserve(Forbidden.size() + 2);
  for (const TSpan& s : Forbidden) {
    if (s.b - s.a >= L) return {};
    const double a0 = s.a - std::floor(s.a / L) * L;
    const double b0 = a0 + (s.b - s.a);
    if (b0 <= L) {
      f.push_back({a0, b0});
    } else {
      f.push_back({a0, L});
      f.push_back({0.0, b0 - L});
    }
  }
  std::sort(f.begin(), f.end(), [](const TSpan& x, const TSpan& y) { return x.a < y.a; });
  std::vector<TSpan> allowed;
  const double eps = 1e-12 * L;
  double cursor = 0.0;
  for (const TSpan& s : f) {
    if (s.a > cursor + eps) allowed.push_back({cursor, s.a});
    cursor = std::max(cursor, s.b);
  }
  if (L > cursor + eps) allowed.push_back({cursor, L});
  return allowed;
}

double CircleDistance(double x, double y, double L) {
  double d = std::fmod(std::fabs(x - y), L);
  return std::min(d, L - d);
}

// The allowed point nearest x (in 0..L) round the circle, and how far it stands inside
// its stretch.
double Snap(const std::vector<TSpan>& A, double x, double L, double& fClearance) {
  auto it = std::upper_bound(A.begin(), A.end(), x, [](double v, const TSpan& s) { return v < s.a; });
  if (it != A.begin() && x <= std::prev(it)->b) {
    const TSpan& s = *std::prev(it);
    fClearance = std::min(x - s.a, s.b - x);
    return x;
  }
  fClearance = 0.0;
  const double before = it != A.begin() ? std::prev(it)->b : A.back().b;
  const double after = it != A.end() ? it->a : A.front().a;
  return CircleDistance(x, before, L) <= CircleDistance(x, after, L) ? before : after;
}

// Tab centres for one set of forbidden stretches, or empty.
std::vector<double> CentresWithin(const std::vector<TSpan>& Forbidden, double L, int32_t n, double T) {
  const std::vector<TSpan> A = AllowedSpans(Forbidden, L);
  if (A.empty()) return {};
  const double fStep = L / n;
  // Phases to try: an even grid, and the ends and middles of the allowed stretches, so
  // that a narrow stretch is not missed. Fewer when there are many tabs.
  const size_t nBudget = std::max<size_t>(64, 2000000 / static_cast<size_t>(n));
  std::vector<double> phases;
  const size_t nGrid = std::min<size_t>(256, nBudget / 2);
  for (size_t k = 0; k < nGrid; ++k) phases.push_back(fStep * static_cast<double>(k) / static_cast<double>(nGrid));
  for (size_t i = 0; i < A.size() && phases.size() < nBudget; ++i)
    for (double p : {A[i].a, A[i].b, 0.5 * (A[i].a + A[i].b)}) phases.push_back(std::fmod(p, fStep));
  const double fGap = T + c_fMinTabPiece;
  const double eps = 1e-9 * L;
  std::vector<double> best, centres(static_cast<size_t>(n)), sorted;
  double fBestCost = std::numeric_limits<double>::infinity(), fBestClearance = -1.0;
  for (double phase : phases) {
    double fCost = 0.0, fClearance = std::numeric_limits<double>::infinity();
    for (int32_t i = 0; i < n; ++i) {
      const double x = std::fmod(phase + fStep * i, L);
      double c = 0.0;
      centres[static_cast<size_t>(i)] = Snap(A, x, L, c);
      fCost += CircleDistance(x, centres[static_cast<size_t>(i)], L);
      fClearance = std::min(fClearance, c);
    }
    if (fCost > fBestCost + eps || (fCost > fBestCost - eps && fClearance <= fBestClearance)) continue;
    sorted = centres;
    std::sort(sorted.begin(), sorted.end());
    bool bFits = sorted.front() + L - sorted.back() >= fGap || n == 1;
    for (size_t i = 1; bFits && i < sorted.size(); ++i) bFits = sorted[i] - sorted[i - 1] >= fGap;
    if (!bFits) continue;
    best = sorted;
    fBestCost = fCost;
    fBestClearance = fClearance;
  }
  return best;
}

// Tab centres spread evenly by length over the allowed stretches alone, as if the
// forbidden ones were cut out and the rest joined: each tab has the same share of what is
// allowed, the first half a share in. Empty when two tabs would leave too little cut
// between them.
std::vector<double> EvenWithin(const std::vector<TSpan>& Forbidden, double L, int32_t n, double T) {
  const std::vector<TSpan> A = AllowedSpans(Forbidden, L);
  double fAllowed = 0.0;
  for (const TSpan& s : A) fAllowed += s.b - s.a;
  const double fShare = fAllowed / n;
  if (A.empty() || !(fShare > 0)) return {};
  std::vector<double> centres;
  size_t i = 0;
  double fBefore = 0.0;  // allowed length in the stretches before A[i]
  for (int32_t k = 0; k < n; ++k) {
    const double u = fShare * (k + 0.5);
    while (i + 1 < A.size() && fBefore + (A[i].b - A[i].a) < u) fBefore += A[i].b - A[i].a, ++i;
    centres.push_back(std::min(A[i].b, A[i].a + (u - fBefore)));
  }
  const double fGap = T + c_fMinTabPiece;
  if (n > 1 && centres.front() + L - centres.back() < fGap) return {};
  for (size_t k = 1; k < centres.size(); ++k)
    if (centres[k] - centres[k - 1] < fGap) return {};
  return centres;
}

}  // namespace

bool TabRequestFromText(const std::string& strCountOrSpacing, bool bSpacing, const std::string& strLength,
                        bool bOnArcs, TTabRequest& Request, std::string& strWhy) {
  TTabRequest r;
  r.bOnArcs = bOnArcs;
  if (bSpacing) {
    r.nCount = 0;
    if (!TryStrToFloat(strCountOrSpacing, r.fSpacing) || !(r.fSpacing > 0) || !std::isfinite(r.fSpacing)) {
      strWhy = "The spacing of the tabs must be a number above 0.";
      return false;
    }
  } else {
    int32_t n = 0;
    if (!TryStrToInt(Trim(strCountOrSpacing), n) || n < 1 || n > c_nMaxTabsPerPath) {
      strWhy = "The number of tabs must be a whole number from 1 to " + std::to_string(c_nMaxTabsPerPath) + ".";
      return false;
    }
    r.nCount = n;
  }
  if (!TryStrToFloat(strLength, r.fLength) || !(r.fLength > 0) || !std::isfinite(r.fLength)) {
    strWhy = "The tab length must be a number above 0.";
    return false;
  }
  Request = r;
  return true;
}

std::vector<double> PlaceTabs(const TTabLoop& Loop, const TTabRequest& R, std::string& strWhy) {
  const double L = Loop.fLength, T = R.fLength;
  if (!(L > 0) || !std::isfinite(L)) {
    strWhy = "the path has no length";
    return {};
  }
  if (!(T > 0) || !std::isfinite(T)) {
    strWhy = "the tab length must be above 0";
    return {};
  }
  double fCount = R.fSpacing > 0 ? std::nearbyint(L / R.fSpacing) : static_cast<double>(R.nCount);
  if (!(fCount <= c_nMaxTabsPerPath)) {
    strWhy = "a tab every " + Number(R.fSpacing) + " would make more than " + std::to_string(c_nMaxTabsPerPath) +
             " tabs on a path of length " + Number(L);
    return {};
  }
  const int32_t n = std::max<int32_t>(1, static_cast<int32_t>(fCount));
  const double fNeed = n * (T + c_fMinTabPiece) + (Loop.bFixedStart ? c_fMinTabPiece : 0.0);
  if (fNeed > L) {
    strWhy = std::to_string(n) + (n == 1 ? " tab" : " tabs") + " of length " + Number(T) +
             " do not fit a path of length " + Number(L);
    return {};
  }
  // Where a tab's centre may not be. Hard: on an arc when tabs stay off arcs, over the
  // start when a lead joins there. Soft: within one tab length of a corner at either end.
  std::vector<TSpan> hard, soft;
  if (!R.bOnArcs)
    for (const auto& [a, b] : Loop.Arcs) hard.push_back({a - T / 2, b + T / 2});
  if (Loop.bFixedStart) hard.push_back({-T / 2 - c_fMinTabPiece, T / 2 + c_fMinTabPiece});
  soft = hard;
  for (double p : Loop.Corners) soft.push_back({p - 1.5 * T, p + 1.5 * T});
  if (Loop.bFixedStart) soft.push_back({-1.5 * T, 1.5 * T});
  // Tabs off the arcs go on the straight stretches, evenly by their length; elsewhere
  // they are spread evenly over the whole path and moved off what they may not cover.
  const bool bStraights = !R.bOnArcs && !Loop.Arcs.empty();
  std::vector<double> centres = bStraights ? EvenWithin(soft, L, n, T) : std::vector<double>{};
  if (centres.empty()) centres = CentresWithin(soft, L, n, T);
  if (centres.empty() && bStraights) centres = EvenWithin(hard, L, n, T);
  if (centres.empty()) centres = CentresWithin(hard, L, n, T);
  if (centres.empty()) {
    strWhy = "there is no room for " + std::to_string(n) + (n == 1 ? " tab" : " tabs") + " of length " +
             Number(T) + (R.bOnArcs ? "" : " off the arcs") + " on a path of length " + Number(L);
    return {};
  }
  std::vector<double> starts;
  starts.reserve(centres.size());
  for (double c : centres) {
    double s = c - T / 2;
    if (s < 0) s += L;
    if (s >= L) s -= L;
    starts.push_back(s);
  }
  std::sort(starts.begin(), starts.end());
  return starts;
}

// ---------------------------------------------------------------- the path cut

namespace {

// The travel direction at the start and at the end of a straight move or an arc.
void Tangents(const TMoveRecord& r, double& fIn, double& fOut) {
  if (IsIncrementalMove(r.MoveType)) {
    fIn = fOut = Angle(r.fEndPoint);
    return;
  }
  const double fTurn = r.Direction == 0 ? pi / 2 : -pi / 2;
  fIn = Angle(Neg(r.fCentrePoint)) + fTurn;
  fOut = Angle(Sub(r.fEndPoint, r.fCentrePoint)) + fTurn;
}

// The point t along a straight move or an arc of length fLen.
TfPoint PointAlong(const TMoveRecord& r, double t, double fLen) {
  if (t <= 0) return r.fAbsStartPoint;
  if (t >= fLen) return r.fAbsEndPoint;
  if (IsIncrementalMove(r.MoveType)) return Add(r.fAbsStartPoint, Mul(r.fEndPoint, t / fLen));
  const TfPoint C = Add(r.fAbsStartPoint, r.fCentrePoint);
  const double fRadius = Len(r.fCentrePoint);
  const double a = Angle(Neg(r.fCentrePoint)) + (r.Direction == 0 ? t / fRadius : -t / fRadius);
  return Add(C, Polar(fRadius, a));
}

}  // namespace

bool TTransformer::CutTabs(const TTabRequest& R, TTabCut& Out) {
  m_strFailure.clear();
  Out = TTabCut{};
  std::vector<TStringList>& Pieces = Out.Pieces;
  auto notClosed = [&](const char* strWhy) {
    Out.bNotClosed = true;
    return Fail(strWhy);
  };
  LoadSourceList(true);
  struct TDone {
    TTransformer& t;
    ~TDone() {
      std::vector<TMoveRecord>().swap(t.m_lstSourceMoves);
      t.m_lstNewMoves.clear();
      t.m_lstNewProgram.clear();
      t.m_KeptAsRead.clear();
    }
  } done{*this};
  RequireOnePath("adding tabs");
  const std::vector<TMoveRecord>& src = m_lstSourceMoves;
  size_t iStart = src.size();
  for (size_t i = 0; i < src.size() && iStart == src.size(); ++i)
    if (IsAbsoluteMove(src[i].MoveType)) iStart = i;
  if (iStart == src.size()) return notClosed("the sequence has no absolute move to start from");
  std::vector<size_t> moves;
  for (size_t i = iStart + 1; i < src.size(); ++i)
    if (IsPathMove(src[i].MoveType)) moves.push_back(i);
  if (moves.empty()) return notClosed("the sequence has no move");

  // The closed loop among the moves: all of them, or all but a lead-in arc at the start
  // and/or a lead-out arc at the end.
  const size_t nMoves = moves.size();
  auto closes = [&](size_t lo, size_t hi) {
    TfPoint sum;
    for (size_t k = lo; k < hi; ++k) sum = Add(sum, src[moves[k]].fEndPoint);
    return std::fabs(sum.fX) < c_fCloseTolerance && std::fabs(sum.fY) < c_fCloseTolerance;
  };
  const bool bArcFirst = IsCircularMove(src[moves.front()].MoveType), bArcLast = IsCircularMove(src[moves.back()].MoveType);
  size_t lo = 0, hi = 0;
  if (closes(0, nMoves)) {
    hi = nMoves;
  } else if (nMoves >= 3 && bArcFirst && bArcLast && closes(1, nMoves - 1)) {
    lo = 1;
    hi = nMoves - 1;
  } else if (nMoves >= 2 && bArcFirst && closes(1, nMoves)) {
    lo = 1;
    hi = nMoves;
  } else if (nMoves >= 2 && bArcLast && closes(0, nMoves - 1)) {
    hi = nMoves - 1;
  } else {
    return notClosed("the sequence is not closed");
  }
  const bool bFixed = lo > 0 || hi < nMoves;

  // The loop measured along its length.
  TTabLoop loop;
  loop.bFixedStart = bFixed;
  const size_t nLoop = hi - lo;
  std::vector<double> pos(nLoop), len(nLoop);
  double L = 0.0;
  for (size_t k = 0; k < nLoop; ++k) {
    const TMoveRecord& r = src[moves[lo + k]];
    pos[k] = L;
    len[k] = GetLength(r);
    if (IsCircularMove(r.MoveType) && len[k] > 0) loop.Arcs.push_back({L, L + len[k]});
    L += len[k];
  }
  loop.fLength = L;
  if (!(L > 0)) return notClosed("the sequence has no length");
  // Corners: joints where the direction turns sharply, moves of no length passed over.
  const double fCornerTurn = c_fTabCornerDegrees * pi / 180.0;
  std::vector<size_t> real;
  for (size_t k = 0; k < nLoop; ++k)
    if (len[k] > 0) real.push_back(k);
  for (size_t j = 0; j < real.size(); ++j) {
    if (j == 0 && bFixed) continue;  // the start counts as a corner anyway
    double fIn = 0, fOut = 0, fPrevIn = 0, fPrevOut = 0;
    Tangents(src[moves[lo + real[j]]], fIn, fOut);
    Tangents(src[moves[lo + real[(j + real.size() - 1) % real.size()]]], fPrevIn, fPrevOut);
    if (std::fabs(AngleDiff(fIn, fPrevOut)) > fCornerTurn) loop.Corners.push_back(pos[real[j]]);
  }

  std::vector<double> starts = PlaceTabs(loop, R, m_strFailure);
  if (starts.empty()) return false;
  const double T = R.fLength;
  Out.TabStarts = starts;
  Out.fLoopLength = L;

  // The cut pieces, as stretches along the loop (beyond L continues from the start), and
  // the stretch each owns: from the start of the tab before it.
  struct TCut {
    double fFrom, fTo, fOwnFrom;
  };
  std::vector<TCut> cuts;
  const size_t nTabs = starts.size();
  if (!bFixed) {
    // The first piece runs from the last tab's end round through the path's start.
    cuts.push_back({starts.back() + T, starts.front() + L, starts.back()});
    for (size_t i = 1; i < nTabs; ++i) cuts.push_back({starts[i - 1] + T, starts[i], starts[i - 1]});
  } else {
    cuts.push_back({0.0, starts.front(), 0.0});
    for (size_t i = 1; i < nTabs; ++i) cuts.push_back({starts[i - 1] + T, starts[i], starts[i - 1]});
    cuts.push_back({starts.back() + T, L, starts.back()});
  }

  // Lines that are not moves: those between two loop moves stay at their place along
  // the path; those before the start move, between it and the loop, and after the loop
  // go with every piece, so that each piece is a sequence like the one it came from.
  std::vector<std::vector<size_t>> mids(nLoop);
  for (size_t k = 1; k < nLoop; ++k)
    for (size_t i = moves[lo + k - 1] + 1; i < moves[lo + k]; ++i) mids[k].push_back(i);
  const size_t iLoopFirst = moves[lo], iLoopLast = moves[hi - 1];
  const double eps = 1e-9 * std::max(1.0, L);

  for (size_t p = 0; p < cuts.size(); ++p) {
    const TCut& cut = cuts[p];
    const bool bFirstFixed = bFixed && p == 0, bLastFixed = bFixed && p + 1 == cuts.size();
    m_lstNewMoves.clear();
    for (size_t i = 0; i < iStart; ++i) m_lstNewMoves.push_back(src[i]);
    auto at = [&](double s) {
      const double q = s >= L ? s - L : s;
      const auto it = std::upper_bound(pos.begin(), pos.end(), q);
      const size_t k = it == pos.begin() ? 0 : static_cast<size_t>(it - pos.begin()) - 1;
      return PointAlong(src[moves[lo + k]], q - pos[k], len[k]);
    };
    if (bFirstFixed) {
      for (size_t i = iStart; i < iLoopFirst; ++i) m_lstNewMoves.push_back(src[i]);
    } else {
      TMoveRecord start;
      start.MoveType = b_MAsp ? eCmd_MoveAbsSP : eCmd_MoveAbs;
      start.fEndPoint = start.fAbsEndPoint = at(cut.fFrom);
      start.bOffsetTerms = src[iStart].bOffsetTerms;
      m_lstNewMoves.push_back(start);
      for (size_t i = iStart + 1; i < iLoopFirst; ++i)
        if (!IsPathMove(src[i].MoveType)) m_lstNewMoves.push_back(src[i]);
    }
    // Lines that stood over the tab before this piece come at its start.
    for (size_t k = 1; k < nLoop; ++k)
      for (double q : {pos[k], pos[k] + L})
        if (q >= cut.fOwnFrom && q < cut.fFrom)
          for (size_t i : mids[k]) m_lstNewMoves.push_back(src[i]);
    size_t nLapStart = 0;  // where the moves of the second lap begin
    for (int lap = 0; lap < 2; ++lap) {
      if (lap == 1) nLapStart = m_lstNewMoves.size();
      for (size_t k = 0; k < nLoop; ++k) {
        const double a = pos[k] + lap * L, b = a + len[k];
        if (a >= cut.fTo) break;
        if (k > 0 && a >= cut.fFrom)
          for (size_t i : mids[k]) m_lstNewMoves.push_back(src[i]);
        const double u = std::max(cut.fFrom, a), v = std::min(cut.fTo, b);
        const TMoveRecord& s = src[moves[lo + k]];
        if (len[k] <= 0) {
          if (a >= cut.fFrom) m_lstNewMoves.push_back(s);
          continue;
        }
        if (v - u <= eps) continue;
        if (u <= a + eps && v >= b - eps) {
          m_lstNewMoves.push_back(s);
          continue;
        }
        TMoveRecord part;
        part.fAbsStartPoint = PointAlong(s, u - a, len[k]);
        part.fAbsEndPoint = PointAlong(s, v - a, len[k]);
        part.fEndPoint = Sub(part.fAbsEndPoint, part.fAbsStartPoint);
        if (IsIncrementalMove(s.MoveType)) {
          part.MoveType = b_MOsp ? eCmd_MoveSP : eCmd_Move;
        } else {
          part.MoveType = b_MCsp ? eCmd_MoveCircSP : eCmd_MoveCirc;
          part.fCentrePoint = Sub(Add(s.fAbsStartPoint, s.fCentrePoint), part.fAbsStartPoint);
          part.Direction = s.Direction;
        }
        if (v >= b - eps) part.strTrailer = s.strTrailer;
        m_lstNewMoves.push_back(part);
      }
    }
    // Where a piece runs on through the path's start, the two moves that meet there join
    // when they continue each other (a circle cut at its start).
    if (nLapStart > 0 && nLapStart < m_lstNewMoves.size()) JoinContinued(nLapStart - 1);
    if (bLastFixed) {
      for (size_t i = iLoopLast + 1; i < src.size(); ++i) m_lstNewMoves.push_back(src[i]);
    } else {
      for (size_t i = iLoopLast + 1; i < src.size(); ++i)
        if (!IsPathMove(src[i].MoveType)) m_lstNewMoves.push_back(src[i]);
    }
    m_KeptAsRead.assign(m_lstNewMoves.size(), false);
    for (size_t i = 0; i < m_lstNewMoves.size(); ++i) m_KeptAsRead[i] = KeptAsRead(m_lstNewMoves[i]);
    StoreNewList();
    Pieces.push_back(std::move(m_lstNewProgram));
    m_lstNewProgram.clear();
  }
  return true;
}

void TTransformer::JoinContinued(size_t i) {
  TMoveRecord& a = m_lstNewMoves[i];
  const TMoveRecord& b = m_lstNewMoves[i + 1];
  constexpr double c_fOnPath = 1e-6;
  if (IsIncrementalMove(a.MoveType) && IsIncrementalMove(b.MoveType)) {
    const TfPoint d = Add(a.fEndPoint, b.fEndPoint);
    const double fLen = Len(d);
    if (!(fLen > 0) || Dot(a.fEndPoint, b.fEndPoint) <= 0 ||
        std::fabs(Cross(d, a.fEndPoint)) / fLen > c_fOnPath)
      return;
  } else if (IsCircularMove(a.MoveType) && IsCircularMove(b.MoveType)) {
    const TfPoint ca = Add(a.fAbsStartPoint, a.fCentrePoint), cb = Add(b.fAbsStartPoint, b.fCentrePoint);
    if (a.Direction != b.Direction || Dist(ca, cb) > c_fOnPath ||
        std::fabs(Len(a.fCentrePoint) - Len(b.fCentrePoint)) > c_fOnPath)
      return;
  } else {
    return;
  }
  a.fEndPoint = Add(a.fEndPoint, b.fEndPoint);
  a.fAbsEndPoint = b.fAbsEndPoint;
  a.nProgramLine = -1;
  if (!b.strTrailer.empty()) a.strTrailer = b.strTrailer;
  m_lstNewMoves.erase(m_lstNewMoves.begin() + static_cast<ptrdiff_t>(i + 1));
}

// ---------------------------------------------------------------- the program

namespace {

enum class ECut { eNoSequence, eOpen, eFailed, eDone };

// Sequence n of List cut at its tabs: the body keeps the first piece, the others follow
// its end marker as new sequences numbered from nNext on (which advances). NewBlocks
// receives the new sequences' lines.
ECut CutSequenceIn(TStringList& List, int32_t n, TTransformer& T, const TTabRequest& R, int32_t& nNext,
                   TStringList& NewBlocks, std::string& strWhy, int32_t nLineBase) {
  const auto body = FindSequenceBody(List, n);
  if (!body) return ECut::eNoSequence;
  size_t nStart = body->nFirst;
  while (nStart > 0 && !IsStartMarkerOf(List[nStart], n)) --nStart;
  const size_t nEnd = body->nFirst + body->nCount;
  TStringList lines(List.begin() + static_cast<ptrdiff_t>(body->nFirst),
                    List.begin() + static_cast<ptrdiff_t>(nEnd));
  TTabCut cut;
  const std::vector<TStringList>& pieces = cut.Pieces;
  try {
    TUseList use(T, lines);
    if (!T.CutTabs(R, cut)) {
      strWhy = T.FailureReason();
      return cut.bNotClosed ? ECut::eOpen : ECut::eFailed;
    }
  } catch (const ETransformError& e) {
    throw ETransformError(e.nLine + nLineBase + static_cast<int32_t>(body->nFirst), e.strLine, e.what());
  }
  TStringList blocks;
  for (size_t p = 1; p < pieces.size(); ++p) {
    TStringList block{""};
    block.insert(block.end(), List.begin() + static_cast<ptrdiff_t>(nStart),
                 List.begin() + static_cast<ptrdiff_t>(body->nFirst));
    block.insert(block.end(), pieces[p].begin(), pieces[p].end());
    block.push_back(List[nEnd]);
    const int32_t nNew = nNext++;
    RenumberSequences(nNew, block);
    // An imported sequence's pieces keep its kind of label, so that automatic code
    // insertion brackets them as it brackets the sequence (unless the label is taken).
    const std::string& strLabel = List[body->nFirst - 1];
    const std::string strImported = std::string(gc_sImportLabel) + std::to_string(nNew);
    if (StartsWithText(TrimView(strLabel), gc_sImportLabel) &&
        std::none_of(List.begin(), List.end(), [&](const std::string& l) {
          return StartsWithText(TrimView(l), strImported + ":");
        })) {
      std::string& strNewLabel = block[1 + (body->nFirst - 1 - nStart)];
      strNewLabel = strImported + strNewLabel.substr(strNewLabel.find(':'));
    }
    blocks.insert(blocks.end(), block.begin(), block.end());
  }
  List.insert(List.begin() + static_cast<ptrdiff_t>(nEnd + 1), blocks.begin(), blocks.end());
  List.erase(List.begin() + static_cast<ptrdiff_t>(body->nFirst), List.begin() + static_cast<ptrdiff_t>(nEnd));
  List.insert(List.begin() + static_cast<ptrdiff_t>(body->nFirst), pieces[0].begin(), pieces[0].end());
  NewBlocks.insert(NewBlocks.end(), blocks.begin(), blocks.end());
  return ECut::eDone;
}

}  // namespace

TPathOutcome AddTabsToSequence(TProgramDocument& Doc, TTransformer& T, int32_t n, const TTabRequest& R) {
  TPathOutcome out;
  TStringList program = Doc.m_Program, added;
  int32_t nNext = NextSequenceNumber(program);
  const ECut e = CutSequenceIn(program, n, T, R, nNext, added, out.strReason, 0);
  out.bFound = e != ECut::eNoSequence;
  out.bDone = e == ECut::eDone;
  if (!out.bDone) return out;
  Doc.ReplaceProgram(std::move(program));
  // As with a pasted copy, the original program learns of the new sequences.
  TStringList& original = Doc.m_OriginalList.Edit();
  original.insert(original.end(), added.begin(), added.end());
  return out;
}

std::vector<int32_t> AddTabsToAll(TProgramDocument& Doc, TTransformer& T, const TTabRequest& R,
                                  IUserPrompts* pPrompts, int32_t* pTabbed, IProgress* pProgress) {
  std::vector<int32_t> failed;
  if (pTabbed) *pTabbed = 0;
  int32_t nNext = NextSequenceNumber(Doc.m_Program), nTabbed = 0;
  TStringList added, result;
  // Error lines are counted in the program as it was, before any piece was added.
  // Nothing of the document changes before the loop is through; the new program is built
  // beside it piece by piece.
  TProgressStage stage(pProgress, "Changing the sequences", 0.0, 1.0,
                       static_cast<double>(SequencePieceCount(Doc.m_Program)));
  auto visit = [&](size_t i, size_t nLineBase, TStringList& chunk) {
    if (i == 0) return;
    stage.Step(static_cast<double>(i));
    const int32_t n = MarkerNumber(chunk.front());
    std::string strWhy;
    const ECut e = CutSequenceIn(chunk, n, T, R, nNext, added, strWhy, static_cast<int32_t>(nLineBase));
    if (e == ECut::eDone) {
      ++nTabbed;
    } else if (e == ECut::eFailed) {
      failed.push_back(n);
      if (pPrompts)
        pPrompts->ShowMessage(EMessageKind::eWarning, c_sUnableToTransform + std::to_string(n) + ": " + strWhy);
    }
  };
  if (!RebuildProgramBySequence(Doc.m_Program, result, visit, pPrompts)) return failed;
  if (pTabbed) *pTabbed = nTabbed;
  if (nTabbed > 0) {
    Doc.ReplaceProgram(std::move(result));
    TStringList& original = Doc.m_OriginalList.Edit();
    original.insert(original.end(), added.begin(), added.end());
  }
  return failed;
}

}  // namespace veltrane
