// The editor's own history of keyboard edits: typed runs merge into one record, a
// deletion, a selection or a caret movement starts a new one. The editor is reached
// through IEditorText, so the rules run and are tested without a window.
#pragma once

#include <cstdint>
#include <deque>
#include <string>

namespace veltrane {

// One keyboard edit. Offsets count every line break as two characters (CR LF) and every
// other character as the editor does (UTF-16 units); the texts are UTF-8.
struct TUndoRecord {
  int32_t nPosition = 0;
  std::string strDelete;  // what the edit removed
  std::string strInsert;  // what it inserted
};

// The editor's text and selection, in CR LF offsets.
class IEditorText {
 public:
  virtual ~IEditorText() = default;
  virtual int32_t SelStart() const = 0;
  virtual int32_t SelLength() const = 0;
  virtual std::string SelText() const = 0;
  virtual void SetSelection(int32_t nStart, int32_t nLength) = 0;
  virtual void ReplaceSelection(const std::string& strText) = 0;
  virtual char CharAt(int32_t nPosition) const = 0;  // 0 outside the text
};

// The editor length of a UTF-8 text: one per character, two beyond the 16-bit plane.
int32_t EditorLength(const std::string& strUtf8);

class TEditUndo {
 public:
  static constexpr size_t c_nMaxRecords = 64;

  // A key pressed (virtual key code), before the editor acts on it.
  void KeyDown(int nKey, bool bCtrl, bool bAlt, IEditorText& Editor);
  // The character the key typed, after KeyDown.
  void KeyPress(char c);
  // The text the key typed (UTF-8), after KeyDown; empty when it typed nothing.
  void KeyPress(const std::string& strTyped);
  // Before cutting or deleting the selection.
  void RecordSelectionDeletion(IEditorText& Editor);
  // A paste at nPosition that replaced strSelected by strPasted.
  void RecordPaste(int32_t nPosition, const std::string& strSelected, const std::string& strPasted);
  // Takes back the newest edit; false when there was none. pUndone receives the edit.
  bool Undo(IEditorText& Editor, TUndoRecord* pUndone = nullptr);
  // Makes an edit taken back by Undo again, and records it anew (never merged with the
  // typing that follows).
  void Redo(IEditorText& Editor, const TUndoRecord& Edit);
  void Clear();

  size_t UndosRemaining() const { return m_UndoList.size(); }
  // Records ever made, merges excluded: grows by one per new record, even at the limit.
  uint64_t RecordsMade() const { return m_nRecordsMade; }
  const std::deque<TUndoRecord>& Records() const { return m_UndoList; }

 private:
  void Append(TUndoRecord rec, bool bTyping);
  std::deque<TUndoRecord> m_UndoList;
  bool m_bUndoChainEnable = false;
  bool m_bTypingPending = false;  // the newest record takes the next typed character
  uint64_t m_nRecordsMade = 0;
};

}  // namespace veltrane
