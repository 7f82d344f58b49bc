// Element readers: LINE, ARC, CIRCLE, POINT, INSERT, SPLINE, HELIX, ELLIPSE, POLYLINE
// with its VERTEX and SEQEND elements, and LWPOLYLINE. Each reads its pairs up to the
// next code 0. An element that cannot be imported (a coordinate missing or unreadable,
// a radius that is not positive) is left out with a warning naming its line,
// and reading goes on with the next element.
#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

#include "dxf/DXFArcFit.h"
#include "dxf/DXFIn.h"
#include "dxf/DXFPairs.h"

namespace veltrane {

namespace {

constexpr double c_fDegree = std::numbers::pi / 180.0;

// Collects what an element reader needs to judge the element when its pairs are read.
struct TElementState {
  std::string strLayer;
  bool bLayer = false;
  bool bBadNumber = false;
  unsigned nHave = 0;  // bit per required value
  TDXFPlane Plane;     // extrusion and elevation of a planar element
  // Extrusion codes 210, 220, 230 and the elevation's code; true when c was one of them.
  bool PlaneCode(int32_t c, std::string_view v, int32_t nElevationCode) {
    double f = 0.0;
    if (c != nElevationCode && (c < 210 || c > 230 || c % 10 != 0)) return false;
    if (!TryStrToFloat(v, f)) {
      bBadNumber = true;
      return true;
    }
    if (c == nElevationCode) Plane.fElevation = f;
    else Plane.Read(c, f);
    return true;
  }
  void Number(std::string_view v, double& dst, unsigned bit) {
    double f = 0.0;
    if (TryStrToFloat(v, f)) {
      dst = f;
      nHave |= bit;
    } else {
      bBadNumber = true;
    }
  }
};

int32_t IntValue(std::string_view v) {
  double f = 0.0;
  if (TryStrToFloat(v, f) && std::fabs(f) < 2e9) return static_cast<int32_t>(f);
  return 0;
}

}  // namespace

#define VELTRANE_CHECK_ELEMENT(name, st, required)                                   \
  if ((st).bBadNumber) {                                                            \
    Warn(name, "unreadable number", nLine);                                          \
    return;                                                                         \
  }                                                                                 \
  if (((st).nHave & (required)) != (required)) {                                    \
    Warn(name, "missing coordinates", nLine);                                        \
    return;                                                                         \
  }

void TDXFIn::ScanLine() {
  int nLine = m_pLines->LineNumber();
  TDXFEntity r;
  r.EntityType = eDXFET_Line;
  r.nEntity = ++m_nEntity;
  TElementState st;
  ForEachPair(*m_pLines, [&](int32_t c, std::string_view v, int) {
    switch (c) {
      case 8: st.strLayer = v; st.bLayer = true; break;
      case 67: m_bPaperSpace = v == "1"; break;
      case 10: st.Number(v, r.fStartPoint.fX, 1); break;
      case 20: st.Number(v, r.fStartPoint.fY, 2); break;
      case 11: st.Number(v, r.fEndPoint.fX, 4); break;
      case 21: st.Number(v, r.fEndPoint.fY, 8); break;
      default: break;
    }
  });
  VELTRANE_CHECK_ELEMENT("LINE", st, 15u);
  if (!BlockFlag && ResolveLayer(st.strLayer) < 0) return;
  if (r.fStartPoint == r.fEndPoint) {  // CAD debris: a sequence of its own would cut nothing
    Warn("LINE", "zero length", nLine);
    return;
  }
  StoreRecord(r, st.strLayer);
}

void TDXFIn::ScanArc(bool bCircle) {
  int nLine = m_pLines->LineNumber();
  const char* name = bCircle ? "CIRCLE" : "ARC";
  TDXFEntity r;
  r.EntityType = bCircle ? eDXFET_Circle : eDXFET_Arc;
  r.nEntity = ++m_nEntity;
  TElementState st;
  ForEachPair(*m_pLines, [&](int32_t c, std::string_view v, int) {
    switch (c) {
      case 8: st.strLayer = v; st.bLayer = true; break;
      case 67: m_bPaperSpace = v == "1"; break;
      case 10: st.Number(v, r.fCentrePoint.fX, 1); break;
      case 20: st.Number(v, r.fCentrePoint.fY, 2); break;
      case 40: st.Number(v, r.fRadius, 4); break;
      case 50: if (!bCircle) st.Number(v, r.fStartAngle, 8); break;
      case 51: if (!bCircle) st.Number(v, r.fEndAngle, 16); break;
      default: st.PlaneCode(c, v, 30); break;
    }
  });
  VELTRANE_CHECK_ELEMENT(name, st, bCircle ? 7u : 31u);
  if (!(r.fRadius > 0.0)) {
    Warn(name, "radius not positive", nLine);
    return;
  }
  if (bCircle) {
    r.Direction = eClockwise;
    r.fStartAngle = 180.0;
    r.fEndAngle = -180.0;
  } else {
    r.Direction = eAnticlockwise;
    // Reduced in degrees, exactly, before any sine is taken: a huge angle then gives the
    // same point on every system.
    r.fStartAngle = std::fmod(r.fStartAngle, 360.0);
    r.fEndAngle = std::fmod(r.fEndAngle, 360.0);
  }
  if (!BlockFlag && ResolveLayer(st.strLayer) < 0) return;
  NoteTilted(name, st.Plane, nLine);
  StoreRecord(r, st.strLayer, st.Plane, nLine);
}

void TDXFIn::ScanPoint() {
  int nLine = m_pLines->LineNumber();
  TDXFEntity r;
  r.EntityType = eDXFET_Point;
  r.nEntity = ++m_nEntity;
  TElementState st;
  ForEachPair(*m_pLines, [&](int32_t c, std::string_view v, int) {
    switch (c) {
      case 8: st.strLayer = v; st.bLayer = true; break;
      case 67: m_bPaperSpace = v == "1"; break;
      case 10: st.Number(v, r.fStartPoint.fX, 1); break;
      case 20: st.Number(v, r.fStartPoint.fY, 2); break;
      default: break;
    }
  });
  VELTRANE_CHECK_ELEMENT("POINT", st, 3u);
  r.fEndPoint = r.fStartPoint;
  StoreRecord(r, st.strLayer);
}

void TDXFIn::ScanInsert() {
  int nLine = m_pLines->LineNumber();
  TDXFInsert ins;
  ins.nLine = nLine;
  TElementState st;
  double fCols = 1, fRows = 1;
  ForEachPair(*m_pLines, [&](int32_t c, std::string_view v, int) {
    switch (c) {
      case 2: ins.strBlockName = v; break;
      case 8: st.strLayer = v; st.bLayer = true; break;
      case 67: m_bPaperSpace = v == "1"; break;
      case 10: st.Number(v, ins.fInsertPoint.fX, 1); break;
      case 20: st.Number(v, ins.fInsertPoint.fY, 2); break;
      case 41: st.Number(v, ins.fXScale, 0); break;
      case 42: st.Number(v, ins.fYScale, 0); break;
      case 50: st.Number(v, ins.fRotation, 0); break;
      case 70: st.Number(v, fCols, 0); break;
      case 71: st.Number(v, fRows, 0); break;
      case 44: st.Number(v, ins.fColumnSpacing, 0); break;
      case 45: st.Number(v, ins.fRowSpacing, 0); break;
      default: st.PlaneCode(c, v, 30); break;
    }
  });
  VELTRANE_CHECK_ELEMENT("INSERT", st, 3u);
  if (!(fCols >= 1 && fCols <= 1e6 && fRows >= 1 && fRows <= 1e6)) {
    Warn("INSERT", "bad column or row count", nLine);
    return;
  }
  ins.Plane = st.Plane;
  ins.nColumns = static_cast<int32_t>(fCols);
  ins.nRows = static_cast<int32_t>(fRows);
  if (ins.fXScale == 0.0 || ins.fYScale == 0.0) {
    Warn("INSERT", "scale factor 0", nLine);
    return;
  }
  if (BlockFlag) {
    // A nested insertion: expanded whenever its block is inserted.
    NoteTilted("INSERT", ins.Plane, nLine);
    TDXFEntity r;
    r.EntityType = eDXFET_InsertRef;
    r.nEntity = ++m_nEntity;
    r.nInsert = static_cast<int32_t>(m_lstInserts.size());
    m_lstInserts.push_back(ins);
    m_lstBlocks.push_back(r);
    return;
  }
  int32_t n = ResolveLayer(st.strLayer);
  if (n < 0 || LeftInPaperSpace()) return;
  NoteTilted("INSERT", ins.Plane, nLine);
  if (m_bDeferLayers) {
    // Expanded once the layers are chosen, in its place among the records read.
    TDXFEntity r;
    r.EntityType = eDXFET_InsertRef;
    r.nLayer = n;
    r.nLine = nLine;
    r.nInsert = static_cast<int32_t>(m_lstInserts.size());
    m_lstInserts.push_back(ins);
    m_lstRead.push_back(r);
    m_bReadInserts = true;
    return;
  }
  ExpandInsert(ins, n);
}

void TDXFIn::ScanSpline(const char* strElement) {
  int nLine = m_pLines->LineNumber();
  m_degree = 3;
  Knot.clear();
  Weight.clear();
  CtrPoint.clear();
  TElementState st;
  bool bPhase2 = false, bDone = false, bPendingX = false, bPendingFitX = false;
  double fPendingX = 0.0, fPendingFitX = 0.0;
  std::vector<TfPoint> FitPoints;
  TfPoint Tangents[2];
  bool bTangent[2] = {false, false};
  auto full = [&](size_t n, const char* what) {
    if (n >= static_cast<size_t>(c_nMaxSplineItems))
      throw EDXFError(std::string(strElement) + " has more than 2001 " + what +
                          "; the drawing cannot be imported", nLine);
  };
  ForEachPair(*m_pLines, [&](int32_t c, std::string_view v, int) {
    if (c == 8) {
      st.strLayer = v;
      st.bLayer = true;
      return;
    }
    if (c == 67) m_bPaperSpace = v == "1";
    if (bDone) return;
    if (!bPhase2) {
      if (c == 100 && v == "AcDbSpline") bPhase2 = true;
      return;
    }
    double f = 0.0;
    // A Y value completes a point with the X read before it.
    auto point = [&](std::vector<TfPoint>& list, double fX, bool& bPending, const char* what) {
      full(list.size(), what);
      st.Number(v, f, 0);
      list.push_back(TfPoint{bPending ? fX : 0.0, f});
      bPending = false;
    };
    switch (c) {
      case 100: bDone = true; break;  // the spline's data ends at the next subclass
      case 71:
        st.Number(v, f, 0);
        if (f > 3)
          throw EDXFError(std::string(strElement) + " of degree " + std::string(v) +
                              " (at most 3 is supported); the drawing cannot be imported", nLine);
        m_degree = static_cast<int32_t>(f);
        break;
      case 40: full(Knot.size(), "knots"); st.Number(v, f, 0); Knot.push_back(f); break;
      case 41: full(Weight.size(), "weights"); st.Number(v, f, 0); Weight.push_back(f); break;
      case 10: st.Number(v, fPendingX, 0); bPendingX = true; break;
      case 20: point(CtrPoint, fPendingX, bPendingX, "control points"); break;
      case 11: st.Number(v, fPendingFitX, 0); bPendingFitX = true; break;
      case 21: point(FitPoints, fPendingFitX, bPendingFitX, "fit points"); break;
      case 12: st.Number(v, Tangents[0].fX, 0); bTangent[0] = true; break;
      case 22: st.Number(v, Tangents[0].fY, 0); bTangent[0] = true; break;
      case 13: st.Number(v, Tangents[1].fX, 0); bTangent[1] = true; break;
      case 23: st.Number(v, Tangents[1].fY, 0); bTangent[1] = true; break;
      default: break;
    }
  });
  if (st.bBadNumber) {
    Warn(strElement, "unreadable number", nLine);
    return;
  }
  if (!BlockFlag && ResolveLayer(st.strLayer) < 0) return;
  if (CtrPoint.empty()) {
    // A spline given by the points it passes through, as CAD programs often write it.
    if (FitPoints.size() >= 2) {
      InterpolateFitPoints(FitPoints, bTangent[0] ? &Tangents[0] : nullptr, bTangent[1] ? &Tangents[1] : nullptr,
                           st.strLayer, nLine);
      return;
    }
    Warn(strElement, "no control points", nLine);
    return;
  }
  EvaluateSpline(st.strLayer, nLine);
}

int TDXFIn::TraceChords(double fSweep, double fBend) {
  const double fTurns = std::fabs(fSweep) / (2 * std::numbers::pi);
  const double fStep = std::sqrt(8 * c_fTraceTolerance / fBend);
  double n = std::max(std::ceil(c_nArcSamplesPerTurn * fTurns), std::ceil(std::fabs(fSweep) / fStep));
  if (!std::isfinite(n)) n = std::ceil(c_nArcSamplesPerTurn * fTurns);
  return static_cast<int>(std::clamp(n, 1.0, 1e5));
}

void TDXFIn::ScanEllipse() {
  int nLine = m_pLines->LineNumber();
  TElementState st;
  double Cx = 0, Cy = 0, Mx = 0, My = 0, Mz = 0, k = 0, s = 0, e = 2 * std::numbers::pi;
  bool bStart = false, bEnd = false;
  ForEachPair(*m_pLines, [&](int32_t c, std::string_view v, int) {
    switch (c) {
      case 8: st.strLayer = v; st.bLayer = true; break;
      case 67: m_bPaperSpace = v == "1"; break;
      case 10: st.Number(v, Cx, 1); break;
      case 20: st.Number(v, Cy, 2); break;
      case 11: st.Number(v, Mx, 4); break;
      case 21: st.Number(v, My, 8); break;
      case 31: st.Number(v, Mz, 0); break;
      case 40: st.Number(v, k, 16); break;
      case 41: st.Number(v, s, 0); bStart = true; break;
      case 42: st.Number(v, e, 0); bEnd = true; break;
      default: st.PlaneCode(c, v, -1); break;
    }
  });
  VELTRANE_CHECK_ELEMENT("ELLIPSE", st, 31u);
  double a = std::sqrt(Mx * Mx + My * My);
  if (!(k > 0.0 && k <= 1.0) || !(a > 0.0) || !std::isfinite(a)) {
    Warn("ELLIPSE", "degenerate axes", nLine);
    return;
  }
  if (!BlockFlag && ResolveLayer(st.strLayer) < 0) return;
  // The centre and the major axis are world coordinates; the minor axis is N x M scaled
  // by the ratio, so the extrusion N decides which way the parameter runs. Seen from
  // above, an ellipse in a tilted plane is another ellipse, traced by short moves.
  const TfVector3& N0 = st.Plane.fNormal;
  const double nl = std::sqrt(N0.fX * N0.fX + N0.fY * N0.fY + N0.fZ * N0.fZ);
  const bool bPlane = nl > 0.0 && std::isfinite(nl);
  const double nx = bPlane ? N0.fX / nl : 0.0, ny = bPlane ? N0.fY / nl : 0.0, nz = bPlane ? N0.fZ / nl : 1.0;
  const double qx = ny * Mz - nz * My, qy = nz * Mx - nx * Mz;  // N x M, seen from above
  const bool bFlat = nx == 0.0 && ny == 0.0 && Mz == 0.0;
  if (!bFlat) Note("ELLIPSE", "drawn in a tilted plane, projected", nLine);
  double fSweep = 2 * std::numbers::pi;
  if (bStart || bEnd) {
    fSweep = std::fmod(e - s, 2 * std::numbers::pi);
    if (fSweep <= 1e-12) fSweep += 2 * std::numbers::pi;
  }
  if (m_fArcTolerance > 0) {
    // Arcs within the tolerance, the whole ellipse or its part, in quarter turns at most.
    TArcCurve curve{[&](double t) {
                      return TfPoint{Cx + std::cos(t) * Mx + std::sin(t) * k * qx,
                                     Cy + std::cos(t) * My + std::sin(t) * k * qy};
                    },
                    [&](double t, bool) {
                      return TfPoint{-std::sin(t) * Mx + std::cos(t) * k * qx, -std::sin(t) * My + std::cos(t) * k * qy};
                    }};
    const int nQuarters = std::max(1, static_cast<int>(std::ceil(fSweep / (std::numbers::pi / 2) - 1e-9)));
    std::vector<double> breaks;
    for (int i = 0; i <= nQuarters; ++i) breaks.push_back(s + fSweep * i / nQuarters);
    std::vector<TDXFVertex> chain;
    if (FitArcs(curve, breaks, m_fArcTolerance, chain)) {
      if (std::fabs(fSweep - 2 * std::numbers::pi) <= 1e-9) chain.back().fPoint = chain.front().fPoint;  // closed exactly
      StoreVertexChain(chain, st.strLayer, false);
      return;
    }
    Note("ELLIPSE", c_sTooFineForArcs, nLine);
  }
  if (std::fabs(fSweep - 2 * std::numbers::pi) > 1e-9 || !bFlat) {
    // An elliptical arc: the part from the start to the end parameter, as short moves
    // (the longer semi-axis is at most the root of the axes' squares).
    const int n = std::max(4, TraceChords(fSweep, std::sqrt(Mx * Mx + My * My + k * k * (qx * qx + qy * qy))));
    std::vector<TDXFVertex> chain;
    for (int i = 0; i <= n; ++i) {
      double t = s + fSweep * i / n;
      chain.push_back(TDXFVertex{TfPoint{Cx + std::cos(t) * Mx + std::sin(t) * k * qx,
                                         Cy + std::cos(t) * My + std::sin(t) * k * qy},
                                 0.0, 0});
    }
    StoreVertexChain(chain, st.strLayer, false);
    return;
  }
  // The whole ellipse as four circular arcs about four centres.
  double alpha = std::atan(k);
  double phi = Mx == 0.0 ? std::numbers::pi / 2 : std::atan(My / Mx);
  double b = a * k;
  double c = (std::sqrt(a * a + b * b) - (a - b)) / 2;
  double d = a - c / std::cos(alpha);
  double ee = d / std::tan(alpha);
  double kappa = std::numbers::pi / 2 - alpha;
  double ux = std::cos(phi), uy = std::sin(phi);
  double vx = std::cos(phi + std::numbers::pi / 2), vy = std::sin(phi + std::numbers::pi / 2);
  struct {
    double cx, cy, r, s, e;
  } arcs[4] = {
      {Cx - d * ux, Cy - d * uy, a - d, std::numbers::pi + kappa + phi, std::numbers::pi - kappa + phi},
      {Cx + d * ux, Cy + d * uy, a - d, kappa + phi, -kappa + phi},
      {Cx - ee * vx, Cy - ee * vy, b + ee, std::numbers::pi - kappa + phi, kappa + phi},
      {Cx + ee * vx, Cy + ee * vy, b + ee, -kappa + phi, std::numbers::pi + kappa + phi},
  };
  for (const auto& q : arcs) {
    TDXFEntity r;
    r.EntityType = eDXFET_Arc;
    r.Direction = eClockwise;
    r.nEntity = ++m_nEntity;
    r.fCentrePoint = TfPoint{q.cx, q.cy};
    r.fRadius = q.r;
    r.fStartAngle = q.s / c_fDegree;
    r.fEndAngle = q.e / c_fDegree;
    StoreRecord(r, st.strLayer);
  }
}

bool TDXFIn::ScanVertex(TDXFVertex& fVertex, bool bFindLayerMatch, std::string& strLayer, int& nFlags,
                        bool& bBad) {
  TElementState st;
  fVertex = TDXFVertex();
  nFlags = 0;
  if (!bFindLayerMatch) {
    std::string_view v;
    if (!m_pLines->Next(v)) return false;
    st.Number(v, fVertex.fPoint.fX, 1);
  }
  bool bMore = ForEachPair(*m_pLines, [&](int32_t c, std::string_view v, int) {
    switch (c) {
      case 8: st.strLayer = v; st.bLayer = true; break;
      case 67: m_bPaperSpace = v == "1"; break;
      case 10: st.Number(v, fVertex.fPoint.fX, 1); break;
      case 20: st.Number(v, fVertex.fPoint.fY, 2); break;
      case 42: st.Number(v, fVertex.fBulge, 0); break;
      case 70: nFlags = IntValue(v); break;
      default: break;
    }
  });
  bBad = st.bBadNumber || (st.nHave & 3u) != 3u;
  if (st.bLayer) strLayer = st.strLayer;
  return bMore;
}

void TDXFIn::ScanPolyLine(bool& bValueProcessed) {
  bValueProcessed = false;
  int nLine = m_pLines->LineNumber();
  std::string strLayer;
  bool bLayer = false;
  int nFlags = 0;
  bool bBad = false;
  TDXFPlane Plane;  // a 2-D polyline's vertices are in its plane; a 3-D one's (flag 8) are not
  std::vector<TDXFVertex> chain;
  std::string_view line;
  bool bName = false;  // the next line is an element name
  while (m_pLines->Next(line)) {
    if (!bName) {
      int32_t c = GroupCode(line);
      if (c == 0) {
        bName = true;
        continue;
      }
      std::string_view v;
      if (!m_pLines->Next(v)) break;
      if (c == 70) nFlags = IntValue(v);
      if (c == 67) m_bPaperSpace = v == "1";
      if (c == 8) {
        strLayer = v;
        bLayer = true;
      }
      double f = 0.0;
      if ((c == 30 || (c >= 210 && c <= 230 && c % 10 == 0)) && TryStrToFloat(v, f)) {
        if (c == 30) Plane.fElevation = f;
        else Plane.Read(c, f);
      }
      continue;
    }
    bName = false;
    if (line == "VERTEX" || line == "10") {
      TDXFVertex vx;
      std::string strVertexLayer = strLayer;
      int nVFlags = 0;
      bool bVBad = false;
      bool bMore = ScanVertex(vx, line == "VERTEX", strVertexLayer, nVFlags, bVBad);
      if (bVBad) bBad = true;
      else if (!(nVFlags & 16)) {  // a spline's frame control point is no vertex
        strLayer = strVertexLayer;
        bLayer = bLayer || !strVertexLayer.empty();
        chain.push_back(vx);
      }
      if (!bMore) break;
      bName = true;
      continue;
    }
    if (line == "SEQEND") {
      bValueProcessed = true;
      FinishPolyLine(chain, strLayer, nFlags, bBad, Plane, nLine);
      return;
    }
    // Another element before SEQEND: the polyline ends there, and that element is read as
    // it stands (skipping to a SEQEND further on would swallow the elements between).
    Warn("POLYLINE", "no SEQEND: the polyline ends at the " + std::string(line).substr(0, 40) + " on line " +
                         std::to_string(m_pLines->LineNumber()),
         nLine);
    m_pLines->Back();
    FinishPolyLine(chain, strLayer, nFlags, bBad, Plane, nLine);
    return;
  }
  Warn("POLYLINE", "no SEQEND before the end of the file", nLine);
  FinishPolyLine(chain, strLayer, nFlags, bBad, Plane, nLine);
}

void TDXFIn::FinishPolyLine(std::vector<TDXFVertex>& chain, const std::string& strLayer, int nFlags, bool bBad,
                            TDXFPlane Plane, int nLine) {
  if (nFlags & (16 | 64)) {
    Warn("POLYLINE", "polygon or polyface mesh", nLine);
    return;
  }
  if (bBad) {
    Warn("POLYLINE", "vertex with missing or unreadable coordinates", nLine);
    return;
  }
  if (!BlockFlag && ResolveLayer(strLayer) < 0) return;
  if (std::all_of(chain.begin(), chain.end(),
                  [&](const TDXFVertex& v) { return v.fPoint == chain.front().fPoint; })) {
    if (!chain.empty()) Warn("POLYLINE", "zero length", nLine);
    return;
  }
  if (nFlags & 8) Plane = TDXFPlane();
  NoteTilted("POLYLINE", Plane, nLine);
  if (m_bFitPolylines) FitPolylineRuns(chain, m_fArcTolerance, c_fMaxRunTurn);
  StoreVertexChain(chain, strLayer, (nFlags & 1) != 0, Plane, nLine);
}

void TDXFIn::StoreVertexChain(const std::vector<TDXFVertex>& chain, const std::string& strLayer,
                              bool bClosedReturn, const TDXFPlane& Plane, int nLine) {
  TDXFEntity r;
  r.EntityType = eDXFET_PolyLine;
  r.nEntity = ++m_nEntity;
  r.fStartPoint = chain.front().fPoint;
  // A closed polyline ends where it began: its last segment returns to the first vertex.
  r.fEndPoint = bClosedReturn ? chain.front().fPoint : chain.back().fPoint;
  if (!BlockFlag && ResolveLayer(strLayer) < 0) return;
  r.nFirstVertex = static_cast<int32_t>(m_lstVertices.size());
  for (TDXFVertex v : chain) {
    v.nEntity = r.nEntity;
    m_lstVertices.push_back(v);
  }
  if (bClosedReturn) m_lstVertices.push_back(TDXFVertex{chain.front().fPoint, 0.0, r.nEntity});
  r.nVertexCount = static_cast<int32_t>(m_lstVertices.size()) - r.nFirstVertex;
  // In another plane the record is stored as its world copy (with vertices of its own).
  StoreRecord(r, strLayer, Plane, nLine);
}

void TDXFIn::ScanLWPolyLine() {
  int nLine = m_pLines->LineNumber();
  TElementState st;
  struct TV {
    double x, y, bulge;
  };
  std::vector<TV> vs;
  bool bPendingX = false, bOrderError = false;
  double fPendingX = 0.0;
  int nFlags = 0;
  ForEachPair(*m_pLines, [&](int32_t c, std::string_view v, int) {
    double f = 0.0;
    switch (c) {
      case 8: st.strLayer = v; st.bLayer = true; break;
      case 67: m_bPaperSpace = v == "1"; break;
      case 10:
        st.Number(v, fPendingX, 0);
        bPendingX = true;
        break;
      case 20:
        if (!bPendingX) {
          bOrderError = true;
          break;
        }
        st.Number(v, f, 0);
        vs.push_back(TV{fPendingX, f, 0.0});
        bPendingX = false;
        break;
      case 42:
        st.Number(v, f, 0);
        if (!vs.empty()) vs.back().bulge = f;
        break;
      case 70: nFlags = IntValue(v); break;
      default: st.PlaneCode(c, v, 38); break;
    }
  });
  if (st.bBadNumber) {
    Warn("LWPOLYLINE", "unreadable number", nLine);
    return;
  }
  if (bOrderError || bPendingX) {
    Warn("LWPOLYLINE", "missing coordinates", nLine);
    return;
  }
  if (!BlockFlag && ResolveLayer(st.strLayer) < 0) return;
  auto segment = [&](const TV& A, const TV& B) {
    double dx = B.x - A.x, dy = B.y - A.y;
    double L = std::sqrt(dx * dx + dy * dy);
    if (L == 0.0) return;  // a segment of no length makes no move
    TDXFEntity r;
    r.nEntity = ++m_nEntity;
    if (A.bulge == 0.0 || BulgeIsStraight(A.bulge, L)) {
      r.EntityType = eDXFET_Line;
      r.fStartPoint = TfPoint{A.x, A.y};
      r.fEndPoint = TfPoint{B.x, B.y};
    } else {
      double beta = A.bulge;
      double theta = 2 * std::atan(std::fabs(beta));
      double R = L / (2 * std::sin(theta));
      double s = std::fabs(beta) * L / 2;
      double h = std::fabs(R - s);
      double mx = (A.x + B.x) / 2, my = (A.y + B.y) / 2;
      double nx = -dy / L, ny = dx / L;  // left of A->B
      bool bLeft = (beta > 0 && beta <= 1) || beta < -1;
      double cx = mx + (bLeft ? h : -h) * nx, cy = my + (bLeft ? h : -h) * ny;
      double angA = std::atan2(A.y - cy, A.x - cx) / c_fDegree;
      double angB = std::atan2(B.y - cy, B.x - cx) / c_fDegree;
      r.EntityType = eDXFET_Arc;
      r.Direction = eClockwise;
      r.fCentrePoint = TfPoint{cx, cy};
      r.fRadius = R;
      r.fStartAngle = beta < 0 ? angA : angB;
      r.fEndAngle = beta < 0 ? angB : angA;
    }
    StoreRecord(r, st.strLayer, st.Plane, nLine);
  };
  NoteTilted("LWPOLYLINE", st.Plane, nLine);
  if (m_bFitPolylines && vs.size() >= 4) {
    // Runs of short straight segments as arcs; the closing segment stays as it is.
    std::vector<TDXFVertex> chain;
    for (const TV& v : vs) chain.push_back(TDXFVertex{TfPoint{v.x, v.y}, v.bulge, 0});
    const double fLastBulge = vs.back().bulge;
    if (FitPolylineRuns(chain, m_fArcTolerance, c_fMaxRunTurn) > 0) {
      vs.clear();
      for (const TDXFVertex& v : chain) vs.push_back(TV{v.fPoint.fX, v.fPoint.fY, v.fBulge});
      vs.back().bulge = fLastBulge;
    }
  }
  const int32_t nBefore = m_nEntity;
  for (size_t i = 0; i + 1 < vs.size(); ++i) segment(vs[i], vs[i + 1]);
  if ((nFlags & 1) && vs.size() > 1) segment(vs.back(), vs.front());
  if (m_nEntity == nBefore && !vs.empty()) Warn("LWPOLYLINE", "zero length", nLine);
}

}  // namespace veltrane
