// The combined history.
#include "model/UndoList.h"

namespace veltrane {

void TUndoList::DropOldest() {
  while (Count() >= c_nMaxEntries) Delete(0);
}

void TUndoList::AddTransformation() {
  DropOldest();
  m_TransformationUndoList->TakeSnapshot();
  Add(eTransformation);
}

void TUndoList::TestAddEdit() {
  DropOldest();
  // Counted by records made rather than records held, so that edits made while the
  // editor's list is full still get their entries.
  uint64_t made = m_ProgramMemo->RecordsMade();
  for (; m_nLastProgramUndoCount < made; ++m_nLastProgramUndoCount) {
    DropOldest();
    Add(eEdit);
  }
}

bool TUndoList::Undo() {
  if (Count() == 0) return false;
  int32_t kind = Get(Count() - 1);
  if (kind == eTransformation) {
    if (!m_TransformationUndoList->Restore()) {
      ClearAll();
      return true;
    }
  } else {
    if (m_ProgramMemo->UndosRemaining() > 0)
      m_ProgramMemo->Undo(*m_pEditor);
    else
      ClearAll();
    m_nLastProgramUndoCount = m_ProgramMemo->RecordsMade();
  }
  if (Count() > 0) Delete(Count() - 1);
  return true;
}

void TUndoList::ClearAll() {
  m_ProgramMemo->Clear();
  m_nLastProgramUndoCount = m_ProgramMemo->RecordsMade();
  m_TransformationUndoList->Clear();
  Clear();
}

}  // namespace veltrane
