// Block insertion: each INSERT copies its block's geometry moved by the block's base
// point, scaled, rotated and placed, nested insertions included. A transformation that
// keeps circles circular keeps arcs as arcs (a mirror reverses their sweep); one that
// does not turns arcs and bulged segments into short straight moves.
#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <numbers>
#include <string>
#include <unordered_map>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/resource.h>
#include <unistd.h>
#endif

#include "dxf/DXFIn.h"

namespace veltrane {

namespace {

constexpr double c_fDegree = std::numbers::pi / 180.0;

// Cosine and sine of an angle in degrees, exact at multiples of 90.
void CosSin(double fDegrees, double& c, double& s) {
  double q = fDegrees / 90.0;
  if (q == std::floor(q) && std::fabs(q) < 1e9) {
    static const double cs[4][2] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}};
    long long k = static_cast<long long>(q) % 4;
    if (k < 0) k += 4;
    c = cs[k][0];
    s = cs[k][1];
    return;
  }
  // Reduced in degrees first, exactly: a huge angle gives the same turn on every system.
  const double a = std::fmod(fDegrees, 360.0) * c_fDegree;
  c = std::cos(a);
  s = std::sin(a);
}

double ReduceAngle(double f) {
  if (f >= 360.0) f = std::fmod(f, 360.0);
  return f;
}

}  // namespace

// p' = A p + t, with the angle map phi' = (mirror ? theta - phi : theta + phi) when similar.
struct TDXFIn::TTransform {
  double a00 = 1, a01 = 0, a10 = 0, a11 = 1, tx = 0, ty = 0;
  bool bSimilar = true, bMirror = false;
  double fScale = 1.0, fTheta = 0.0;

  TfPoint Apply(const TfPoint& p) const {
    return TfPoint{a00 * p.fX + a01 * p.fY + tx, a10 * p.fX + a11 * p.fY + ty};
  }
  double Angle(double phi) const { return ReduceAngle(bMirror ? fTheta - phi : fTheta + phi); }
  // At least the most the linear part stretches any length (the root of its squares).
  double Stretch() const { return std::sqrt(a00 * a00 + a01 * a01 + a10 * a10 + a11 * a11); }
  // this after inner
  TTransform After(const TTransform& i) const {
    TTransform r;
    r.a00 = a00 * i.a00 + a01 * i.a10;
    r.a01 = a00 * i.a01 + a01 * i.a11;
    r.a10 = a10 * i.a00 + a11 * i.a10;
    r.a11 = a10 * i.a01 + a11 * i.a11;
    r.tx = a00 * i.tx + a01 * i.ty + tx;
    r.ty = a10 * i.tx + a11 * i.ty + ty;
    r.bSimilar = bSimilar && i.bSimilar;
    r.bMirror = bMirror != i.bMirror;
    r.fScale = fScale * i.fScale;
    r.fTheta = bMirror ? fTheta - i.fTheta : fTheta + i.fTheta;
    return r;
  }
  // The placement of one INSERT (one cell of its array) of a block with base point b.
  static TTransform Of(const TDXFInsert& ins, const TfPoint& b, int nCol, int nRow) {
    double c = 1, s = 0;
    CosSin(ins.fRotation, c, s);
    double sx = ins.fXScale, sy = ins.fYScale;
    TTransform T;
    T.a00 = c * sx;
    T.a01 = -s * sy;
    T.a10 = s * sx;
    T.a11 = c * sy;
    double ox = nCol * ins.fColumnSpacing, oy = nRow * ins.fRowSpacing;
    double px = ins.fInsertPoint.fX + c * ox - s * oy, py = ins.fInsertPoint.fY + s * ox + c * oy;
    T.tx = px - (T.a00 * b.fX + T.a01 * b.fY);
    T.ty = py - (T.a10 * b.fX + T.a11 * b.fY);
    T.bSimilar = std::fabs(std::fabs(sx) - std::fabs(sy)) <= 1e-12 * std::fabs(sx);
    T.fScale = std::fabs(sx);
    T.bMirror = (sx < 0) != (sy < 0);
    // diag(-1, 1) maps phi to 180 - phi, diag(1, -1) to -phi, diag(-1, -1) to phi + 180.
    T.fTheta = ins.fRotation + (sx < 0 ? 180.0 : 0.0);
    return T;
  }
  // From a plane's own coordinates to the world's X-Y plane (the arbitrary axis rule,
  // then the view from above): for the mirrored plane (0,0,-1) X changes sign; a tilted
  // plane foreshortens one direction, so circles in it become ellipses.
  static TTransform OfPlane(const TDXFPlane& P) {
    TTransform T;
    const TfVector3& n0 = P.fNormal;
    const double len = std::sqrt(n0.fX * n0.fX + n0.fY * n0.fY + n0.fZ * n0.fZ);
    if (!(len > 0.0) || !std::isfinite(len)) return T;
    const double nx = n0.fX / len, ny = n0.fY / len, nz = n0.fZ / len;
    // Ax = Wy x N when N is near the world's Z axis, Wz x N otherwise; Ay = N x Ax.
    double ax, ay, az;
    if (std::fabs(nx) < 1.0 / 64 && std::fabs(ny) < 1.0 / 64) {
      ax = nz, ay = 0.0, az = -nx;
    } else {
      ax = -ny, ay = nx, az = 0.0;
    }
    const double la = std::sqrt(ax * ax + ay * ay + az * az);
    ax /= la, ay /= la, az /= la;
    const double bx = ny * az - nz * ay, by = nz * ax - nx * az;
    T.a00 = ax;
    T.a01 = bx;
    T.a10 = ay;
    T.a11 = by;
    T.tx = P.fElevation * nx;
    T.ty = P.fElevation * ny;
    const double l0 = std::hypot(ax, ay), l1 = std::hypot(bx, by);
    T.bSimilar = std::fabs(l0 - l1) <= 1e-12 && std::fabs(ax * bx + ay * by) <= 1e-12;
    T.bMirror = ax * by - ay * bx < 0;
    T.fScale = l0;
    // Exact at the quarter turns, as the plane (0,0,-1) gives 180.
    T.fTheta = ay == 0.0 ? (ax > 0 ? 0.0 : 180.0) : ax == 0.0 ? (ay > 0 ? 90.0 : 270.0)
                                                             : std::atan2(ay, ax) / c_fDegree;
    return T;
  }
  // The placement of one cell of an INSERT, in world coordinates.
  static TTransform Placed(const TDXFInsert& ins, const TfPoint& b, int nCol, int nRow) {
    const TTransform T = Of(ins, b, nCol, nRow);
    return ins.Plane.IsWorld() ? T : OfPlane(ins.Plane).After(T);
  }
};

