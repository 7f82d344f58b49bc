// The order of a layer's paths as a tour from the origin, shortened by local search: 2-opt
// and Or-opt moves proposed from each end's nearest ends, run until no move improves, then
// kicks (two neighbouring stretches swapped) each kept only when the search after it ends
// shorter. Open paths may be turned round; a loop is entered and left at one point. With
// containers, no move puts a path after a path around it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "model/Records.h"

namespace veltrane {

// One path: an open path runs S to E or, turned round, E to S; a loop is entered and left
// at S and keeps its direction.
struct TTourNode {
  TfPoint S, E;
  bool bLoop = false;
};

class TTourSearch {
 public:
  // Nodes in their first order; Containers (empty, or one list per node): the nodes each
  // lies inside, which must come after it.
  TTourSearch(std::vector<TTourNode> Nodes, std::vector<std::vector<uint32_t>> Containers);

  // Local search until no move improves, then nKicks kicks, each followed by the search;
  // the same nodes and kicks give the same order.
  void Run(size_t nKicks);
  // A loop is to be entered elsewhere: the next Run measures from there.
  void SetLoopPoint(uint32_t k, const TfPoint& p);

  double Length() const;                // the travel from the origin through every node
  std::vector<uint32_t> Order() const;  // node indices in travel order
  bool Reversed(uint32_t k) const { return m_Rev[k] != 0; }
  const TTourNode& Node(uint32_t k) const { return m_Nodes[k]; }

 private:
  TfPoint InAt(size_t i) const;
  TfPoint OutAt(size_t i) const;
  double LegInto(const TfPoint& from, size_t i) const;  // 0 past the last position
  void BuildNeighbours();
  void Reverse(size_t i, size_t j);
  void Push(size_t i);
  bool ReversalKeeps(size_t i, size_t j) const;
  bool MoveKeeps(size_t f, size_t l, size_t pb, bool bTurn) const;
  bool Improve(uint32_t a);
  bool TryTwoOpt(size_t x, size_t y, double fDelta);
  bool TryOrOpt(size_t f, size_t l, size_t pb, bool bTurn, double fDelta);
  void Search();
  bool Kick();
  uint64_t Random();

  std::vector<TTourNode> m_Nodes;  // the last one is the origin, always at position 0
  std::vector<std::vector<uint32_t>> m_Containers, m_Inners;
  std::vector<uint32_t> m_Order, m_Pos;
  std::vector<uint8_t> m_Rev, m_Queued;
  std::vector<uint32_t> m_Queue;
  size_t m_nQueueHead = 0;
  // Per node its ends (a loop's twice), and per end its nearest ends of other nodes.
  std::vector<TfPoint> m_EndPoint;
  std::vector<uint32_t> m_Near;
  std::vector<std::pair<size_t, size_t>> m_Journal;  // reversals since the kick, to undo it
  bool m_bJournal = false;
  double m_fDelta = 0.0;  // the change of length since the kick
  // The least gain a move must make: more than the rounding of the lengths it compares,
  // which grows with the coordinates (moves that only "gain" rounding would be taken
  // round and round for ever).
  double m_fEps = 1e-9;
  uint64_t m_nRandom = 0x9E3779B97F4A7C15ull;
};

}  // namespace veltrane
