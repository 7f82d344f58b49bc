// Path chaining and ordering of one layer's records: points put in a short visiting
// order, records chained end to start into sequences (reversing records as needed),
// polylines expanded into lines and arcs, and sequences ordered by nearest next entry.
#pragma once

#include <algorithm>
#include <utility>
#include <vector>

#include "dxf/DXFRecords.h"
#include "model/IntList.h"
#include "model/Progress.h"

namespace veltrane {

// True when both coordinates differ by less than fLimit (a square box).
inline bool PointsMatch(const TfPoint& a, const TfPoint& b, double fLimit) {
  double dx = a.fX - b.fX, dy = a.fY - b.fY;
  return (dx < 0 ? -dx : dx) < fLimit && (dy < 0 ? -dy : dy) < fLimit;
}
double DistanceBetween(const TfPoint& a, const TfPoint& b);
void ReverseLine(TDXFEntity& r);
TDXFEntity GetVertexPoint(const TDXFVertex& v, const TfPoint& fStartPoint, double fBulge);

// Points to the end of the list in sorted, locally shortened order.
void SortPoint(std::vector<TDXFEntity>& Records);
// Chains the records (after SortPoint), numbering sequences from nSequence; appends the
// numbers to Squences and returns the next free number. Then expands the polylines.
// pStage, when given, counts a step for each record chained. The sequences stand in the
// order of their numbers, or with bMadeOrder (for a caller that orders them afterwards)
// in the order they were made, where paths near one another stand together.
int32_t SortList(std::vector<TDXFEntity>& Records, const std::vector<TDXFVertex>& Vertices,
                 double fMatchLimit, double fCoincidenceLimit, int32_t nSequence, TIntList& Squences,
                 TProgressStage* pStage = nullptr, bool bMadeOrder = false);
void AddPolyline(std::vector<TDXFEntity>& Records, const std::vector<TDXFVertex>& Vertices,
                 double fCoincidenceLimit);
// Orders the sequences by nearest next entry from the origin, reversing where that
// shortens the way, and renumbers them from n_seq in travel order. A sequence whose ends
// meet within fClosedLimit is closed and never turned round.
// With pInnerFirst, a path inside a closed path (not touching it) is queued before it.
struct TInnerFirst {
  double fTouch = 0.0;    // outlines nearer than this touch
  size_t nTouching = 0;   // counted: pairs that touch or cross, not taken as inside
  size_t nInside = 0;     // counted: paths inside another
  // Of the layer last ordered: per position in the new order, the positions of the closed
  // paths around it.
  std::vector<std::vector<uint32_t>> ContainersByPosition;
};
void QueueSeq(std::vector<TDXFEntity>& Records, const TIntList& Squences, int32_t n_seq,
              double fClosedLimit, TInnerFirst* pInnerFirst = nullptr);
// A sequence's records Records[nFirst..nLast] in the order QueueSeq settles on, and
// whether the sequence is turned round (its records backwards, each one reversed).
struct TQueuedRun {
  uint32_t nFirst = 0, nLast = 0;
  bool bTurned = false;
  size_t Size() const { return size_t{nLast} - nFirst + 1; }
  // Where the run's j-th record in travel order stands in the list.
  size_t At(size_t j) const { return bTurned ? nLast - j : nFirst + j; }
};
// The order QueueSeq settles on, without putting the list in it: Runs[k] becomes
// sequence n_seq + k. Otherwise (no sequences, or sequences that do not each stand
// together in the list as chaining leaves them) the list is left as QueueSeq leaves it,
// and the answer is false with no runs.
bool PlanQueue(std::vector<TDXFEntity>& Records, const TIntList& Squences, int32_t n_seq,
               double fClosedLimit, TInnerFirst* pInnerFirst, std::vector<TQueuedRun>& Runs);

// Asks the memory for a record that will be read soon (a list gathered in another order
// otherwise waits for every record in turn).
inline void PrefetchRecord(const TDXFEntity* p) {
#if defined(__GNUC__) || defined(__clang__)
  const char* c = reinterpret_cast<const char*>(p);
  for (size_t k = 0; k < sizeof(TDXFEntity); k += 64) __builtin_prefetch(c + k);
#else
  (void)p;
#endif
}

// Puts Records in the order given (Records[k] becomes the record at From[k], every record
// once; fewer than 2^31 records), moving each record once along the cycles of the
// permutation; Fix(record, k) is applied to each record once it stands at its place k.
// Each cycle's places are gathered first (from the small index array), so that the records
// can be asked of the memory well before they are moved; following the cycle record by
// record waited for every index and every record in turn. A place gathered is marked in
// From itself (its top bit), so that the walk waits on one array, not two; From is used up.
template <class F>
void PermuteInPlace(std::vector<TDXFEntity>& Records, std::vector<uint32_t>&& From, F Fix) {
  constexpr uint32_t c_nDone = 1u << 31;
  const size_t n = Records.size();
  std::vector<uint32_t> cycle;
  constexpr size_t c_nAhead = 8;
  for (size_t j = 0; j < n; ++j) {
    if (From[j] & c_nDone) continue;
    if (From[j] == j) {
      Fix(Records[j], j);
      continue;
    }
    cycle.clear();
    for (uint32_t k = static_cast<uint32_t>(j); !(From[k] & c_nDone);) {
      const uint32_t next = From[k];
      From[k] = next | c_nDone;
      cycle.push_back(k);
      k = next;
    }
    const size_t m = cycle.size();
    for (size_t a = 1; a < std::min(m, c_nAhead); ++a) PrefetchRecord(&Records[cycle[a]]);
    const TDXFEntity t = Records[cycle[0]];
    for (size_t a = 0; a + 1 < m; ++a) {
      if (a + c_nAhead < m) PrefetchRecord(&Records[cycle[a + c_nAhead]]);
      Records[cycle[a]] = Records[cycle[a + 1]];
      Fix(Records[cycle[a]], cycle[a]);
    }
    Records[cycle[m - 1]] = t;
    Fix(Records[cycle[m - 1]], cycle[m - 1]);
  }
}

// Building blocks shared with other orderings of the same rules.
void SortPointWindows(std::vector<TDXFEntity>& Records, size_t nIndex);
void ReverseRecordRange(std::vector<TDXFEntity>& Records, size_t nFirst, size_t nLast);
// One record of a run turned round: its ends swapped and its direction flipped.
inline void TurnInRun(TDXFEntity& r) {
  std::swap(r.fStartPoint, r.fEndPoint);
  r.Direction = r.Direction == eClockwise ? eAnticlockwise : eClockwise;
}

}  // namespace veltrane