void TDXFIn::StoreRecord(TDXFEntity rec, const std::string& strLayer, const TDXFPlane& Plane,
                         int nLine) {
  // Everything inside a block definition belongs to the block; the INSERT's layer
  // decides where its copies go.
  int32_t n = 0;
  if (!BlockFlag) {
    n = ResolveLayer(strLayer);
    if (n < 0 || LeftInPaperSpace()) return;
  }
  // Before the layers are chosen, n is the layer's number among the names read.
  auto& out = BlockFlag ? m_lstBlocks : m_bDeferLayers ? m_lstRead : m_lstRecords[static_cast<size_t>(n)];
  if (!Plane.IsWorld()) {
    rec.nLine = nLine > 0 ? nLine : m_nElementLine;
    CopyTransformed(rec, TTransform::OfPlane(Plane), out, n, nLine);
    return;
  }
  if (rec.nLine == 0) rec.nLine = nLine > 0 ? nLine : m_nElementLine;
  rec.nLayer = n;
  out.push_back(rec);
}

bool TDXFIn::NoteTilted(const char* strElement, const TDXFPlane& Plane, int nLine) {
  if (Plane.IsWorld() || TTransform::OfPlane(Plane).bSimilar) return false;
  Note(strElement, "drawn in a tilted plane, projected", nLine);
  return true;
}

void TDXFIn::CountExpanded(size_t n, int nLine) {
  m_nExpanded += n;
  if (m_nExpanded > m_nMaxExpanded)
    throw EDXFError("Block insertions would create more than " + std::to_string(m_nMaxExpanded) +
                        " elements; the drawing is not imported", nLine);
}

