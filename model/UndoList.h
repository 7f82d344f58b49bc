// TUndoList: one history over keyboard edits and transformation snapshots, in the order
// they happened, so that Undo always takes back the latest change of either kind and Redo
// makes again what Undo took back, until a new change is made.
#pragma once

#include <vector>

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
  // Makes the change the last Undo took back again; false when there is none.
  bool Redo();
  bool CanRedo() const { return !m_Redo.empty(); }
  size_t RedoCount() const { return m_Redo.size(); }
  // The program changed other than through the history: what was undone cannot be redone.
  void ClearRedo() { m_Redo.clear(); }
  void ClearAll();  // edit records, snapshots, entries and what could be redone

 private:
  // A change taken back: an edit record, or the program's lines after a transformation.
  struct TRedoEntry {
    EKind evKind = eEdit;
    TUndoRecord Edit;
    TStringList Lines;
  };
  void DropOldest();
  TEditUndo* m_ProgramMemo;
  IEditorText* m_pEditor;
  TStringSnapshotList* m_TransformationUndoList;
  uint64_t m_nLastProgramUndoCount = 0;
  std::vector<TRedoEntry> m_Redo;  // newest last
};

// A 64-bit fingerprint of the program's lines, to tell after undoing or redoing whether
// the text is the one last saved without keeping a copy of it.
uint64_t TextFingerprint(const TStringList& Lines);

}  // namespace veltrane
