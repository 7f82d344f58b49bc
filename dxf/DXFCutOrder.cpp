// The records of a layer's paths as straight pieces and arcs for the containment test.
#include "dxf/DXFCutOrder.h"

namespace veltrane {

namespace {

using offsetcheck::TPiece;

TPiece PieceOf(const TDXFEntity& r) {
  switch (r.EntityType) {
    case eDXFET_Arc:
      return offsetcheck::ArcPiece(r.fStartPoint, r.fEndPoint, r.fCentrePoint, r.Direction == eClockwise, false);
    case eDXFET_Circle:
      return offsetcheck::ArcPiece(r.fStartPoint, r.fStartPoint, r.fCentrePoint, r.Direction == eClockwise, true);
    case eDXFET_Line:
      return offsetcheck::LinePiece(r.fStartPoint, r.fEndPoint);
    default:
      return offsetcheck::LinePiece(r.fStartPoint, r.fStartPoint);
  }
}

std::vector<TPiece> PiecesOf(const std::vector<TDXFEntity>& Records, size_t nFirst, size_t nLast) {
  std::vector<TPiece> v;
  for (size_t i = nFirst; i <= nLast; ++i) v.push_back(PieceOf(Records[i]));
  return v;
}

}  // namespace

int WindingNumber(const std::vector<TDXFEntity>& Records, size_t nFirst, size_t nLast, const TfPoint& p) {
  return offsetcheck::WindingNumber(PiecesOf(Records, nFirst, nLast), p);
}

TContainment PathContainment(const std::vector<TDXFEntity>& Records, const std::vector<TPathSpan>& Paths,
                             double fTouch) {
  std::vector<std::vector<TPiece>> pieces;
  std::vector<bool> closed;
  pieces.reserve(Paths.size());
  closed.reserve(Paths.size());
  for (const TPathSpan& s : Paths) {
    pieces.push_back(PiecesOf(Records, s.nFirst, s.nLast));
    closed.push_back(s.bClosed);
  }
  return offsetcheck::PathContainment(pieces, closed, fTouch);
}

}  // namespace veltrane