size_t TDXFIn::DefaultMaxExpandedItems() {
  uint64_t nBytes = 0;
#ifdef _WIN32
  MEMORYSTATUSEX m{};
  m.dwLength = sizeof m;
  if (GlobalMemoryStatusEx(&m)) nBytes = m.ullTotalPhys;
  // A job's limit on the process shows as less virtual memory than the machine has.
  if (m.ullTotalVirtual > 0 && m.ullTotalVirtual < nBytes) nBytes = m.ullTotalVirtual;
#else
  const long nPages = ::sysconf(_SC_PHYS_PAGES), nPageSize = ::sysconf(_SC_PAGESIZE);
  if (nPages > 0 && nPageSize > 0) nBytes = static_cast<uint64_t>(nPages) * static_cast<uint64_t>(nPageSize);
  // The process's own limits are smaller than the machine at times: its address space
  // (ulimit -v) and the memory of its control group (a container, a service).
  auto lower = [&](uint64_t nLimit) {
    if (nLimit > 0 && (nBytes == 0 || nLimit < nBytes)) nBytes = nLimit;
  };
  rlimit r{};
  if (::getrlimit(RLIMIT_AS, &r) == 0 && r.rlim_cur != RLIM_INFINITY) lower(static_cast<uint64_t>(r.rlim_cur));
  if (::getrlimit(RLIMIT_DATA, &r) == 0 && r.rlim_cur != RLIM_INFINITY) lower(static_cast<uint64_t>(r.rlim_cur));
  for (const char* strFile : {"/sys/fs/cgroup/memory.max", "/sys/fs/cgroup/memory/memory.limit_in_bytes"}) {
    std::ifstream f(strFile);
    std::string strValue;
    if (f >> strValue && !strValue.empty() && std::isdigit(static_cast<unsigned char>(strValue[0]))) {
      uint64_t n = 0;
      const auto res = std::from_chars(strValue.data(), strValue.data() + strValue.size(), n);
      if (res.ec == std::errc()) lower(n);
    }
  }
#endif
  // Nothing known of the memory: a budget that any machine running this can hold. A known
  // limit, however small, is followed (a process allowed 256 MiB refuses a drawing it
  // could not hold instead of running out of memory half way).
  if (nBytes == 0) return c_nMinExpandedItems;
  const uint64_t n = nBytes / 4 / c_nBytesPerImportedElement;
  return static_cast<size_t>(std::clamp<uint64_t>(n, c_nLeastExpandedItems, c_nMaxExpandedItems));
}

size_t TDXFIn::FindBlock(const std::string& strName) const {
  const auto it = m_BlockIndex.find(strName);
  return it == m_BlockIndex.end() ? c_nNoBlock : it->second;
}

double TDXFIn::BlockCost(size_t nRoot) {
  if (m_BlockCosts.size() != m_lstHeadofBlocks.size()) {
    m_BlockCosts.assign(m_lstHeadofBlocks.size(), 0.0);
    m_BlockCostState.assign(m_lstHeadofBlocks.size(), 0);
  }
  if (m_BlockCostState[nRoot] == 2) return m_BlockCosts[nRoot];
  // Depth first without recursion: a chain of many nested blocks must not use up the
  // stack. A block met again while it is being counted is a cycle: its expansion is
  // refused, so it adds nothing.
  struct TFrame {
    size_t nBlock;
    int32_t nNext;
    double fCost;
    double fPendingCells;  // the cells of the nested insertion being counted
  };
  const int32_t nRecords = static_cast<int32_t>(m_lstBlocks.size());
  std::vector<TFrame> stack{{nRoot, m_lstHeadofBlocks[nRoot].start_index, 0.0, 0.0}};
  m_BlockCostState[nRoot] = 1;
  while (!stack.empty()) {
    TFrame& f = stack.back();
    const TBlock& blk = m_lstHeadofBlocks[f.nBlock];
    if (f.nNext >= blk.end_index || f.nNext >= nRecords) {
      const double fCost = f.fCost;
      m_BlockCosts[f.nBlock] = fCost;
      m_BlockCostState[f.nBlock] = 2;
      stack.pop_back();
      if (!stack.empty()) stack.back().fCost += stack.back().fPendingCells * fCost;
      continue;
    }
    const TDXFEntity& rec = m_lstBlocks[static_cast<size_t>(f.nNext++)];
    if (rec.EntityType == eDXFET_PolyLine) {
      f.fCost += rec.nVertexCount + 1.0;
    } else if (rec.EntityType == eDXFET_InsertRef) {
      const TDXFInsert& inner = m_lstInserts[static_cast<size_t>(rec.nInsert)];
      const double fCells = static_cast<double>(inner.nColumns) * inner.nRows;
      f.fCost += fCells;
      const size_t b = FindBlock(inner.strBlockName);
      if (b == c_nNoBlock || m_BlockCostState[b] == 1) continue;
      if (m_BlockCostState[b] == 2) {
        f.fCost += fCells * m_BlockCosts[b];
      } else {
        f.fPendingCells = fCells;
        m_BlockCostState[b] = 1;
        stack.push_back({b, m_lstHeadofBlocks[b].start_index, 0.0, 0.0});
      }
    } else {
      f.fCost += 1.0;
    }
  }
  return m_BlockCosts[nRoot];
}

