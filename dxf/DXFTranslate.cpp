// Translation to program text: a layer block per layer, a sequence per path, one move
// statement per record, each move relative to where the previous one ended.
#include <algorithm>
#include <array>

#include "dxf/DXFChain.h"
#include "dxf/DXFDedupe.h"
#include "dxf/DXFIn.h"
#include "dxf/DXFTravel.h"
#include "model/MoveWriter.h"
#include "model/NumberFormat.h"

namespace veltrane {

void TDXFIn::ChainAndOrder() { ChainAndOrder(nullptr); }

void TDXFIn::ChainAndOrder(std::array<TLayerOrder, c_nLayerSlots>* pOrders) {
  int32_t nNext = 1;
  const int32_t nLayers = LayerCount();
  m_InnerFirst = TInnerFirst{};
  m_InnerFirst.fTouch = m_fMatchTestLimit;
  m_fTravelBefore = m_fTravelAfter = 0.0;
  // Chaining, then (when chosen) ordering for travel, layer by layer.
  const double fPasses = m_bOptimiseTravel ? 2.0 : 1.0;
  double fRecords = 0.0;
  for (int32_t i = 0; i < nLayers; ++i) fRecords += static_cast<double>(m_lstRecords[static_cast<size_t>(i)].size());
  TProgressStage stage(m_pProgress, "Joining the elements into paths", c_fReadShare, c_fOrderShare, fPasses * fRecords);
  for (int32_t i = 0; i < nLayers; ++i) {
    TIntList squences;
    auto& L = m_lstRecords[static_cast<size_t>(i)];
    m_nDuplicates[static_cast<size_t>(i)] = m_bRemoveDuplicates ? RemoveDuplicateRecords(L, m_fMatchTestLimit) : 0;
    const double fBase = stage.Base();
    int32_t nFirst = nNext;
    // The travel order comes next: the paths may stand as they were made, near ones
    // together, except where paths inside others are looked for path by path in the order
    // of their numbers.
    nNext = SortList(L, m_lstVertices, m_fMatchTestLimit, m_fCoincidenceTestLimit, nFirst, squences, &stage,
                     !m_bCutInnerFirst);
    TInnerFirst* pInner = m_bCutInnerFirst ? &m_InnerFirst : nullptr;
    if (pOrders && !m_bOptimiseTravel) {
      TLayerOrder& o = (*pOrders)[static_cast<size_t>(i)];
      o.nFirstNumber = nFirst;
      o.bPlanned = PlanQueue(L, squences, nFirst, m_fCoincidenceTestLimit, pInner, o.Runs);
    } else {
      QueueSeq(L, squences, nFirst, m_fCoincidenceTestLimit, pInner);
    }
    if (m_bOptimiseTravel) {
      stage.SetBase(fBase + static_cast<double>(L.size()));
      const TTravelResult t = OptimiseTravel(L, nFirst, m_fCoincidenceTestLimit,
                                             m_bCutInnerFirst ? m_InnerFirst.ContainersByPosition
                                                              : std::vector<std::vector<uint32_t>>{},
                                             &stage);
      m_fTravelBefore += t.fBefore;
      m_fTravelAfter += t.fAfter;
    }
    stage.SetBase(fBase + fPasses * static_cast<double>(L.size()));
  }
  stage.Done();
  // The largest gap the matching closed: between consecutive records of one path (the
  // same pairs, the same distances, whether a list is in chain or in travel order).
  m_fLargestGap = 0.0;
  for (int32_t i = 0; i < nLayers; ++i) {
    const TDXFEntity* pPrev = nullptr;
    for (const TDXFEntity& r : m_lstRecords[static_cast<size_t>(i)]) {
      if (!r.bSortedFlag) continue;
      if (pPrev && pPrev->nSequence == r.nSequence)
        m_fLargestGap = std::max(m_fLargestGap, DistanceBetween(pPrev->fEndPoint, r.fStartPoint));
      pPrev = &r;
    }
  }
}

namespace {

// What the program needs of a record once the paths are ordered: under half of it.
struct TPathMove {
  double fSX = 0, fSY = 0, fEX = 0, fEY = 0, fCX = 0, fCY = 0;
  int32_t nSequence = 0, nLayer = 0;
  EDXFEntityType EntityType = eDXFET_NoEntity;
  bool bClockwise = false, bSortedFlag = false;
};

TPathMove MoveOf(const TDXFEntity& r) {
  TPathMove m;
  m.fSX = r.fStartPoint.fX, m.fSY = r.fStartPoint.fY;
  m.fEX = r.fEndPoint.fX, m.fEY = r.fEndPoint.fY;
  m.fCX = r.fCentrePoint.fX, m.fCY = r.fCentrePoint.fY;
  m.nSequence = r.nSequence;
  m.nLayer = r.nLayer;
  m.EntityType = r.EntityType;
  m.bClockwise = r.Direction == eClockwise;
  m.bSortedFlag = r.bSortedFlag;
  return m;
}

// The same questions of either form.
EDXFEntityType TypeOf(const TDXFEntity& r) { return r.EntityType; }
EDXFEntityType TypeOf(const TPathMove& m) { return m.EntityType; }
bool SortedOf(const TDXFEntity& r) { return r.bSortedFlag; }
bool SortedOf(const TPathMove& m) { return m.bSortedFlag; }
int32_t SequenceOf(const TDXFEntity& r) { return r.nSequence; }
int32_t SequenceOf(const TPathMove& m) { return m.nSequence; }
int32_t LayerOf(const TDXFEntity& r) { return r.nLayer; }
int32_t LayerOf(const TPathMove& m) { return m.nLayer; }
bool ClockwiseOf(const TDXFEntity& r) { return r.Direction == eClockwise; }
bool ClockwiseOf(const TPathMove& m) { return m.bClockwise; }
TfPoint StartOf(const TDXFEntity& r) { return r.fStartPoint; }
TfPoint StartOf(const TPathMove& m) { return TfPoint{m.fSX, m.fSY}; }
TfPoint EndOf(const TDXFEntity& r) { return r.fEndPoint; }
TfPoint EndOf(const TPathMove& m) { return TfPoint{m.fEX, m.fEY}; }
TfPoint CentreOf(const TDXFEntity& r) { return r.fCentrePoint; }
TfPoint CentreOf(const TPathMove& m) { return TfPoint{m.fCX, m.fCY}; }

}  // namespace

void TDXFIn::TranslateList(TStringList& lstOut, TLayerContent& tPLayerList) const {
  WriteProgram(lstOut, tPLayerList, m_lstRecords);
}

void TDXFIn::Import(TStringList& ProgramList, TLayerContent& tPLayerList) {
  ProgramList.clear();
  tPLayerList = TLayerContent();
  ReadFile();
  std::array<TLayerOrder, c_nLayerSlots> orders;
  ChainAndOrder(&orders);
  // Once ordered, the records give way to what the program needs of them before the
  // program text is made, so that the two are never held at full size together. A list
  // left in chain order is read in travel order here, each sequence's records together,
  // so that the records are never moved into that order.
  std::array<std::vector<TPathMove>, c_nLayerSlots> moves;
  for (size_t k = 0; k < c_nLayerSlots; ++k) {
    auto& L = m_lstRecords[k];
    const TLayerOrder& o = orders[k];
    if (!o.bPlanned) {
      moves[k].reserve(L.size());
      for (const TDXFEntity& r : L) moves[k].push_back(MoveOf(r));
    } else {
      size_t nMoves = 0;
      for (const TQueuedRun& run : o.Runs) nMoves += run.Size();
      moves[k].reserve(nMoves);
      for (size_t q = 0; q < o.Runs.size(); ++q) {
        if (q + 4 < o.Runs.size()) PrefetchRecord(&L[o.Runs[q + 4].nFirst]);
        const TQueuedRun& run = o.Runs[q];
        const int32_t nSequence = o.nFirstNumber + static_cast<int32_t>(q);
        for (size_t j = 0; j < run.Size(); ++j) {
          // A sequence turned round: its records backwards, each one reversed.
          TPathMove m = MoveOf(L[run.At(j)]);
          if (run.bTurned) {
            std::swap(m.fSX, m.fEX);
            std::swap(m.fSY, m.fEY);
            m.bClockwise = !m.bClockwise;
          }
          m.nSequence = nSequence;
          moves[k].push_back(m);
        }
      }
    }
    m_nWrittenRecords[k] = moves[k].size();
    L = std::vector<TDXFEntity>();  // (= {} would keep the memory)
  }
  m_lstVertices = std::vector<TDXFVertex>();
  WriteProgram(ProgramList, tPLayerList, moves);
}

template <class TLists>
void TDXFIn::WriteProgram(TStringList& lstOut, TLayerContent& tPLayerList, const TLists& Lists) const {
  lstOut.clear();
  tPLayerList.nUseLayer = 0;
  const int32_t nLayers = LayerCount();
  bool bOpenLayer = false;
  int32_t nOpenLayer = 0, nOpenSeq = 0;
  double fRecords = 0.0, fDone = 0.0;
  // At most a line per record, five per path and four per layer: the list is made that
  // long once, not grown by copying.
  size_t nLines = 0;
  for (int32_t i = 0; i < nLayers; ++i) {
    const auto& L = Lists[static_cast<size_t>(i)];
    fRecords += static_cast<double>(L.size());
    nLines += L.size() + 4;
    bool bAny = false;
    int32_t nPrev = 0;
    for (const auto& r : L)
      if (SortedOf(r)) {
        if (!bAny || nPrev != SequenceOf(r)) nLines += 5;
        bAny = true;
        nPrev = SequenceOf(r);
      }
  }
  lstOut.reserve(nLines);
  // Each line is put together here and copied once at its own length.
  std::string line;
  TProgressStage writing(m_pProgress, "Writing the program", c_fOrderShare, 1.0, fRecords);
  auto closeLayer = [&]() {
    lstOut.push_back("'$EndSeq(" + std::to_string(nOpenSeq) + ")");
    lstOut.push_back("'$EndLayer" + std::to_string(nOpenLayer) + ":" + LayerName(nOpenLayer));
    lstOut.push_back("");
  };
  for (int32_t i = 0; i < nLayers; ++i) {
    const auto& L = Lists[static_cast<size_t>(i)];
    bool bFirst = true;
    TMoveWriter Writer;
    for (const auto& r : L) {
      writing.Step(++fDone);
      if (!SortedOf(r)) continue;
      if (bFirst) {
        if (bOpenLayer) closeLayer();
        nOpenLayer = LayerOf(r);
        lstOut.push_back("'$Layer" + std::to_string(nOpenLayer) + ":" + LayerName(nOpenLayer));
        ++tPLayerList.nUseLayer;
        if (nOpenLayer >= 0 && nOpenLayer < 6)
          tPLayerList.sLayerName[nOpenLayer] = LayerName(nOpenLayer);
        bOpenLayer = true;
      }
      if (bFirst || SequenceOf(r) != nOpenSeq) {
        if (!bFirst) {
          lstOut.push_back("'$EndSeq(" + std::to_string(nOpenSeq) + ")");
          lstOut.push_back("");
        }
        nOpenSeq = SequenceOf(r);
        lstOut.push_back("'$StartSeq(" + std::to_string(nOpenSeq) + ")");
        lstOut.push_back("cadseq" + std::to_string(nOpenSeq) + ":");
        const TfPoint S = StartOf(r);
        line.assign("    MOVEABS(");
        AppendNumber(line, S.fX);
        line += ',';
        AppendNumber(line, S.fY);
        line += ')';
        lstOut.emplace_back(line);
        Writer.MoveTo(S);
      }
      bFirst = false;
      // Each move goes from where the previous record ended to this record's end; a
      // move that is too short to write is left out and the next one takes it up.
      switch (TypeOf(r)) {
        case eDXFET_Line:
          line.assign("    MOVE(");
          if (Writer.AppendLine(line, EndOf(r))) {
            line += ')';
            lstOut.emplace_back(line);
          }
          break;
        case eDXFET_Arc:
        case eDXFET_Circle:
          line.assign("    MOVECIRC(");
          if (Writer.AppendArc(line, EndOf(r), CentreOf(r), ClockwiseOf(r), TypeOf(r) == eDXFET_Circle)) {
            line += ')';
            lstOut.emplace_back(line);
          }
          break;
        default:
          break;  // a point is only its sequence's start
      }
    }
  }
  if (bOpenLayer) closeLayer();
  writing.Done();
}

}  // namespace veltrane
