// Translation to program text: a layer block per layer, a sequence per path, one move
// statement per record, each move relative to where the previous one ended.
#include <algorithm>

#include "dxf/DXFChain.h"
#include "dxf/DXFDedupe.h"
#include "dxf/DXFIn.h"
#include "dxf/DXFTravel.h"
#include "model/MoveWriter.h"
#include "model/NumberFormat.h"

namespace veltrane {

void TDXFIn::ChainAndOrder() {
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
    nNext = SortList(L, m_lstVertices, m_fMatchTestLimit, m_fCoincidenceTestLimit, nFirst, squences, &stage);
    QueueSeq(L, squences, nFirst, m_fCoincidenceTestLimit, m_bCutInnerFirst ? &m_InnerFirst : nullptr);
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
  // The largest gap the matching closed: between consecutive records of one path.
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

void TDXFIn::TranslateList(TStringList& lstOut, TLayerContent& tPLayerList) const {
  lstOut.clear();
  tPLayerList.nUseLayer = 0;
  const int32_t nLayers = LayerCount();
  bool bOpenLayer = false;
  int32_t nOpenLayer = 0, nOpenSeq = 0;
  double fRecords = 0.0, fDone = 0.0;
  for (int32_t i = 0; i < nLayers; ++i) fRecords += static_cast<double>(m_lstRecords[static_cast<size_t>(i)].size());
  TProgressStage writing(m_pProgress, "Writing the program", c_fOrderShare, 1.0, fRecords);
  auto closeLayer = [&]() {
    lstOut.push_back("'$EndSeq(" + std::to_string(nOpenSeq) + ")");
    lstOut.push_back("'$EndLayer" + std::to_string(nOpenLayer) + ":" + LayerName(nOpenLayer));
    lstOut.push_back("");
  };
  for (int32_t i = 0; i < nLayers; ++i) {
    const auto& L = m_lstRecords[static_cast<size_t>(i)];
    bool bFirst = true;
    TMoveWriter Writer;
    for (const TDXFEntity& r : L) {
      writing.Step(++fDone);
      if (!r.bSortedFlag) continue;
      if (bFirst) {
        if (bOpenLayer) closeLayer();
        nOpenLayer = r.nLayer;
        lstOut.push_back("'$Layer" + std::to_string(nOpenLayer) + ":" + LayerName(nOpenLayer));
        ++tPLayerList.nUseLayer;
        if (nOpenLayer >= 0 && nOpenLayer < 6)
          tPLayerList.sLayerName[nOpenLayer] = LayerName(nOpenLayer);
        bOpenLayer = true;
      }
      if (bFirst || r.nSequence != nOpenSeq) {
        if (!bFirst) {
          lstOut.push_back("'$EndSeq(" + std::to_string(nOpenSeq) + ")");
          lstOut.push_back("");
        }
        nOpenSeq = r.nSequence;
        lstOut.push_back("'$StartSeq(" + std::to_string(nOpenSeq) + ")");
        lstOut.push_back("cadseq" + std::to_string(nOpenSeq) + ":");
        lstOut.push_back("    MOVEABS(" + StringFromDouble(r.fStartPoint.fX) + "," +
                         StringFromDouble(r.fStartPoint.fY) + ")");
        Writer.MoveTo(r.fStartPoint);
      }
      bFirst = false;
      // Each move goes from where the previous record ended to this record's end; a
      // move that is too short to write is left out and the next one takes it up.
      std::string strArgs;
      switch (r.EntityType) {
        case eDXFET_Line:
          strArgs = Writer.Line(r.fEndPoint);
          if (!strArgs.empty()) lstOut.push_back("    MOVE(" + strArgs + ")");
          break;
        case eDXFET_Arc:
        case eDXFET_Circle:
          strArgs = Writer.Arc(r.fEndPoint, r.fCentrePoint, r.Direction == eClockwise,
                               r.EntityType == eDXFET_Circle);
          if (!strArgs.empty()) lstOut.push_back("    MOVECIRC(" + strArgs + ")");
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
