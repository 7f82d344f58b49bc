// Keyboard edit records and their undo.
#include "model/EditUndo.h"

#include <algorithm>

namespace veltrane {

namespace {

enum class EKeyKind { eEditing, eNeutral, eOther };

EKeyKind Classify(int k) {
  if (k == 8 || k == 9 || k == 13 || k == 32 || k == 46 || (k >= 48 && k <= 57) || (k >= 65 && k <= 90) ||
      k == 106 || k == 107 || k == 109 || k == 111 || (k >= 186 && k <= 192) || (k >= 219 && k <= 223))
    return EKeyKind::eEditing;
  if ((k >= 16 && k <= 20) || k == 144 || k == 145) return EKeyKind::eNeutral;
  return EKeyKind::eOther;
}

}  // namespace

void TEditUndo::Append(TUndoRecord rec, bool bTyping) {
  while (m_UndoList.size() >= c_nMaxRecords) m_UndoList.pop_front();
  m_UndoList.push_back(std::move(rec));
  ++m_nRecordsMade;
  m_bTypingPending = bTyping;
}

void TEditUndo::KeyDown(int nKey, bool bCtrl, bool bAlt, IEditorText& ed) {
  if (bCtrl || bAlt) return;
  EKeyKind kind = Classify(nKey);
  if (kind == EKeyKind::eNeutral) return;
  if (kind == EKeyKind::eOther) {
    m_bUndoChainEnable = false;
    m_bTypingPending = false;
    return;
  }
  TUndoRecord rec;
  bool bChain = false, bTyping = false;
  if (nKey == 8) {
    if (ed.SelLength() == 0 && ed.SelStart() > 0) {
      int32_t n = ed.CharAt(ed.SelStart() - 1) == '\n' ? 2 : 1;
      ed.SetSelection(ed.SelStart() - n, n);
    }
  } else if (nKey == 46) {
    if (ed.SelLength() == 0) {
      int32_t p = ed.SelStart();
      int32_t n = ed.CharAt(p) == '\r' ? 2 : (ed.CharAt(p) != 0 ? 1 : 0);
      ed.SetSelection(p, n);
    }
  } else if (nKey == 13) {
    rec.strInsert = "\r\n";
    bChain = ed.SelLength() == 0;
  } else {
    bTyping = true;
    bChain = ed.SelLength() == 0;
  }
  rec.nPosition = ed.SelStart();
  rec.strDelete = ed.SelText();
  if (bChain && m_bUndoChainEnable && !m_UndoList.empty()) {
    TUndoRecord& last = m_UndoList.back();
    if (last.strDelete.empty() &&
        last.nPosition + EditorLength(last.strInsert) == rec.nPosition) {
      last.strInsert += rec.strInsert;
      m_bTypingPending = bTyping;
      m_bUndoChainEnable = bChain;
      return;
    }
  }
  // Backspace and Delete type no character of their own into the record.
  Append(std::move(rec), bTyping);
  m_bUndoChainEnable = bChain;
}

int32_t EditorLength(const std::string& s) {
  int32_t n = 0;
  for (char ch : s) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if ((c & 0xC0) != 0x80) ++n;  // a character starts here
    if (c >= 0xF0) ++n;           // and needs two units
  }
  return n;
}

void TEditUndo::KeyPress(const std::string& strTyped) {
  // What one key typed goes into the record whole: a character beyond ASCII (several
  // bytes of UTF-8) or, from a dead key, more than one; control characters do not.
  const bool bText = !strTyped.empty() && std::all_of(strTyped.begin(), strTyped.end(), [](char c) {
    return static_cast<unsigned char>(c) >= 32 || c == '\t';
  });
  if (m_bTypingPending && !m_UndoList.empty() && bText) m_UndoList.back().strInsert += strTyped;
  m_bTypingPending = false;
}

void TEditUndo::KeyPress(char c) {
  if (m_bTypingPending && !m_UndoList.empty() && c != '\r' && (static_cast<unsigned char>(c) >= 32 || c == '\t'))
    m_UndoList.back().strInsert += c;
  m_bTypingPending = false;
}

void TEditUndo::RecordSelectionDeletion(IEditorText& ed) {
  if (ed.SelLength() <= 0) return;
  Append(TUndoRecord{ed.SelStart(), ed.SelText(), ""}, false);
  m_bUndoChainEnable = false;
}

void TEditUndo::RecordPaste(int32_t nPosition, const std::string& strSelected, const std::string& strPasted) {
  if (strPasted.empty()) return;
  Append(TUndoRecord{nPosition, strSelected, strPasted}, false);
  m_bUndoChainEnable = false;
}

bool TEditUndo::Undo(IEditorText& ed, TUndoRecord* pUndone) {
  m_bUndoChainEnable = false;
  m_bTypingPending = false;
  while (!m_UndoList.empty()) {
    TUndoRecord rec = m_UndoList.back();
    m_UndoList.pop_back();
    if (rec.strInsert.empty() && rec.strDelete.empty()) continue;  // empty records only go
    ed.SetSelection(rec.nPosition, EditorLength(rec.strInsert));
    ed.ReplaceSelection(rec.strDelete);
    if (pUndone) *pUndone = std::move(rec);
    return true;
  }
  return false;
}

void TEditUndo::Redo(IEditorText& ed, const TUndoRecord& rec) {
  m_bUndoChainEnable = false;
  m_bTypingPending = false;
  ed.SetSelection(rec.nPosition, EditorLength(rec.strDelete));
  ed.ReplaceSelection(rec.strInsert);
  Append(rec, false);
}

void TEditUndo::Clear() {
  m_UndoList.clear();
  m_bUndoChainEnable = false;
  m_bTypingPending = false;
}

}  // namespace veltrane
