// The program document: the program's lines and the working state of the sequence
// tools that the main window holds, kept free of any window so that every sequence
// operation runs and is tested without one.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "model/Records.h"
#include "model/SequenceMarkup.h"
#include "model/SharedLines.h"
#include "model/UserPrompts.h"

namespace veltrane {

class TProgramDocument {
 public:
  TProgramDocument() = default;
  TProgramDocument(const TProgramDocument&) = delete;
  TProgramDocument& operator=(const TProgramDocument&) = delete;

  void SetPrompts(IUserPrompts* pPrompts) { m_pPrompts = pPrompts; }
  void SetHooks(IDocumentHooks* pHooks) { m_pHooks = pHooks ? pHooks : &m_NoHooks; }

  // The program text (the editor's lines) and the lists the interpreter fills for it.
  TStringList m_Program;
  std::vector<TDisplayRecord> m_DisplayList;
  std::vector<TEndPoints> m_EndPointList;
  std::vector<TDisplayRecord> m_AddDisList;

  // Parallel copies kept for radius compensation and for the original pattern.
  TStringList m_ListWithoutCmp;
  TSharedLines m_OriginalList;
  // Whether compensating every sequence keeps each one's uncompensated copy in
  // m_ListWithoutCmp; a caller that never compensates from the copies spares the memory.
  bool m_bKeepUncompensated = true;

  // Working state of the sequence tools.
  int32_t m_nCaretLine = -1;  // -1: the caret is on no line
  int32_t m_nCurrentSequence = 0;
  TStringList m_TransformationList;
  std::vector<TEndPoints> m_TransformationEndPointList;
  int32_t m_nTransformationInsertLine = -1;
  TStringList m_CopyList;
  TfPoint m_SeqStart;
  int32_t m_nReorderNum = 0;

  // Sets m_nCurrentSequence from the caret line and returns it.
  int32_t CalculateCurrentSequence();

  // Takes the body of sequence n out into m_TransformationList; in the check mode the
  // body is copied and the program keeps it. False when the sequence is not found.
  bool GetSequenceFromProgram(int32_t nSequence, bool bCheckMode = false);
  // Puts m_TransformationList back where the body stood.
  void ReturnSequenceToProgram();
  // Runs op over a copy of sequence n's body (in m_TransformationList) and puts the result
  // in place of the body; when op throws, the program is left as it was. False when the
  // sequence is not found. The undo point is taken only once op has succeeded.
  bool ReplaceSequenceBody(int32_t nSequence, const std::function<void(TStringList& Body)>& op,
                           bool bSaveForUndo = true);
  // The whole program replaced, as one undoable step.
  void ReplaceProgram(TStringList NewProgram);
  // Copies the whole block of sequence n, markers included, into m_CopyList.
  bool GetSequenceStringFromProgram(int32_t nSequence);
  bool GetFromListWithoutCmp(int32_t nSequenceNumber, bool b_keep);
  bool GetSequenceFromOriginalProgram(int32_t nSequenceNumber);

  // Keeps sequence n's body as it stands in the uncompensated-copy store, unless one
  // is kept already.
  void SaveForListWithoutCmp(int32_t nSequenceNumber);
  // The store's block for sequence n: start marker, label, the body, end marker.
  static TStringList UncompensatedBlock(int32_t nSequenceNumber, const TStringList& Body);
  // The stored uncompensated body of sequence n; false when none is stored.
  bool StoredUncompensatedBody(int32_t nSequenceNumber, TStringList& Body) const;

  // The copied sequence's first absolute move moved to (fX, fY).
  void RenewCopyListStart(double fX, double fY);
  // The copied sequence, renumbered, put at (fStartX, fStartY) before the last layer's
  // end marker and added to the original program. False when nothing was inserted.
  bool PasteSeqence(double fStartX, double fStartY);
  // Copies of sequence n on a grid: nX by nY positions dX and dY apart, the sequence
  // itself standing at the first. One undo step; the number of copies made.
  int32_t BatchCopy(int32_t nSequence, double dX, int32_t nX, double dY, int32_t nY);
  // Sequence n's body as it was when the program was opened, imported or reset; false
  // when the snapshot does not hold it.
  bool ResetSequence(int32_t nSequence);

  int32_t NextSequenceNumber() const { return veltrane::NextSequenceNumber(m_Program); }

  // Reorders the sequences. obtainOrder receives the program's order and may change it;
  // it returns false to cancel. True when the program changed.
  bool ReorderSequences(const std::function<bool(TStringList& Order)>& obtainOrder);
  // One click of the plot's reorder mode; bModeFinished tells when every position is filled.
  bool ReorderByClick(int32_t nSequence, bool& bModeFinished);

  // Removes sequence n and the empty lines after it, here and in the original program.
  void DeleteSequence(int32_t nSequence);

 private:
  // Takes sequence n's body from Source into the transformation list, and out of
  // *pRemoveFrom (Source itself) unless that is null.
  bool TakeBody(const TStringList& Source, int32_t n, TStringList* pRemoveFrom, bool bCopyEndPoints,
                bool bSetInsertLine);
  bool ApplyOrder(const TStringList& Reference, const TStringList& NewOrder);
  IUserPrompts* m_pPrompts = nullptr;
  IDocumentHooks m_NoHooks;
  IDocumentHooks* m_pHooks = &m_NoHooks;
};

}  // namespace veltrane
