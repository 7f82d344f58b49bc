// Sequence operations over the program document.
#include "model/ProgramDocument.h"

#include <algorithm>

#include "model/NumberFormat.h"
#include "model/Statements.h"
#include "model/Text.h"

namespace veltrane {

int32_t TProgramDocument::CalculateCurrentSequence() {
  m_nCurrentSequence = 0;
  if (m_nCaretLine < 0 || m_nCaretLine >= static_cast<int32_t>(m_Program.size())) return 0;
  // The caret line itself is not examined: a start marker belongs to what stands above it.
  for (int32_t i = m_nCaretLine - 1; i >= 0; --i) {
    const std::string& s = m_Program[static_cast<size_t>(i)];
    if (IsStartMarkerLine(s)) {
      m_nCurrentSequence = MarkerNumber(s);
      break;
    }
    if (IsEndMarkerLine(s)) break;
  }
  return m_nCurrentSequence;
}

bool TProgramDocument::TakeBody(const TStringList& Source, int32_t n, TStringList* pRemoveFrom,
                                bool bCopyEndPoints, bool bSetInsertLine) {
  auto body = FindSequenceBody(Source, n);
  if (!body) {
    if (bSetInsertLine) m_nTransformationInsertLine = -1;
    return false;
  }
  m_TransformationList.assign(Source.begin() + static_cast<ptrdiff_t>(body->nFirst),
                              Source.begin() + static_cast<ptrdiff_t>(body->nFirst + body->nCount));
  if (bCopyEndPoints) {
    m_TransformationEndPointList.clear();
    for (size_t i = body->nFirst; i < body->nFirst + body->nCount; ++i)
      m_TransformationEndPointList.push_back(i < m_EndPointList.size() ? m_EndPointList[i]
                                                                       : TEndPoints());
  }
  if (bSetInsertLine) m_nTransformationInsertLine = static_cast<int32_t>(body->nFirst);
  if (pRemoveFrom) {
    auto first = pRemoveFrom->begin() + static_cast<ptrdiff_t>(body->nFirst);
    pRemoveFrom->erase(first, first + static_cast<ptrdiff_t>(body->nCount));
  }
  return true;
}

bool TProgramDocument::GetSequenceFromProgram(int32_t nSequence, bool bCheckMode) {
  if (nSequence < 1) return false;
  return TakeBody(m_Program, nSequence, bCheckMode ? nullptr : &m_Program, true, true);
}

void TProgramDocument::ReturnSequenceToProgram() {
  if (m_nTransformationInsertLine >= 1 &&
      m_nTransformationInsertLine <= static_cast<int32_t>(m_Program.size())) {
    m_pHooks->BeginBulkEdit();
    m_Program.insert(m_Program.begin() + m_nTransformationInsertLine, m_TransformationList.begin(),
                     m_TransformationList.end());
    m_pHooks->EndBulkEdit();
  }
  m_TransformationList.clear();
}

bool TProgramDocument::ReplaceSequenceBody(int32_t nSequence,
                                           const std::function<void(TStringList& Body)>& op,
                                           bool bSaveForUndo) {
  if (nSequence < 1 || !TakeBody(m_Program, nSequence, nullptr, true, true)) return false;
  const size_t nFirst = static_cast<size_t>(m_nTransformationInsertLine);
  const size_t nCount = m_TransformationList.size();
  try {
    op(m_TransformationList);
  } catch (...) {
    m_TransformationList.clear();
    throw;
  }
  if (bSaveForUndo) m_pHooks->SaveForUndo();
  auto first = m_Program.begin() + static_cast<ptrdiff_t>(nFirst);
  m_Program.erase(first, first + static_cast<ptrdiff_t>(nCount));
  ReturnSequenceToProgram();
  return true;
}

void TProgramDocument::ReplaceProgram(TStringList NewProgram) {
  m_pHooks->SaveForUndo();
  m_pHooks->BeginBulkEdit();
  m_Program = std::move(NewProgram);
  m_pHooks->EndBulkEdit();
}

bool TProgramDocument::GetSequenceStringFromProgram(int32_t nSequence) {
  auto start = FindLine(m_Program, 0, [nSequence](const std::string& s) {
    return IsStartMarkerOf(s, nSequence);
  });
  if (!start) return false;
  auto leader = FindLine(m_Program, *start, [](const std::string& s) {
    return StartsWithText(TrimView(s), "MOVEABS");
  });
  if (!leader) return false;
  auto end = FindLine(m_Program, *leader, [nSequence](const std::string& s) {
    return IsEndMarkerOf(s, nSequence);
  });
  if (!end) return false;
  TStringList params;
  ExtractParameterString(m_Program[*leader], params);
  TfPoint p;
  p.fX = params.size() > 0 ? StrToFloat(params[0]) : 0.0;
  p.fY = params.size() > 1 ? StrToFloat(params[1]) : 0.0;
  m_SeqStart = p;
  m_CopyList.assign(m_Program.begin() + static_cast<ptrdiff_t>(*start),
                    m_Program.begin() + static_cast<ptrdiff_t>(*end) + 1);
  return true;
}

bool TProgramDocument::GetFromListWithoutCmp(int32_t nSequenceNumber, bool b_keep) {
  return TakeBody(m_ListWithoutCmp, nSequenceNumber, b_keep ? nullptr : &m_ListWithoutCmp, false, false);
}

bool TProgramDocument::GetSequenceFromOriginalProgram(int32_t nSequenceNumber) {
  return TakeBody(m_OriginalList, nSequenceNumber, nullptr, false, false);
}

void TProgramDocument::SaveForListWithoutCmp(int32_t n) {
  if (n < 1) return;
  const std::string strStart = StartMarker(n);
  for (const std::string& s : m_ListWithoutCmp)
    if (StartsWithText(s, strStart)) return;
  auto body = FindSequenceBody(m_Program, n);
  if (!body) return;
  const TStringList lines(m_Program.begin() + static_cast<ptrdiff_t>(body->nFirst),
                          m_Program.begin() + static_cast<ptrdiff_t>(body->nFirst + body->nCount));
  const TStringList block = UncompensatedBlock(n, lines);
  m_ListWithoutCmp.insert(m_ListWithoutCmp.end(), block.begin(), block.end());
}

TStringList TProgramDocument::UncompensatedBlock(int32_t n, const TStringList& Body) {
  TStringList block{StartMarker(n), std::string(gc_sImportLabel) + std::to_string(n) + ":"};
  block.insert(block.end(), Body.begin(), Body.end());
  block.push_back(EndMarker(n));
  return block;
}

bool TProgramDocument::StoredUncompensatedBody(int32_t n, TStringList& Body) const {
  auto body = FindSequenceBody(m_ListWithoutCmp, n);
  if (!body) return false;
  Body.assign(m_ListWithoutCmp.begin() + static_cast<ptrdiff_t>(body->nFirst),
              m_ListWithoutCmp.begin() + static_cast<ptrdiff_t>(body->nFirst + body->nCount));
  return true;
}

void TProgramDocument::RenewCopyListStart(double fX, double fY) {
  for (std::string& s : m_CopyList)
    if (StartsWithText(TrimView(s), "MOVEABS")) {
      s = "    MOVEABS(" + StringFromDouble(fX) + "," + StringFromDouble(fY) + ")";
      return;
    }
}

bool TProgramDocument::PasteSeqence(double fStartX, double fStartY) {
  RenewCopyListStart(fStartX, fStartY);
  if (m_CopyList.empty()) return false;
  RenumberSequences(NextSequenceNumber(), m_CopyList);
  TStringList& original = m_OriginalList.Edit();
  original.insert(original.end(), m_CopyList.begin(), m_CopyList.end());
  for (size_t i = m_Program.size(); i-- > 0;) {
    if (!StartsWithText(TrimView(m_Program[i]), "'$ENDLAYER")) continue;
    m_pHooks->BeginBulkEdit();
    TStringList block{""};
    block.insert(block.end(), m_CopyList.begin(), m_CopyList.end());
    m_Program.insert(m_Program.begin() + static_cast<ptrdiff_t>(i), block.begin(), block.end());
    m_pHooks->EndBulkEdit();
    return true;
  }
  return false;
}

int32_t TProgramDocument::BatchCopy(int32_t n, double dX, int32_t nX, double dY, int32_t nY) {
  if (!GetSequenceStringFromProgram(n)) return 0;
  m_pHooks->SaveForUndo();
  const double X0 = m_SeqStart.fX, Y0 = m_SeqStart.fY;
  int32_t nMade = 0;
  auto paste = [&](int32_t i, int32_t j) {
    if (i == 1 && j == 1) return;  // the sequence itself
    if (PasteSeqence(X0 + (i - 1) * dX, Y0 + (j - 1) * dY)) ++nMade;
  };
  // The axis with more repeats runs outermost.
  if (nY >= nX) {
    for (int32_t j = 1; j <= nY; ++j)
      for (int32_t i = 1; i <= nX; ++i) paste(i, j);
  } else {
    for (int32_t i = 1; i <= nX; ++i)
      for (int32_t j = 1; j <= nY; ++j) paste(i, j);
  }
  return nMade;
}

bool TProgramDocument::ResetSequence(int32_t n) {
  auto original = FindSequenceBody(m_OriginalList, n);
  if (!original) return false;
  TStringList lines(m_OriginalList.begin() + static_cast<ptrdiff_t>(original->nFirst),
                    m_OriginalList.begin() + static_cast<ptrdiff_t>(original->nFirst + original->nCount));
  return ReplaceSequenceBody(n, [&lines](TStringList& Body) { Body = lines; });
}

bool TProgramDocument::ApplyOrder(const TStringList& Reference, const TStringList& NewOrder) {
  if (Reference == NewOrder) return false;
  TSplitList split;
  if (!SplitProgramIntoSequences(m_Program, split, m_pPrompts)) return false;
  if (!ResortSequences(Reference, NewOrder, split)) return false;
  m_nCaretLine = -1;
  m_pHooks->SaveForUndo();
  m_pHooks->BeginBulkEdit();
  CombineSplitSequencesIntoProgram(split, m_Program);
  m_pHooks->EndBulkEdit();
  return true;
}

bool TProgramDocument::ReorderSequences(const std::function<bool(TStringList& Order)>& obtainOrder) {
  TStringList list;
  bool bValid = GetSequenceNumberList(m_Program, list, m_pPrompts);
  if (!bValid || ListHasDuplicates(list, "Sequence", m_pPrompts)) return false;
  TStringList reference = list;
  if (!obtainOrder || !obtainOrder(list)) return false;
  return ApplyOrder(reference, list);
}

bool TProgramDocument::ReorderByClick(int32_t nSequence, bool& bModeFinished) {
  bModeFinished = false;
  TStringList list;
  bool bValid = GetSequenceNumberList(m_Program, list, m_pPrompts);
  if (!bValid || ListHasDuplicates(list, "Sequence", m_pPrompts)) return false;
  auto it = std::find(list.begin(), list.end(), std::to_string(nSequence));
  if (it == list.end()) return false;  // a click beside every sequence changes nothing
  TStringList reference = list;
  std::string entry = *it;
  list.erase(it);
  size_t pos = std::min(static_cast<size_t>(std::max(m_nReorderNum, 0)), list.size());
  list.insert(list.begin() + static_cast<ptrdiff_t>(pos), entry);
  ++m_nReorderNum;
  if (m_nReorderNum >= static_cast<int32_t>(list.size())) {
    m_nReorderNum = 0;
    bModeFinished = true;
  }
  return ApplyOrder(reference, list);
}

namespace {

// Removes sequence n's block and the empty lines after it; false when it is missing.
bool RemoveSequenceBlock(TStringList& List, int32_t n) {
  auto start = FindLine(List, 0, [n](const std::string& s) { return IsStartMarkerOf(s, n); });
  if (!start) return false;
  auto end = FindLine(List, *start, [n](const std::string& s) { return IsEndMarkerOf(s, n); });
  size_t last = end ? *end + 1 : List.size();
  while (last < List.size() && TrimView(List[last]).empty()) ++last;
  List.erase(List.begin() + static_cast<ptrdiff_t>(*start),
             List.begin() + static_cast<ptrdiff_t>(last));
  return true;
}

}  // namespace

void TProgramDocument::DeleteSequence(int32_t nSequence) {
  if (nSequence < 1) return;
  if (!FindLine(m_Program, 0, [nSequence](const std::string& s) {
        return IsStartMarkerOf(s, nSequence);
      }))
    return;
  m_pHooks->SaveForUndo();
  m_pHooks->BeginBulkEdit();
  RemoveSequenceBlock(m_Program, nSequence);
  m_pHooks->EndBulkEdit();
  RemoveSequenceBlock(m_OriginalList.Edit(), nSequence);
}

}  // namespace veltrane