void TDXFIn::ExpandInsert(const TDXFInsert& ins, int32_t nLayer) {
  const size_t b = FindBlock(ins.strBlockName);
  if (b == c_nNoBlock) {
    Warn("INSERT", "no block named \"" + ins.strBlockName + "\"", ins.nLine);
    return;
  }
  // Refuse a size bomb before building any of it.
  const double fCells = static_cast<double>(ins.nColumns) * ins.nRows;
  const double fTotal = fCells + fCells * BlockCost(b);
  if (static_cast<double>(m_nExpanded) + fTotal > static_cast<double>(m_nMaxExpanded))
    CountExpanded(m_nMaxExpanded + 1, ins.nLine);
  TDXFInsert scaled = ins;
  const double fUnits = BlockUnitScale(ins.strBlockName, "");
  scaled.fXScale *= fUnits;
  scaled.fYScale *= fUnits;
  std::vector<size_t> stack;
  for (int32_t row = 0; row < ins.nRows; ++row)
    for (int32_t col = 0; col < ins.nColumns; ++col)
      ExpandBlock(b, TTransform::Placed(scaled, m_lstHeadofBlocks[b].fBasePoint, col, row), nLayer, 0, stack,
                  ins.nLine);
}

void TDXFIn::ExpandBlock(size_t nBlock, const TTransform& T, int32_t nLayer, int nDepth,
                         std::vector<size_t>& Stack, int nInsertLine) {
  if (std::find(Stack.begin(), Stack.end(), nBlock) != Stack.end()) {
    Warn("INSERT", "block \"" + m_lstHeadofBlocks[nBlock].BlockName + "\" inserts itself", nInsertLine);
    return;
  }
  if (nDepth >= c_nMaxInsertDepth) {
    Warn("INSERT", "blocks nested more than 16 deep", nInsertLine);
    return;
  }
  CountExpanded(1, nInsertLine);  // placing a copy is work even when the block is empty
  Stack.push_back(nBlock);
  const TBlock blk = m_lstHeadofBlocks[nBlock];
  for (int32_t i = blk.start_index; i < blk.end_index && i < static_cast<int32_t>(m_lstBlocks.size()); ++i) {
    const TDXFEntity rec = m_lstBlocks[static_cast<size_t>(i)];
    if (rec.EntityType != eDXFET_InsertRef) {
      CopyTransformed(rec, T, m_lstRecords[static_cast<size_t>(nLayer)], nLayer, nInsertLine);
      continue;
    }
    TDXFInsert inner = m_lstInserts[static_cast<size_t>(rec.nInsert)];
    const size_t b = FindBlock(inner.strBlockName);
    if (b == c_nNoBlock) continue;
    const double fUnits = BlockUnitScale(inner.strBlockName, blk.BlockName);
    inner.fXScale *= fUnits;
    inner.fYScale *= fUnits;
    for (int32_t row = 0; row < inner.nRows; ++row)
      for (int32_t col = 0; col < inner.nColumns; ++col)
        ExpandBlock(b, T.After(TTransform::Placed(inner, m_lstHeadofBlocks[b].fBasePoint, col, row)), nLayer,
                    nDepth + 1, Stack, nInsertLine);
  }
  Stack.pop_back();
}

