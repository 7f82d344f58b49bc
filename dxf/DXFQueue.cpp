// Travel ordering: from the origin, repeatedly the sequence whose nearer end is closest,
// with a one-step look-ahead between the best and the runner-up candidate.
#include <cmath>

#include "dxf/DXFChain.h"

namespace veltrane {

namespace {

struct TSeqRange {
  int32_t nNumber = 0;
  size_t nFirst = 0, nLast = 0;
  bool bFound = false;
};

struct TMinSeq {
  size_t min_seq = 0;  // index into the ranges
  bool bReverse = false;
  double disToLast = 0.0;
  TfPoint point;
};

}  // namespace

void QueueSeq(std::vector<TDXFEntity>& L, const TIntList& Squences, int32_t n_seq, double fClosedLimit) {
  const size_t S = static_cast<size_t>(Squences.Count());
  if (S == 0) return;
  // Each sequence's records stand together in the list.
  std::vector<TSeqRange> seqs(S);
  std::vector<size_t> slotOf;  // sequence number - lowest number -> index
  int32_t nLow = Squences.Get(0);
  for (size_t k = 0; k < S; ++k) nLow = std::min(nLow, Squences.Get(static_cast<int32_t>(k)));
  for (size_t k = 0; k < S; ++k) {
    seqs[k].nNumber = Squences.Get(static_cast<int32_t>(k));
    size_t slot = static_cast<size_t>(seqs[k].nNumber - nLow);
    if (slot >= slotOf.size()) slotOf.resize(slot + 1, SIZE_MAX);
    slotOf[slot] = k;
  }
  for (size_t i = 0; i < L.size(); ++i) {
    int64_t slot = static_cast<int64_t>(L[i].nSequence) - nLow;
    if (slot < 0 || static_cast<size_t>(slot) >= slotOf.size() || slotOf[static_cast<size_t>(slot)] == SIZE_MAX)
      continue;
    TSeqRange& r = seqs[slotOf[static_cast<size_t>(slot)]];
    if (!r.bFound) r.nFirst = i;
    r.nLast = i;
    r.bFound = true;
  }
  std::vector<uint8_t> queued(S, 0);
  std::vector<size_t> queue;
  queue.reserve(S);
  for (size_t k = 0; k < S; ++k)
    if (!seqs[k].bFound) queued[k] = 1;  // a number without records is not travelled
  TfPoint O{0, 0, 0};
  auto start = [&](size_t k) -> const TfPoint& { return L[seqs[k].nFirst].fStartPoint; };
  auto end = [&](size_t k) -> const TfPoint& { return L[seqs[k].nLast].fEndPoint; };
  std::vector<uint8_t> closed(S, 0);
  for (size_t k = 0; k < S; ++k)
    if (seqs[k].bFound)
      closed[k] = start(k) == end(k) || PointsMatch(start(k), end(k), fClosedLimit);
  for (;;) {
    // Pass 1: the best candidate and the one it displaced.
    TMinSeq best, second;
    bool bAny = false;
    for (size_t k = 0; k < S; ++k) {
      if (queued[k]) continue;
      double d1 = DistanceBetween(O, start(k)), d2 = DistanceBetween(O, end(k));
      // A closed path is entered where it starts; rounding must not turn it round.
      if (closed[k]) d2 = d1;
      if (!bAny) {
        bAny = true;
        if (d1 <= d2) {
          best = TMinSeq{k, false, d1, start(k)};
          second = TMinSeq{k, true, d2, end(k)};
        } else {
          best = TMinSeq{k, true, d2, end(k)};
          second = TMinSeq{k, false, d1, start(k)};
        }
      }
      // A sequence is reversed only when that shortens the way to it: reversing a closed
      // path (both ends equally far) would only turn its cutting direction round.
      if (d1 > d2 && d2 < best.disToLast) {
        second = best;
        best = TMinSeq{k, true, d2, end(k)};
      } else if (d1 <= d2 && d1 < best.disToLast) {
        second = best;
        best = TMinSeq{k, false, d1, start(k)};
      }
    }
    if (!bAny) break;
    // Pass 2: how near the next sequence would be after each candidate (0 when none is left).
    double minDistSec = 0.0, minDistSec2 = 0.0;
    bool bSec = false;
    for (size_t k = 0; k < S; ++k) {
      if (queued[k] || k == best.min_seq || k == second.min_seq) continue;
      double a = std::min(DistanceBetween(best.point, start(k)), DistanceBetween(best.point, end(k)));
      double b = std::min(DistanceBetween(second.point, start(k)), DistanceBetween(second.point, end(k)));
      if (!bSec || a < minDistSec) minDistSec = a;
      if (!bSec || b < minDistSec2) minDistSec2 = b;
      bSec = true;
    }
    // Ties go to the runner-up, except when it is the same sequence turned round.
    double fBest = best.disToLast + minDistSec, fSecond = second.disToLast + minDistSec2;
    bool bBest = fBest < fSecond || (fBest == fSecond && best.min_seq == second.min_seq);
    const TMinSeq& chosen = bBest ? best : second;
    if (chosen.bReverse) ReverseRecordRange(L, seqs[chosen.min_seq].nFirst, seqs[chosen.min_seq].nLast);
    queued[chosen.min_seq] = 1;
    queue.push_back(chosen.min_seq);
    O = end(chosen.min_seq);
  }
  std::vector<TDXFEntity> out;
  out.reserve(L.size());
  for (size_t q = 0; q < queue.size(); ++q) {
    const TSeqRange& r = seqs[queue[q]];
    for (size_t i = r.nFirst; i <= r.nLast; ++i) {
      if (L[i].nSequence != r.nNumber) continue;
      out.push_back(L[i]);
      out.back().nSequence = n_seq + static_cast<int32_t>(q);
    }
  }
  L = std::move(out);
}

}  // namespace veltrane
