// The path tools of the transformer: radius compensation, fillets, lead in/out, the
// retrace at a path's end, the change of a closed path's start and the offset terms.
#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "geometry/OffsetCheck.h"
#include "geometry/RobustOffset.h"
#include "model/NumberFormat.h"
#include "geometry/PointMath.h"
#include "transform/Transformer.h"

namespace veltrane {

using namespace pointmath;

namespace {

constexpr double c_fParallel = 0.001;   // straight elements this close in direction are parallel
constexpr double c_fTangent = 0.01;     // a line this close to an arc's tangent continues it
constexpr double c_fDirection = 0.001;  // an offset element still runs its way
constexpr double c_fSameCentre = 0.001;

bool IsStraight(ECommandType k) { return IsIncrementalMove(k); }
bool IsArc(ECommandType k) { return IsCircularMove(k); }

// The arc's travel direction at a point seen from its centre in direction a.
double ArcTangent(double fRadial, int32_t nDir) {
  return nDir == 0 ? fRadial + pi / 2 : fRadial - pi / 2;
}

}  // namespace

double TTransformer::LimitAngle(double a) {
  if (a > pi) a -= 2 * pi;
  if (a < -pi) a += 2 * pi;
  return a;
}

double TTransformer::GetLength(const TMoveRecord& r) {
  if (IsStraight(r.MoveType)) return Len(r.fEndPoint);
  if (!IsArc(r.MoveType)) return 0.0;
  const TfPoint c = r.fCentrePoint;
  const double fRadius = Len(c);
  if (r.fEndPoint.fX == 0.0 && r.fEndPoint.fY == 0.0) return 2 * pi * fRadius;  // a full circle
  const double s = Angle(Neg(c)), e = Angle(Sub(r.fEndPoint, c));
  // The sweep in the direction of travel, anticlockwise for 0 and clockwise for 1.
  double w = r.Direction == 0 ? e - s : s - e;
  if (w < 0) w += 2 * pi;
  if (w >= 2 * pi) w -= 2 * pi;
  return w * fRadius;
}

bool TTransformer::Fail(std::string strReason) {
  m_strFailure = std::move(strReason);
  return false;
}

void TTransformer::RequireOnePath(const char* strWhat) const {
  bool bMoved = false, bStart = false;
  for (const TMoveRecord& r : m_lstSourceMoves) {
    if (IsAbsoluteMove(r.MoveType)) {
      if (bMoved || bStart) {
        const size_t n = static_cast<size_t>(r.nProgramLine);
        throw ETransformError(r.nProgramLine, m_pProgram && n < m_pProgram->size() ? (*m_pProgram)[n] : "",
                              std::string("a second absolute move starts another path; ") + strWhat +
                                  " works on one path");
      }
      bStart = true;
    } else if (IsPathMove(r.MoveType)) {
      bMoved = true;
    }
  }
}

// ---------------------------------------------------------------- radius compensation

bool TTransformer::GenerateCmpLines(double f) {
  m_lstLines.clear();
  bool bVanished = false;
  for (size_t i = 0; i < m_lstSourceMoves.size(); ++i) {
    const TMoveRecord& s = m_lstSourceMoves[i];
    TLineRecord L;
    const TfPoint S = s.fAbsStartPoint;
    if (IsStraight(s.MoveType)) {
      const TfPoint d = s.fEndPoint;
      if (d.fX == 0.0 && d.fY == 0.0) continue;  // a move of no length has no direction
      L.LineType = b_MOsp ? eCmd_MoveSP : eCmd_Move;
      if (d.fX == 0.0) {
        L.fAngle = d.fY > 0 ? pi / 2 : -pi / 2;
        L.b = d.fY > 0 ? S.fX - f : S.fX + f;
        L.fAbsCentrePoint = Pt(L.b, S.fY);
      } else {
        L.fAngle = Angle(d);
        const TfPoint P = Add(S, Polar(f, L.fAngle + pi / 2));
        L.b = P.fY - std::tan(L.fAngle) * P.fX;
        L.fAbsCentrePoint = P;
      }
    } else if (IsArc(s.MoveType)) {
      const TfPoint c = s.fCentrePoint;
      const double r = Len(c);
      if (!(r > 0)) continue;  // an arc about its own start has no radius
      const double R = s.Direction == 0 ? r - f : r + f;
      if (!(R > 1e-12 * std::max(1.0, r))) {  // shrunk to nothing: it leaves the outline
        bVanished = true;
        continue;
      }
      L.LineType = b_MCsp ? eCmd_MoveCircSP : eCmd_MoveCirc;
      const TfPoint C = Add(S, c);
      const double ts = Angle(Neg(c)), te = Angle(Sub(s.fAbsEndPoint, C));
      L.fAngle = LimitAngle(ArcTangent(ts, s.Direction));
      L.fOutAngle = LimitAngle(ArcTangent(te, s.Direction));
      L.ndir = s.Direction;
      L.fRadius = R;
      L.fAbsCentrePoint = C;
      L.bFullCircle = s.fEndPoint.fX == 0.0 && s.fEndPoint.fY == 0.0;
    } else {
      continue;
    }
    L.nSource = static_cast<int32_t>(i);
    L.fSrcStart = S;
    L.fSrcEnd = s.fAbsEndPoint;
    m_lstLines.push_back(L);
  }
  if (m_lstLines.empty() && bVanished) return Fail("the tool radius is larger than the path's arcs allow");
  if (m_lstLines.empty()) return Fail("the sequence has no move that can be offset");
  return true;
}

bool TTransformer::GetJunction(int32_t index1, int32_t index2) {
  m_bJunctionMissed = false;
  const int32_t n = static_cast<int32_t>(m_lstLines.size());
  if (index1 < 0 || index2 < 0 || index1 >= n || index2 >= n)
    return Fail("the offset is too large for the path: too few elements are left");
  const TLineRecord& A = m_lstLines[static_cast<size_t>(index1)];
  const TLineRecord& B = m_lstLines[static_cast<size_t>(index2)];
  const bool bArcA = IsArc(A.LineType), bArcB = IsArc(B.LineType);
  // An arc's own end and start on its offset circle, seen from the original joint.
  auto ownPoint = [](const TLineRecord& K, TfPoint joint) {
    return Add(K.fAbsCentrePoint, Polar(K.fRadius, Angle(Sub(joint, K.fAbsCentrePoint))));
  };
  if (B.bConnector) {
    f_junction = ownPoint(A, A.fSrcEnd);
    return true;
  }
  if (A.bConnector) {
    f_junction = ownPoint(B, B.fSrcStart);
    return true;
  }
  // Of two crossings, the one nearer the original joint is meant. Where an element
  // between A and B was removed there is no such joint: the junction is then the first
  // crossing reached travelling along A from where A starts.
  const TfPoint J = A.fSrcEnd;
  const bool bFrom = m_bJunctionFrom;
  const TfPoint F = m_fJunctionFrom;
  auto along = [&A, bArcA, F](TfPoint p) {
    if (!bArcA) {
      const double t = Dot(Sub(p, F), Polar(1, A.fAngle));
      return t >= -1e-9 * std::max(1.0, Len(Sub(p, F))) ? t : 1e300 - t;  // behind the start: last resort
    }
    const double a0 = Angle(Sub(F, A.fAbsCentrePoint)), a1 = Angle(Sub(p, A.fAbsCentrePoint));
    double w = A.ndir == 0 ? a1 - a0 : a0 - a1;
    w = std::fmod(w, 2 * pi);
    if (w < 0) w += 2 * pi;
    if (w > 2 * pi - 1e-9) w = 0;
    return w;
  };
  auto nearer = [&](TfPoint p, TfPoint q) {
    if (bFrom) return along(p) <= along(q) ? p : q;
    return Dist(p, J) <= Dist(q, J) ? p : q;
  };

  if (!bArcA && !bArcB) {
    const double d = AngleDiff(B.fAngle, A.fAngle);
    if (std::fabs(d) < c_fParallel) return Fail("two consecutive straight moves run in one direction");
    if (pi - std::fabs(d) < c_fParallel)
      return Fail("a straight move runs straight back along the one before it");
    const TfPoint d1 = Polar(1, A.fAngle), d2 = Polar(1, B.fAngle);
    const double t = Cross(Sub(B.fAbsCentrePoint, A.fAbsCentrePoint), d2) / Cross(d1, d2);
    f_junction = Add(A.fAbsCentrePoint, Mul(d1, t));
    return true;
  }
  if (bArcA != bArcB) {
    const TLineRecord& L = bArcA ? B : A;
    const TLineRecord& K = bArcA ? A : B;
    const double fCompare = bArcA ? K.fOutAngle : K.fAngle;
    const TfPoint d = Polar(1, L.fAngle);
    const TfPoint C = K.fAbsCentrePoint;
    const TfPoint F = Add(L.fAbsCentrePoint, Mul(d, Dot(Sub(C, L.fAbsCentrePoint), d)));
    const double fDist = Dist(F, C);
    const double h2 = K.fRadius * K.fRadius - fDist * fDist;
    double h = 0;
    if (h2 >= 0) {
      h = std::sqrt(h2);
    } else if (!(fDist - K.fRadius <= 1e-6 * std::max(1.0, K.fRadius) ||
                 std::fabs(AngleDiff(L.fAngle, fCompare)) < c_fTangent)) {
      return Fail("a straight move misses the offset arc next to it");
    }
    f_junction = nearer(Add(F, Mul(d, h)), Sub(F, Mul(d, h)));
    return true;
  }
  // Two arcs: where their offset circles cross, nearer the original joint.
  const TfPoint E1 = ownPoint(A, A.fSrcEnd), S2 = ownPoint(B, B.fSrcStart);
  const double fTol = 1e-6 * std::max({1.0, A.fRadius, B.fRadius});
  if (Dist(E1, S2) <= fTol) {  // the arcs continue each other: their offsets touch there
    f_junction = Mul(Add(E1, S2), 0.5);
    return true;
  }
  const TfPoint C1 = A.fAbsCentrePoint, C2 = B.fAbsCentrePoint;
  const double fD = Dist(C1, C2);
  if (fD > fTol * 1e-3) {
    const double a = (fD * fD + A.fRadius * A.fRadius - B.fRadius * B.fRadius) / (2 * fD);
    const double h2 = A.fRadius * A.fRadius - a * a;
    if (h2 >= 0) {
      const TfPoint u = Mul(Sub(C2, C1), 1 / fD);
      const TfPoint base = Add(C1, Mul(u, a));
      const TfPoint perp = Pt(-u.fY, u.fX);
      const double h = std::sqrt(h2);
      f_junction = nearer(Add(base, Mul(perp, h)), Sub(base, Mul(perp, h)));
      return true;
    }
  }
  // Arcs that continue each other (up to the rounding of their numbers) may have offset
  // circles that only nearly touch: they join where they come closest.
  if (std::fabs(AngleDiff(B.fAngle, A.fOutAngle)) < c_fTangent) {
    f_junction = Mul(Add(E1, S2), 0.5);
    return true;
  }
  m_bJunctionMissed = true;
  return Fail("two offset arcs do not meet");
}

// Where two offset arcs miss each other at an outer corner, a tool rounds the corner:
// an arc of the offset's radius about the original joint joins them. Inserted at nAt
// between the elements nFirst and nSecond; false at an inner corner.
bool TTransformer::InsertConnector(size_t nFirst, size_t nSecond, size_t nAt) {
  const TLineRecord A = m_lstLines[nFirst], B = m_lstLines[nSecond];
  const double fTurn = AngleDiff(B.fAngle, IsArc(A.LineType) ? A.fOutAngle : A.fAngle);
  if (!(fTurn * m_fOffset < 0)) return false;  // the offsets lie inside the corner
  TLineRecord K;
  K.LineType = b_MCsp ? eCmd_MoveCircSP : eCmd_MoveCirc;
  K.fAngle = A.fOutAngle;
  K.fOutAngle = B.fAngle;
  K.fAbsCentrePoint = A.fSrcEnd;
  K.fRadius = std::fabs(m_fOffset);
  K.ndir = fTurn > 0 ? 0 : 1;
  K.nSource = A.nSource;
  K.bConnector = true;
  K.fSrcStart = K.fSrcEnd = A.fSrcEnd;
  m_lstLines.insert(m_lstLines.begin() + static_cast<ptrdiff_t>(nAt), K);
  return true;
}

TMoveRecord TTransformer::JunctionMove(ECommandType evType, TfPoint fEnd) const {
  TMoveRecord r;
  r.MoveType = evType;
  r.fAbsEndPoint = fEnd;
  r.fEndPoint = fEnd;
  return r;
}

bool TTransformer::GetNewJunctions(double f) {
  m_lstJunctions.clear();
  CheckCloseGraph();
  if (m_lstLines.empty()) return Fail("the sequence has no move that can be offset");
  m_bCmpClosed = b_closed && m_lstLines.size() >= 2;
  if (b_closed && m_lstLines.size() == 1 && !m_lstLines[0].bFullCircle)
    return Fail("the offset is too large for the path: too few elements are left");
  const ECommandType evStart = b_MAsp ? eCmd_MoveAbsSP : eCmd_MoveAbs;
  TfPoint start;
  if (!m_bCmpClosed) {
    const TLineRecord& L = m_lstLines.front();
    start = Add(L.fSrcStart, Polar(f, L.fAngle + pi / 2));
  } else {
    const size_t nLast = m_lstLines.size() - 1;
    if (!GetJunction(static_cast<int32_t>(nLast), 0)) {
      if (!m_bJunctionMissed || !InsertConnector(nLast, 0, nLast + 1)) return false;
      if (!GetJunction(static_cast<int32_t>(nLast + 1), 0)) return false;
    }
    start = f_junction;
  }
  m_lstJunctions.push_back(JunctionMove(evStart, start));
  TfPoint prev = start;
  auto append = [&](const TLineRecord& L, TfPoint end) {
    TMoveRecord r = JunctionMove(L.LineType, end);
    r.fAbsStartPoint = prev;
    r.fEndPoint = Sub(end, prev);
    if (IsArc(L.LineType)) {
      r.fCentrePoint = Sub(L.fAbsCentrePoint, prev);
      r.Direction = L.ndir;
    }
    m_lstJunctions.push_back(r);
    prev = end;
  };
  for (size_t i = 0; i + 1 < m_lstLines.size(); ++i) {
    const int32_t a = static_cast<int32_t>(i), b = a + 1;
    if (!GetJunction(a, b)) {
      if (!m_bJunctionMissed || !InsertConnector(i, i + 1, i + 1) || !GetJunction(a, b)) return false;
    }
    append(m_lstLines[i], f_junction);
  }
  if (!m_bCmpClosed) {
    const TLineRecord& L = m_lstLines.back();
    const TfPoint end = IsArc(L.LineType)
                            ? Add(L.fAbsCentrePoint,
                                  Polar(L.fRadius, Angle(Sub(L.fSrcEnd, L.fAbsCentrePoint))))
                            : Add(L.fSrcEnd, Polar(f, L.fAngle + pi / 2));
    append(L, end);
  }
  return true;
}

bool TTransformer::JudgeOnce(bool& bAgain) {
  bAgain = false;
  const bool bClosed = m_bCmpClosed;
  const ECommandType evStart = b_MAsp ? eCmd_MoveAbsSP : eCmd_MoveAbs;
  // The junction that ends element i - 1, at position i.
  auto junctionFor = [&](size_t i, TfPoint p) {
    if (i == 0) return JunctionMove(evStart, p);
    const TLineRecord& L = m_lstLines[i - 1];
    TMoveRecord r = JunctionMove(L.LineType, p);
    r.Direction = L.ndir;
    return r;
  };
  auto tooFew = [this] {
    return Fail("the offset is too large for the path: too few elements are left");
  };
  size_t i = 0;
  while (i + 2 <= m_lstJunctions.size()) {
    if (IsArc(m_lstJunctions[i + 1].MoveType)) {
      ++i;
      continue;
    }
    const TfPoint step = Sub(m_lstJunctions[i + 1].fAbsEndPoint, m_lstJunctions[i].fAbsEndPoint);
    const bool bSameWay = (step.fX != 0.0 || step.fY != 0.0) &&
                          std::fabs(AngleDiff(Angle(step), m_lstLines[i].fAngle)) < c_fDirection;
    if (bSameWay) {
      ++i;
      continue;
    }
    // The offset element runs backwards: it is removed and its neighbours meet.
    const size_t nJ = m_lstJunctions.size();
    if ((!bClosed && nJ < 3) || (bClosed && nJ < 4) || (i == 0 && !bClosed)) return tooFew();
    if (++m_nRemovals > c_nMaxRemovals) return Fail("the offset removes too many elements");
    m_lstLines.erase(m_lstLines.begin() + static_cast<ptrdiff_t>(i));
    m_lstJunctions.erase(m_lstJunctions.begin() + static_cast<ptrdiff_t>(i),
                         m_lstJunctions.begin() + static_cast<ptrdiff_t>(i + 2));
    const int32_t a = i == 0 ? static_cast<int32_t>(m_lstLines.size()) - 1 : static_cast<int32_t>(i) - 1;
    // Element a starts at junction a (the last junction for the closing element).
    if (!JunctionAfterRemoval(a, static_cast<int32_t>(i),
                              i == 0 ? m_lstJunctions.back().fAbsEndPoint : m_lstJunctions[i - 1].fAbsEndPoint))
      return false;
    if (i > m_lstJunctions.size()) continue;
    m_lstJunctions.insert(m_lstJunctions.begin() + static_cast<ptrdiff_t>(i), junctionFor(i, f_junction));
    if (i >= 1) --i;
  }
  if (!bClosed) return true;
  const TLineRecord& last = m_lstLines.back();
  const TfPoint fLastEnd = m_lstJunctions.back().fAbsEndPoint;
  const TfPoint fStart = m_lstJunctions.front().fAbsEndPoint;
  if (!IsArc(last.LineType)) {
    const TfPoint step = Sub(fStart, fLastEnd);
    const bool bSameWay = (step.fX != 0.0 || step.fY != 0.0) &&
                          std::fabs(AngleDiff(Angle(step), last.fAngle)) < c_fDirection;
    if (!bSameWay) {
      if (m_lstJunctions.size() < 4) return tooFew();
      m_lstLines.pop_back();
      m_lstJunctions.pop_back();
      m_lstJunctions.erase(m_lstJunctions.begin());
      if (!JunctionAfterRemoval(static_cast<int32_t>(m_lstLines.size()) - 1, 0, m_lstJunctions.back().fAbsEndPoint))
        return false;
      m_lstJunctions.insert(m_lstJunctions.begin(), JunctionMove(evStart, f_junction));
      bAgain = true;
      return true;
    }
  }
  TMoveRecord closing = junctionFor(m_lstLines.size(), fStart);
  closing.fAbsStartPoint = fLastEnd;
  m_lstJunctions.push_back(closing);
  return true;
}

bool TTransformer::JunctionAfterRemoval(int32_t a, int32_t b, TfPoint fStartOfA) {
  m_bJunctionFrom = true;
  m_fJunctionFrom = fStartOfA;
  const bool bOk = GetJunction(a, b);
  m_bJunctionFrom = false;
  return bOk;
}

bool TTransformer::JudgeNewJunctions() {
  // Each repeat removes an element, so the check ends.
  for (size_t nGuard = m_lstLines.size() + 2; nGuard > 0; --nGuard) {
    bool bAgain = false;
    if (!JudgeOnce(bAgain)) return false;
    if (!bAgain) return true;
  }
  return Fail("the offset is too large for the path: too few elements are left");
}

namespace {

// The direction of travel of a piece at its start or its end.
TfPoint Tangent(const offsetcheck::TPiece& s, bool bEnd) {
  if (!s.bArc) {
    const TfPoint d = Sub(s.b, s.a);
    const double l = Len(d);
    return l > 0 ? Mul(d, 1 / l) : Pt(0, 0);
  }
  const TfPoint r = Sub(bEnd ? s.b : s.a, s.c);
  const double l = Len(r);
  if (!(l > 0)) return Pt(0, 0);
  return s.bCw ? Pt(r.fY / l, -r.fX / l) : Pt(-r.fY / l, r.fX / l);
}

// How much farther from the path the direct offset may keep than the robust one.
constexpr double c_fReachSlack = 2e-3;

// Whether a mitred corner of the direct offset leaves part of the path uncut that a round
// corner would reach: the offset of a move next to the mitre is so short (its far end
// held back by the next corner) that it no longer reaches back past the corner's point.
bool MitreLeavesCornerUncut(const std::vector<offsetcheck::TPiece>& Original, const std::vector<int32_t>& SourceOf,
                            const std::vector<offsetcheck::TPiece>& Offset, const std::vector<int32_t>& Anchors,
                            double f, bool bClosed) {
  constexpr double c_fTol = 1e-3;  // what a mitre may give away against a round corner
  std::unordered_map<int32_t, size_t> index;
  for (size_t i = 0; i < SourceOf.size(); ++i) index[SourceOf[i]] = i;
  const size_t n = Offset.size();
  if (Anchors.size() != n + 1 || n < 2) return false;
  auto source = [&](size_t k) -> ptrdiff_t {
    const auto it = index.find(Anchors[k + 1]);
    return it == index.end() ? -1 : static_cast<ptrdiff_t>(it->second);
  };
  for (size_t k = 0; k < (bClosed ? n : n - 1); ++k) {
    const size_t k2 = (k + 1) % n;
    const ptrdiff_t a = source(k), b = source(k2);
    if (a < 0 || b < 0) continue;
    const bool bWrap = bClosed && b == 0 && a + 1 == static_cast<ptrdiff_t>(Original.size());
    if (b != a + 1 && !bWrap) continue;
    const offsetcheck::TPiece &s = Original[static_cast<size_t>(a)], &t = Original[static_cast<size_t>(b)];
    const TfPoint C = s.b, V = Offset[k].b;
    if (Dist(V, C) <= std::fabs(f) * (1 + 1e-9) + 1e-12) continue;  // no mitre
    if (Dot(Sub(Offset[k2].b, C), Tangent(t, false)) < -c_fTol ||
        Dot(Sub(Offset[k].a, C), Tangent(s, true)) > c_fTol)
      return true;
  }
  return false;
}

}  // namespace

bool TTransformer::Compensation(double f_value) {
  m_strFailure.clear();
  m_strNotice.clear();
  m_fOffset = f_value;
  if (!std::isfinite(f_value)) return Fail("the compensation value is not a number");
  return RunChecked(true, [&] {
    RequireOnePath("compensation");
    if (!GenerateCmpLines(f_value)) return false;
    // Where the direct method finds no path (parallel neighbours, a move running back
    // along the one before it, pieces that do not meet, very many removals) the robust
    // method below builds the offset.
    m_nRemovals = 0;
    const bool bDirect = GetNewJunctions(f_value) && JudgeNewJunctions();
    if (!bDirect) m_lstJunctions.clear();
    // Junction k ends element k - 1; arcs are rebuilt about their own centres from
    // wherever their start junction ended up.
    std::vector<TMoveRecord> moves;
    std::vector<int32_t> anchors;  // the source move each new move stands for
    int32_t nStartSource = -1;
    const TMoveRecord* pStart = nullptr;
    for (const TMoveRecord& s : m_lstSourceMoves)
      if (IsAbsoluteMove(s.MoveType)) {
        pStart = &s;
        nStartSource = static_cast<int32_t>(&s - m_lstSourceMoves.data());
        break;
      }
    TfPoint E;
    for (size_t k = 0; k < m_lstJunctions.size(); ++k) {
      const TMoveRecord& j = m_lstJunctions[k];
      TMoveRecord r;
      r.MoveType = j.MoveType;
      if (k == 0) {
        r.fEndPoint = j.fAbsEndPoint;
        if (pStart) {
          r.bOffsetTerms = pStart->bOffsetTerms;
          r.strTrailer = pStart->strTrailer;
        }
        E = j.fAbsEndPoint;
        moves.push_back(r);
        anchors.push_back(nStartSource);
        continue;
      }
      const TLineRecord& L = m_lstLines[k - 1];
      r.fAbsStartPoint = E;
      r.fAbsEndPoint = j.fAbsEndPoint;
      r.fEndPoint = Sub(j.fAbsEndPoint, E);
      const bool bNoLength = r.fEndPoint.fX == 0.0 && r.fEndPoint.fY == 0.0;
      if (IsArc(j.MoveType)) {
        r.fCentrePoint = Sub(L.fAbsCentrePoint, E);
        r.Direction = L.ndir;
        if (bNoLength && !L.bFullCircle) continue;  // would read as a full circle
        if (!bNoLength && Dist(r.fEndPoint, Pt(0, 0)) < 1e-9 * std::max(1.0, L.fRadius) && !L.bFullCircle)
          continue;
      } else if (bNoLength) {
        continue;
      }
      if (!L.bConnector && L.nSource >= 0)
        r.strTrailer = m_lstSourceMoves[static_cast<size_t>(L.nSource)].strTrailer;
      E = j.fAbsEndPoint;
      moves.push_back(r);
      anchors.push_back(L.nSource);
    }
    // The result must be sound before anything is written: a tool following it must
    // never cut into the part.
    std::vector<offsetcheck::TPiece> original, offset;
    auto piece = [](const TMoveRecord& r, TfPoint a, TfPoint b) {
      if (IsStraight(r.MoveType)) return offsetcheck::LinePiece(a, b);
      return offsetcheck::ArcPiece(a, b, Add(a, r.fCentrePoint), r.Direction != 0,
                                   r.fEndPoint.fX == 0.0 && r.fEndPoint.fY == 0.0);
    };
    std::vector<int32_t> sourceOf;  // the source move of each original piece
    for (size_t i = 0; i < m_lstSourceMoves.size(); ++i) {
      const TMoveRecord& r = m_lstSourceMoves[i];
      if (IsPathMove(r.MoveType) && (r.fEndPoint.fX != 0.0 || r.fEndPoint.fY != 0.0 || IsArc(r.MoveType))) {
        original.push_back(piece(r, r.fAbsStartPoint, r.fAbsEndPoint));
        sourceOf.push_back(static_cast<int32_t>(i));
      }
    }
    TfPoint at;
    for (const TMoveRecord& r : moves) {
      if (IsAbsoluteMove(r.MoveType)) {
        at = r.fEndPoint;
        continue;
      }
      const TfPoint to = Add(at, r.fEndPoint);
      offset.push_back(piece(r, at, to));
      at = to;
    }
    std::vector<TfPoint> uncut;
    std::string strUnsound =
        bDirect ? offsetcheck::CheckOffset(original, offset, f_value, m_bCmpClosed, &uncut) : std::string("robust");
    if (strUnsound.empty() && MitreLeavesCornerUncut(original, sourceOf, offset, anchors, f_value, m_bCmpClosed))
      strUnsound = "mitre";
    // The robust offset, made once when it is needed.
    std::vector<offsetcheck::TOffsetPiece> robust;
    std::vector<offsetcheck::TPiece> robustPieces;
    std::vector<TfPoint> robustUncut;
    std::string strWhy;
    int nRobust = 0;  // 0 not made, 1 made, -1 refused
    auto makeRobust = [&]() -> const std::vector<offsetcheck::TPiece>* {
      if (nRobust == 0) {
        nRobust = offsetcheck::RobustOffset(original, f_value, b_closed, robust, strWhy, robustUncut) ? 1 : -1;
        for (const auto& op : robust) robustPieces.push_back(op.Piece);
      }
      return nRobust > 0 ? &robustPieces : nullptr;
    };
    // Where the direct offset keeps farther from the path than the robust one (a mitre
    // beside a short move, junctions that skip a stretch of the path), it is not the
    // offset the tool should follow.
    if (strUnsound.empty() && offsetcheck::ReachesLess(original, offset, makeRobust, f_value, c_fReachSlack))
      strUnsound = "reach";
    if (!strUnsound.empty()) {
      // The direct method cannot see an offset that crosses itself; the robust one can.
      uncut.clear();
      if (!makeRobust()) return Fail(strWhy);
      uncut = robustUncut;
      moves.clear();
      anchors.clear();
      offset.clear();
      TMoveRecord start = JunctionMove(b_MAsp ? eCmd_MoveAbsSP : eCmd_MoveAbs, robust.front().Piece.a);
      if (pStart) {
        start.bOffsetTerms = pStart->bOffsetTerms;
        start.strTrailer = pStart->strTrailer;
      }
      moves.push_back(start);
      anchors.push_back(nStartSource);
      int32_t nLastSource = -1;
      for (const auto& op : robust) {
        const offsetcheck::TPiece& q = op.Piece;
        TMoveRecord r;
        r.fAbsStartPoint = q.a;
        r.fAbsEndPoint = q.b;
        r.fEndPoint = Sub(q.b, q.a);
        if (q.bArc) {
          r.MoveType = b_MCsp ? eCmd_MoveCircSP : eCmd_MoveCirc;
          r.fCentrePoint = Sub(q.c, q.a);
          r.Direction = q.bCw ? 1 : 0;
          if (q.fSweep >= 2 * pi) r.fEndPoint = Pt(0, 0);  // a full circle
        } else {
          r.MoveType = b_MOsp ? eCmd_MoveSP : eCmd_Move;
        }
        const int32_t nSource = sourceOf[static_cast<size_t>(op.nSource)];
        if (nSource != nLastSource) r.strTrailer = m_lstSourceMoves[static_cast<size_t>(nSource)].strTrailer;
        nLastSource = nSource;
        moves.push_back(r);
        anchors.push_back(nSource);
        offset.push_back(q);
      }
      strUnsound = offsetcheck::CheckOffset(original, offset, f_value, b_closed, &uncut);
      if (!strUnsound.empty()) return Fail(strUnsound);
    }
    // A notch narrower than the tool is passed over; the user hears where.
    if (!uncut.empty())
      m_strNotice = "left uncut near (" + StringFromDouble(uncut.front().fX) + "," +
                    StringFromDouble(uncut.front().fY) + "): a notch narrower than the tool" +
                    (uncut.size() > 1 ? " (and " + std::to_string(uncut.size() - 1) + " more)" : "");
    // The lines of the body that are not moves keep their place after the move they followed.
    int32_t nAfter = -1;
    size_t m = 0;
    for (size_t i = 0; i < m_lstSourceMoves.size(); ++i) {
      const TMoveRecord& s = m_lstSourceMoves[i];
      if (IsMoveKind(s.MoveType)) {
        nAfter = static_cast<int32_t>(i);
        continue;
      }
      while (m < moves.size() && anchors[m] <= nAfter) m_lstNewMoves.push_back(moves[m++]);
      m_lstNewMoves.push_back(s);
    }
    while (m < moves.size()) m_lstNewMoves.push_back(moves[m++]);
    return true;
  });
}

// ---------------------------------------------------------------- fillets

void TTransformer::FilletCorners(double fMaxAngle, double fUsedRadius) {
  Run(true, [&] {
    CheckCloseGraph();
    const size_t n = m_lstSourceMoves.size();
    if (n == 0) return;
    TfPoint carry;
    const ECommandType evArc = b_MCsp ? eCmd_MoveCircSP : eCmd_MoveCirc;
    for (size_t i = 0; i + 1 < n; ++i) {
      const TMoveRecord& A = m_lstSourceMoves[i];
      const TMoveRecord& B = m_lstSourceMoves[i + 1];
      if (!IsStraight(A.MoveType)) {
        m_lstNewMoves.push_back(A);
        carry = TfPoint{};
        continue;
      }
      const TfPoint S = Add(A.fAbsStartPoint, carry);
      TMoveRecord a = A;
      a.fAbsStartPoint = S;
      a.fEndPoint = Sub(A.fAbsEndPoint, S);
      carry = TfPoint{};
      if (!IsStraight(B.MoveType) || !(fUsedRadius > 0)) {
        m_lstNewMoves.push_back(a);
        continue;
      }
      const double fLenA = Len(a.fEndPoint), fLenB = Len(B.fEndPoint);
      const double a1 = Angle(A.fEndPoint), a2 = Angle(B.fEndPoint);
      const double turn = LimitAngle(a2 - a1);
      const bool bCorner = fLenA > 0 && fLenB > 0 && std::fabs(turn) > 1e-9;
      if (!bCorner || std::fabs(pi - std::fabs(turn)) >= fMaxAngle) {
        m_lstNewMoves.push_back(a);
        continue;
      }
      const double T = std::fabs(fUsedRadius / std::tan((pi - turn) / 2));
      // A fillet longer than either move would make a move run backwards: the corner
      // stays sharp.
      // A fillet that just fits a move takes all of it (the tangent length is computed).
      const auto fits = [T](double fLen) { return T <= fLen + 1e-9 * std::max(1.0, fLen); };
      if (!(fits(fLenA) && fits(fLenB))) {
        m_lstNewMoves.push_back(a);
        continue;
      }
      const TfPoint F1 = Add(A.fAbsEndPoint, Polar(T, a1 + pi));
      const TfPoint F2 = Add(B.fAbsStartPoint, Polar(T, a2));
      a.fAbsEndPoint = F1;
      a.fEndPoint = Sub(F1, S);
      if (a.fEndPoint.fX != 0.0 || a.fEndPoint.fY != 0.0) m_lstNewMoves.push_back(a);
      TMoveRecord arc;
      arc.MoveType = evArc;
      const TfPoint C = Add(F1, Polar(fUsedRadius, turn > 0 ? a1 + pi / 2 : a1 - pi / 2));
      arc.Direction = turn > 0 ? 0 : 1;
      arc.fAbsStartPoint = F1;
      arc.fAbsEndPoint = F2;
      arc.fEndPoint = Sub(F2, F1);
      arc.fCentrePoint = Sub(C, F1);
      m_lstNewMoves.push_back(arc);
      carry = Sub(F2, B.fAbsStartPoint);
    }
    TMoveRecord last = m_lstSourceMoves.back();
    if (IsStraight(last.MoveType)) {
      last.fAbsStartPoint = Add(last.fAbsStartPoint, carry);
      last.fEndPoint = Sub(last.fAbsEndPoint, last.fAbsStartPoint);
      // A move used up by the fillet before it is not written as a move of no length.
      if (last.fEndPoint.fX == 0.0 && last.fEndPoint.fY == 0.0 && (carry.fX != 0 || carry.fY != 0)) return;
    }
    m_lstNewMoves.push_back(last);
  });
}

// ---------------------------------------------------------------- lead in/out

void TTransformer::LeadInOut(bool leadindir, bool leadoutdir, double LeadIn, double LeadOut) {
  Run(true, [&] {
    const ECommandType evArc = b_MCsp ? eCmd_MoveCircSP : eCmd_MoveCirc;
    const ECommandType evAbs = b_MAsp ? eCmd_MoveAbsSP : eCmd_MoveAbs;
    // The centre offset of a quarter circle tangent to direction a.
    auto centre = [](double a, double R, bool bAnti) {
      return Polar(R, bAnti ? a + pi / 2 : a - pi / 2);
    };
    auto arcRecord = [&](TfPoint fEnd, TfPoint fCentre, bool bAnti) {
      TMoveRecord r;
      r.MoveType = evArc;
      r.fEndPoint = fEnd;
      r.fCentrePoint = fCentre;
      r.Direction = bAnti ? 0 : 1;
      return r;
    };
    double fAngle = 0;
    bool bAfterStart = false, bPathMoved = false, bEnded = false;
    TMoveRecord start;
    // Lines that are not moves: those after a path's start wait for its lead-in, those
    // after its last move wait for its lead-out, so that a tool switched on after
    // positioning cuts the lead-in and one switched off after the path cuts the lead-out.
    std::vector<TMoveRecord> waiting, trailing;
    auto flush = [this](std::vector<TMoveRecord>& v) {
      m_lstNewMoves.insert(m_lstNewMoves.end(), v.begin(), v.end());
      v.clear();
    };
    auto leadOut = [&] {
      if (bPathMoved && LeadOut > 0) {
        const TfPoint c = centre(fAngle, LeadOut, leadoutdir);
        m_lstNewMoves.push_back(arcRecord(Add(c, Polar(LeadOut, fAngle)), c, leadoutdir));
      }
      bPathMoved = false;
      flush(trailing);
    };
    auto flushStart = [&] {  // a start that no move followed stays as it was
      if (!bAfterStart) return;
      m_lstNewMoves.push_back(start);
      flush(waiting);
      bAfterStart = false;
    };
    auto leadIn = [&](double a) {
      bAfterStart = false;
      TMoveRecord s = start;
      s.MoveType = evAbs;
      if (LeadIn > 0) {
        const TfPoint c = centre(a, LeadIn, leadindir);
        const TfPoint P0 = Add(c, Polar(LeadIn, a + pi));
        s.fEndPoint = Add(start.fEndPoint, P0);
        m_lstNewMoves.push_back(s);
        flush(waiting);
        m_lstNewMoves.push_back(arcRecord(Neg(P0), Sub(c, P0), leadindir));
      } else {
        m_lstNewMoves.push_back(s);
        flush(waiting);
      }
    };
    for (const TMoveRecord& s : m_lstSourceMoves) {
      if (IsAbsoluteMove(s.MoveType)) {
        flushStart();
        leadOut();
        start = s;
        bAfterStart = true;
        bEnded = false;
      } else if (IsStraight(s.MoveType)) {
        if (s.fEndPoint.fX == 0.0 && s.fEndPoint.fY == 0.0 && bAfterStart) continue;
        flush(trailing);
        if (bAfterStart) leadIn(Angle(s.fEndPoint));
        if (s.fEndPoint.fX != 0.0 || s.fEndPoint.fY != 0.0) fAngle = Angle(s.fEndPoint);
        m_lstNewMoves.push_back(s);
        bPathMoved = true;
      } else if (IsArc(s.MoveType)) {
        flush(trailing);
        const TfPoint c = s.fCentrePoint;
        if (bAfterStart) leadIn(ArcTangent(Angle(Neg(c)), s.Direction));
        fAngle = ArcTangent(Angle(Sub(s.fEndPoint, c)), s.Direction);
        m_lstNewMoves.push_back(s);
        bPathMoved = true;
      } else if (s.MoveType == eCmd_EndSeq) {
        flushStart();
        leadOut();
        m_lstNewMoves.push_back(s);
        bEnded = true;
      } else if (bAfterStart) {
        waiting.push_back(s);
      } else if (bPathMoved) {
        trailing.push_back(s);
      } else {
        m_lstNewMoves.push_back(s);
      }
    }
    flushStart();
    if (!bEnded) leadOut();
    flush(trailing);
  });
}

// ---------------------------------------------------------------- add at end

void TTransformer::Retrace(int32_t nFrom, double AddEndValue) {
  double L = 0;
  for (int32_t i = nFrom; i >= 0 && L < AddEndValue; --i) {
    const TMoveRecord& s = m_lstSourceMoves[static_cast<size_t>(i)];
    if (IsAbsoluteMove(s.MoveType)) break;
    if (!IsPathMove(s.MoveType)) continue;
    const double len = GetLength(s);
    TMoveRecord r = s;
    r.strTrailer.clear();
    r.nProgramLine = -1;
    const TfPoint E = s.fAbsEndPoint;
    if (IsStraight(s.MoveType)) {
      if (L + len > AddEndValue) {
        const double d = AddEndValue - L;
        r.fEndPoint = Polar(d, Angle(s.fEndPoint) + pi);
        m_lstNewMoves.push_back(r);
        return;
      }
      r.fEndPoint = Neg(s.fEndPoint);
    } else {
      const TfPoint C = Add(s.fAbsStartPoint, s.fCentrePoint);
      const double fRadius = Len(s.fCentrePoint);
      r.Direction = s.Direction == 0 ? 1 : 0;
      r.fCentrePoint = Sub(C, E);
      if (L + len > AddEndValue) {
        const double w = (AddEndValue - L) / fRadius;
        const double u = Angle(Sub(E, C));
        const TfPoint end = Add(C, Polar(fRadius, r.Direction == 0 ? u + w : u - w));
        r.fEndPoint = Sub(end, E);
        m_lstNewMoves.push_back(r);
        return;
      }
      r.fEndPoint = Neg(s.fEndPoint);
    }
    m_lstNewMoves.push_back(r);
    L += len;
  }
}

void TTransformer::AddEnd(double AddEndValue) {
  Run(true, [&] {
    // The retrace follows the path's last move, before the lines that stood after it.
    bool bFoundEnd = false;
    int32_t nLastMove = -1;
    std::vector<TMoveRecord> trailing;
    auto flush = [&] {
      m_lstNewMoves.insert(m_lstNewMoves.end(), trailing.begin(), trailing.end());
      trailing.clear();
    };
    for (size_t i = 0; i < m_lstSourceMoves.size(); ++i) {
      const TMoveRecord& s = m_lstSourceMoves[i];
      if (s.MoveType == eCmd_EndSeq) {
        if (nLastMove >= 0) Retrace(nLastMove, AddEndValue);
        flush();
        m_lstNewMoves.push_back(s);
        bFoundEnd = true;
        nLastMove = -1;
      } else if (IsMoveKind(s.MoveType)) {
        flush();
        m_lstNewMoves.push_back(s);
        nLastMove = IsAbsoluteMove(s.MoveType) ? -1 : static_cast<int32_t>(i);
      } else if (nLastMove >= 0) {
        trailing.push_back(s);
      } else {
        m_lstNewMoves.push_back(s);
      }
    }
    if (!bFoundEnd && nLastMove >= 0) Retrace(nLastMove, AddEndValue);
    flush();
  });
}

// ---------------------------------------------------------------- change start

bool TTransformer::ChangeSeqStartPoint(double fx, double fy) {
  m_strFailure.clear();
  return RunChecked(true, [&] {
    RequireOnePath("changing the start");
    CheckCloseGraph();
    if (!b_closed) return Fail("the sequence is not closed");
    const TfPoint click = Pt(fx, fy);
    // Pass 1: the point of the path nearest the click, on the first nearest move.
    int32_t nBest = -1;
    double fBest = 0;
    TfPoint N;
    for (size_t i = 0; i < m_lstSourceMoves.size(); ++i) {
      const TMoveRecord& s = m_lstSourceMoves[i];
      const TfPoint S = s.fAbsStartPoint, E = s.fAbsEndPoint;
      TfPoint cand;
      if (IsStraight(s.MoveType)) {
        const TfPoint d = s.fEndPoint;
        const double dd = Dot(d, d);
        const double t = dd > 0 ? std::clamp(Dot(Sub(click, S), d) / dd, 0.0, 1.0) : 0.0;
        cand = t <= 0 ? S : t >= 1 ? E : Add(S, Mul(d, t));
      } else if (IsArc(s.MoveType)) {
        const TfPoint C = Add(S, s.fCentrePoint);
        const double r = Len(s.fCentrePoint);
        const double tc = Angle(Sub(click, C));
        if (s.fEndPoint.fX == 0.0 && s.fEndPoint.fY == 0.0) {
          cand = Add(C, Polar(r, tc));
        } else {
          const double ts = Angle(Neg(s.fCentrePoint)), te = Angle(Sub(E, C));
          auto positive = [](double a) { return a < 0 ? a + 2 * pi : a; };
          const double rel = s.Direction == 1 ? positive(tc - te) : positive(tc - ts);
          const double span = s.Direction == 1 ? positive(ts - te) : positive(te - ts);
          if (rel > 0 && rel < span)
            cand = Add(C, Polar(r, tc));
          else
            cand = Dist(S, click) < Dist(E, click) ? S : E;
        }
      } else {
        continue;
      }
      const double fDist = Dist(cand, click);
      if (nBest < 0 || fDist < fBest) {
        nBest = static_cast<int32_t>(i);
        fBest = fDist;
        N = cand;
      }
    }
    if (nBest < 0) return Fail("the sequence has no move");
    const size_t b = static_cast<size_t>(nBest);
    const TMoveRecord& M = m_lstSourceMoves[b];
    // Pass 2: the path rebuilt to start at N. Lines before the start move stay in front.
    size_t nFirst = 0;
    const TMoveRecord* pStart = nullptr;
    for (size_t i = 0; i < m_lstSourceMoves.size(); ++i)
      if (IsAbsoluteMove(m_lstSourceMoves[i].MoveType)) {
        pStart = &m_lstSourceMoves[i];
        for (size_t k = 0; k < i; ++k) m_lstNewMoves.push_back(m_lstSourceMoves[k]);
        nFirst = i + 1;
        break;
      }
    TMoveRecord start;
    start.MoveType = b_MAsp ? eCmd_MoveAbsSP : eCmd_MoveAbs;
    start.fEndPoint = start.fAbsEndPoint = N;
    if (pStart) {
      start.bOffsetTerms = pStart->bOffsetTerms;
      start.strTrailer = pStart->strTrailer;
    }
    m_lstNewMoves.push_back(start);
    const TfPoint C = Add(M.fAbsStartPoint, M.fCentrePoint);
    auto piece = [&](TfPoint from, TfPoint to, bool bFirstPart) {
      if (from == to) return;  // a piece of no length; an arc of no length would be a full circle
      TMoveRecord r;
      r.fAbsStartPoint = from;
      r.fAbsEndPoint = to;
      r.fEndPoint = Sub(to, from);
      if (IsStraight(M.MoveType)) {
        r.MoveType = b_MOsp ? eCmd_MoveSP : eCmd_Move;
      } else {
        r.MoveType = b_MCsp ? eCmd_MoveCircSP : eCmd_MoveCirc;
        r.fCentrePoint = bFirstPart ? M.fCentrePoint : Sub(C, from);
        r.Direction = M.Direction;
      }
      if (!bFirstPart) r.strTrailer = M.strTrailer;
      m_lstNewMoves.push_back(r);
    };
    const bool bFullCircle = IsArc(M.MoveType) && M.fEndPoint.fX == 0.0 && M.fEndPoint.fY == 0.0;
    if (bFullCircle && N == M.fAbsStartPoint)
      m_lstNewMoves.push_back(M);
    else
      piece(N, M.fAbsEndPoint, false);
    for (size_t i = b + 1; i < m_lstSourceMoves.size(); ++i) m_lstNewMoves.push_back(m_lstSourceMoves[i]);
    for (size_t i = nFirst; i < b; ++i) m_lstNewMoves.push_back(m_lstSourceMoves[i]);
    piece(M.fAbsStartPoint, N, true);
    ClearUpNewList();
    return true;
  });
}

void TTransformer::ClearUpNewList() {
  auto& v = m_lstNewMoves;
  // The start move stays; pieces of one move split by an earlier start join again.
  size_t i = 1;
  while (v.size() >= 2 && i + 2 <= v.size()) {
    TMoveRecord& a = v[i];
    const TMoveRecord& b = v[i + 1];
    auto isNull = [](const TMoveRecord& r) {
      return IsStraight(r.MoveType) && r.fEndPoint.fX == 0.0 && r.fEndPoint.fY == 0.0;
    };
    if (isNull(a)) {
      v.erase(v.begin() + static_cast<ptrdiff_t>(i));
      continue;
    }
    if (isNull(b)) {
      v.erase(v.begin() + static_cast<ptrdiff_t>(i + 1));
      continue;
    }
    if (a.MoveType != b.MoveType) {
      ++i;
      continue;
    }
    // b joins a: one move from a's start to b's end.
    auto join = [&](ECommandType evType) {
      a.MoveType = evType;
      a.fEndPoint = Add(a.fEndPoint, b.fEndPoint);
      a.fAbsEndPoint = b.fAbsEndPoint;
      a.nProgramLine = -1;
      if (a.strTrailer.empty()) a.strTrailer = b.strTrailer;
      v.erase(v.begin() + static_cast<ptrdiff_t>(i + 1));
    };
    if (IsArc(a.MoveType)) {
      const TfPoint ca = Add(a.fAbsStartPoint, a.fCentrePoint), cb = Add(b.fAbsStartPoint, b.fCentrePoint);
      // Arcs about one centre join only when they turn the same way.
      if (std::fabs(ca.fX - cb.fX) > c_fSameCentre || std::fabs(ca.fY - cb.fY) > c_fSameCentre ||
          a.Direction != b.Direction) {
        ++i;
        continue;
      }
      join(b_MCsp ? eCmd_MoveCircSP : eCmd_MoveCirc);
    } else if (IsStraight(a.MoveType)) {
      if (std::fabs(AngleDiff(Angle(a.fEndPoint), Angle(b.fEndPoint))) >= c_fDirection) {
        ++i;
        continue;
      }
      join(b_MOsp ? eCmd_MoveSP : eCmd_Move);
    } else {
      ++i;
    }
  }
}

// ---------------------------------------------------------------- offset terms

void TTransformer::SetOffsetTerms(bool bOn) {
  Run(
      false,
      [&] {
        m_lstNewMoves = m_lstSourceMoves;
        for (TMoveRecord& r : m_lstNewMoves)
          if (IsAbsoluteMove(r.MoveType)) r.bOffsetTerms = bOn;
      },
      ERoom::eNone);
}

}  // namespace veltrane