void TDXFIn::CopyTransformed(const TDXFEntity& rec, const TTransform& T, std::vector<TDXFEntity>& out,
                             int32_t nLayer, int nInsertLine) {
  TDXFEntity r = rec;
  r.nLayer = nLayer;
  switch (rec.EntityType) {
    case eDXFET_Line:
    case eDXFET_Point:
      CountExpanded(1, nInsertLine);
      r.fStartPoint = T.Apply(rec.fStartPoint);
      r.fEndPoint = T.Apply(rec.fEndPoint);
      out.push_back(r);
      return;
    case eDXFET_Arc:
    case eDXFET_Circle: {
      if (T.bSimilar) {
        CountExpanded(1, nInsertLine);
        r.fCentrePoint = T.Apply(rec.fCentrePoint);
        r.fRadius = rec.fRadius * T.fScale;
        r.fStartAngle = T.Angle(rec.fStartAngle);
        r.fEndAngle = T.Angle(rec.fEndAngle);
        if (T.bMirror) std::swap(r.fStartAngle, r.fEndAngle);  // keeps the sweep's direction
        out.push_back(r);
        return;
      }
      // Scaled unevenly: the arc becomes part of an ellipse, traced by short moves.
      double fSweep;
      if (rec.EntityType == eDXFET_Circle) {
        fSweep = -360.0;
      } else if (rec.Direction == eAnticlockwise) {
        fSweep = std::fmod(rec.fEndAngle - rec.fStartAngle, 360.0);
        if (fSweep <= 0) fSweep += 360.0;
      } else {
        fSweep = -std::fmod(rec.fStartAngle - rec.fEndAngle, 360.0);
        if (fSweep >= 0) fSweep -= 360.0;
      }
      int n = std::max(4, TraceChords(fSweep * c_fDegree, rec.fRadius * T.Stretch()));
      CountExpanded(static_cast<size_t>(n) + 2, nInsertLine);
      TDXFEntity pl;
      pl.EntityType = eDXFET_PolyLine;
      pl.nLayer = nLayer;
      pl.nEntity = ++m_nEntity;
      pl.nLine = rec.nLine;
      pl.nFirstVertex = static_cast<int32_t>(m_lstVertices.size());
      for (int k = 0; k <= n; ++k) {
        double a = (rec.fStartAngle + fSweep * k / n) * c_fDegree;
        TfPoint p{rec.fCentrePoint.fX + rec.fRadius * std::cos(a), rec.fCentrePoint.fY + rec.fRadius * std::sin(a)};
        m_lstVertices.push_back(TDXFVertex{T.Apply(p), 0.0, pl.nEntity});
      }
      pl.nVertexCount = n + 1;
      pl.fStartPoint = m_lstVertices[static_cast<size_t>(pl.nFirstVertex)].fPoint;
      pl.fEndPoint = m_lstVertices.back().fPoint;
      out.push_back(pl);
      return;
    }
    case eDXFET_PolyLine: {
      // A copy with its own vertices, so that every insertion is expanded on its own.
      CountExpanded(static_cast<size_t>(rec.nVertexCount) + 1, nInsertLine);
      r.nEntity = ++m_nEntity;
      r.nFirstVertex = static_cast<int32_t>(m_lstVertices.size());
      for (int32_t k = 0; k < rec.nVertexCount; ++k) {
        TDXFVertex v = m_lstVertices[static_cast<size_t>(rec.nFirstVertex + k)];
        bool bLast = k + 1 == rec.nVertexCount;
        if (v.fBulge != 0.0 && !T.bSimilar && !bLast) {
          // The bulged segment to the next vertex, traced in block space.
          const TfPoint A = v.fPoint, B = m_lstVertices[static_cast<size_t>(rec.nFirstVertex + k + 1)].fPoint;
          double theta = 4 * std::atan(v.fBulge);
          double L = std::hypot(B.fX - A.fX, B.fY - A.fY);
          if (L > 0.0 && !BulgeIsStraight(v.fBulge, L)) {
            double R = std::fabs(L / 2 / std::sin(theta / 2));
            double g = std::atan2(B.fY - A.fY, B.fX - A.fX);
            double delta = theta >= 0 ? g + (std::numbers::pi - theta) / 2 : g - (std::numbers::pi + theta) / 2;
            double cx = A.fX + R * std::cos(delta), cy = A.fY + R * std::sin(delta);
            double a0 = std::atan2(A.fY - cy, A.fX - cx);
            int n = std::max(2, TraceChords(theta, R * T.Stretch()));
            CountExpanded(static_cast<size_t>(n), nInsertLine);
            for (int j = 0; j < n; ++j) {
              double a = a0 + theta * j / n;
              m_lstVertices.push_back(
                  TDXFVertex{T.Apply(TfPoint{cx + R * std::cos(a), cy + R * std::sin(a)}), 0.0, r.nEntity});
            }
            continue;
          }
        }
        v.fPoint = T.Apply(v.fPoint);
        v.fBulge = T.bSimilar ? (T.bMirror ? -v.fBulge : v.fBulge) : 0.0;
        v.nEntity = r.nEntity;
        m_lstVertices.push_back(v);
      }
      r.nVertexCount = static_cast<int32_t>(m_lstVertices.size()) - r.nFirstVertex;
      r.fStartPoint = T.Apply(rec.fStartPoint);
      r.fEndPoint = T.Apply(rec.fEndPoint);
      out.push_back(r);
      return;
    }
    default:
      return;
  }
}

}  // namespace veltrane
