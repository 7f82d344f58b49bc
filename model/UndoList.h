// TUndoList: one history over keyboard edits and transformation snapshots, in the order
// they happened, so that Undo always takes back the latest change of either kind.
#pragma once

#include "model/EditUndo.h"
#include "model/IntList.h"
#include "model/StringSnapshotList.h"

namespace veltrane {

class TUndoList : public TIntList {
 public:
  static constexpr int32_t c_nMaxEntries = 50;
  enum EKind : int32_t { eTransformation = 0, eEdit = 1 };

  TUndoList(TEditUndo* pProgramMemo, IEditorText* pEditor, TStringSnapshotList* pSnapshots)
      : m_ProgramMemo(pProgramMemo), m_pEditor(pEditor), m_TransformationUndoList(pSnapshots) {}

  void AddTransformation();  // before a whole-program change
  void TestAddEdit();        // after every change of the editor's text
  bool Undo();               // false when the history was empty
  void ClearAll();           // edit records, snapshots and entries

 private:
  void DropOldest();
  TEditUndo* m_ProgramMemo;
  IEditorText* m_pEditor;
  TStringSnapshotList* m_TransformationUndoList;
  uint64_t m_nLastProgramUndoCount = 0;
};

}  // namespace veltrane
