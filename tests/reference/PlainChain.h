// The chaining and ordering rules exactly as written: every step compares with every
// remaining record, and records move inside one list. Slow, plain, and the reference
// that the fast importer must match byte for byte.
#pragma once

#include <map>
#include <vector>

#include "dxf/DXFRecords.h"
#include "model/IntList.h"

namespace veltrane::reference {

void PlainSortPoint(std::vector<TDXFEntity>& L);
int32_t PlainSortList(std::vector<TDXFEntity>& L, const std::vector<TDXFVertex>& V, double fMatchLimit,
                      double fCoincidenceLimit, int32_t nSequence, TIntList& Squences);
void PlainAddPolyline(std::vector<TDXFEntity>& L, const std::vector<TDXFVertex>& V, double fCoincidenceLimit);
// With pContainers (per sequence number, the numbers of the closed paths around it), inner
// paths first.
void PlainQueueSeq(std::vector<TDXFEntity>& L, const TIntList& Squences, int32_t n_seq, double fClosedLimit,
                   const std::map<int32_t, std::vector<int32_t>>* pContainers = nullptr);

}  // namespace veltrane::reference
