// Sequences as pieces in absolute coordinates (from the transformer's reading of every
// move), then the containment test on the true lines and arcs.
#include "transform/CutOrderCheck.h"

#include "model/Statements.h"
#include "tools/ProgramCheck.h"
#include "geometry/PathContainment.h"
#include "geometry/PointMath.h"
#include "transform/Transformer.h"

namespace veltrane {

namespace {

// Written numbers have four decimals: ends this close meet.
constexpr double c_fMeet = 1e-3;

}  // namespace

std::optional<TCutOrderFinding> FirstCutOrderFinding(const TStringList& Program) {
  using namespace offsetcheck;
  TStringList lines = Program;
  TTransformer t;
  t.SetProgram(&lines);
  t.LoadSourceList(false);
  const std::vector<TMoveRecord>& moves = t.SourceMoves();
  std::vector<std::vector<TPiece>> paths;
  std::vector<int32_t> numbers;
  int32_t nOpen = 0;
  for (const TMoveRecord& r : moves) {
    const size_t n = static_cast<size_t>(r.nProgramLine);
    if (n >= lines.size()) continue;
    const int32_t nMarker = TProgramCheck::GetSequenceNumber(lines[n]);
    if (nMarker > 0) {
      nOpen = nMarker;
      paths.emplace_back();
      numbers.push_back(nMarker);
      continue;
    }
    if (nMarker < 0) {
      nOpen = 0;
      continue;
    }
    if (nOpen == 0) continue;
    const ECommandType k = r.MoveType;
    if (IsIncrementalMove(k)) {
      if (!(r.fAbsStartPoint == r.fAbsEndPoint)) paths.back().push_back(LinePiece(r.fAbsStartPoint, r.fAbsEndPoint));
    } else if (IsCircularMove(k)) {
      const bool bFull = r.fEndPoint.fX == 0.0 && r.fEndPoint.fY == 0.0;
      paths.back().push_back(ArcPiece(r.fAbsStartPoint, r.fAbsEndPoint,
                                      pointmath::Add(r.fAbsStartPoint, r.fCentrePoint), r.Direction != 0, bFull));
    }
  }
  std::vector<bool> closed(paths.size(), false);
  for (size_t i = 0; i < paths.size(); ++i)
    closed[i] = !paths[i].empty() && pointmath::Dist(paths[i].front().a, paths[i].back().b) <= c_fMeet;
  // A sequence without moves is no path.
  std::vector<std::vector<TPiece>> withMoves;
  std::vector<bool> closedWithMoves;
  std::vector<size_t> placeOf;
  for (size_t i = 0; i < paths.size(); ++i)
    if (!paths[i].empty()) {
      withMoves.push_back(paths[i]);
      closedWithMoves.push_back(closed[i]);
      placeOf.push_back(i);
    }
  const TContainment c = PathContainment(withMoves, closedWithMoves, c_fMeet);
  for (size_t a = 0; a < withMoves.size(); ++a)
    for (uint32_t b : c.Containers[a])
      if (placeOf[b] < placeOf[a]) return TCutOrderFinding{numbers[placeOf[b]], numbers[placeOf[a]]};
  return std::nullopt;
}

std::string CutOrderFindingText(const TCutOrderFinding& f) {
  return "   - Sequence '" + std::to_string(f.nOuter) + "' is cut before sequence '" + std::to_string(f.nInner) +
         "', which lies inside it";
}

}  // namespace veltrane
