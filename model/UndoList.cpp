// The combined history.
#include "model/UndoList.h"

namespace veltrane {

void TUndoList::DropOldest() {
  while (Count() >= c_nMaxEntries) Delete(0);
}

void TUndoList::AddTransformation() {
  m_Redo.clear();
  DropOldest();
  m_TransformationUndoList->TakeSnapshot();
  Add(eTransformation);
}

void TUndoList::TestAddEdit() {
  DropOldest();
  // Counted by records made rather than records held, so that edits made while the
  // editor's list is full still get their entries.
  uint64_t made = m_ProgramMemo->RecordsMade();
  if (m_nLastProgramUndoCount < made) m_Redo.clear();  // a new edit: the undone ones are gone
  for (; m_nLastProgramUndoCount < made; ++m_nLastProgramUndoCount) {
    DropOldest();
    Add(eEdit);
  }
}

bool TUndoList::Undo() {
  if (Count() == 0) return false;
  int32_t kind = Get(Count() - 1);
  if (kind == eTransformation) {
    TRedoEntry redo{eTransformation, {}, {}};
    if (!m_TransformationUndoList->Restore(&redo.Lines)) {
      ClearAll();
      return true;
    }
    m_Redo.push_back(std::move(redo));
  } else {
    if (m_ProgramMemo->UndosRemaining() > 0) {
      TRedoEntry redo{eEdit, {}, {}};
      if (m_ProgramMemo->Undo(*m_pEditor, &redo.Edit)) m_Redo.push_back(std::move(redo));
    } else {
      ClearAll();
    }
    m_nLastProgramUndoCount = m_ProgramMemo->RecordsMade();
  }
  if (Count() > 0) Delete(Count() - 1);
  return true;
}

bool TUndoList::Redo() {
  if (m_Redo.empty()) return false;
  TRedoEntry redo = std::move(m_Redo.back());
  m_Redo.pop_back();
  DropOldest();
  if (redo.evKind == eTransformation) {
    m_TransformationUndoList->SnapshotAndReplace(std::move(redo.Lines));
    Add(eTransformation);
  } else {
    m_ProgramMemo->Redo(*m_pEditor, redo.Edit);
    m_nLastProgramUndoCount = m_ProgramMemo->RecordsMade();
    Add(eEdit);
  }
  return true;
}

void TUndoList::ClearAll() {
  m_ProgramMemo->Clear();
  m_nLastProgramUndoCount = m_ProgramMemo->RecordsMade();
  m_TransformationUndoList->Clear();
  m_Redo.clear();
  Clear();
}

uint64_t TextFingerprint(const TStringList& Lines) {
  // FNV-1a over the bytes, each line closed by a byte no line holds, and the count.
  uint64_t h = 14695981039346656037ull;
  auto add = [&h](unsigned char c) {
    h ^= c;
    h *= 1099511628211ull;
  };
  for (const std::string& l : Lines) {
    for (char c : l) add(static_cast<unsigned char>(c));
    add('\n');
  }
  for (int i = 0; i < 8; ++i) add(static_cast<unsigned char>(Lines.size() >> (8 * i)));
  return h;
}

}  // namespace veltrane
