// TRichEditPlus: the program editor. A plain-text editor without word wrap that keeps
// its own history of keyboard edits (TEditUndo) and shows the current line in red. Its
// text and selection are offered to the history in CR LF offsets.
#pragma once

#include <QPlainTextEdit>
#include <functional>

#include "model/EditUndo.h"

namespace veltrane {

class TRichEditPlus : public QPlainTextEdit, public IEditorText {
  Q_OBJECT

 public:
  // Text about to be typed, pasted or dropped is first offered here; false refuses it.
  std::function<bool(const QString&)> m_InputFilter;
  explicit TRichEditPlus(QWidget* parent = nullptr);

  // IEditorText, in CR LF offsets.
  int32_t SelStart() const override;
  int32_t SelLength() const override;
  std::string SelText() const override;
  void SetSelection(int32_t nStart, int32_t nLength) override;
  void ReplaceSelection(const std::string& strText) override;
  char CharAt(int32_t nPosition) const override;

  // Offsets between the editor's positions (one character per line break) and CR LF ones.
  int32_t ToCrLfOffset(int nPosition) const;
  int FromCrLfOffset(int32_t nOffset) const;

  TEditUndo& EditUndo() { return m_EditUndo; }
  int32_t UndosRemaining() const { return static_cast<int32_t>(m_EditUndo.UndosRemaining()); }
  bool ClearUndoListOnSave() const { return m_bClearUndoListOnSave; }
  void SetClearUndoListOnSave(bool b) { m_bClearUndoListOnSave = b; }

  void CutToClipboardWithUndo();
  void ClearSelectionWithUndo();
  // True when the paste inserted something.
  bool PasteFromClipboardWithUndo();
  bool Undo() { return m_EditUndo.Undo(*this); }
  void EmptyUndoList() { m_EditUndo.Clear(); }

  int32_t CurrentLine() const { return textCursor().blockNumber(); }
  // The caret's line from its CR LF offset; -1 past the last line.
  int32_t CalculateCurrentLine() const;
  bool GotoLine(int32_t nLine);
  bool SelectLine(int32_t nLine, bool bSelectToStartOfNext);
  // The highlighted line in red, -1 for none.
  void SetTextColor(int32_t nLine);
  int32_t ColoredLine() const { return m_colorLine; }

 signals:
  // Up or Down moved the caret, or a click placed it.
  void CaretMovedByUser();
  // The editor was clicked (keys go to the editor again).
  void Clicked();
  // Shortcuts of the Edit menu that the editor must not handle itself.
  void UndoRequested();

 protected:
  void keyPressEvent(QKeyEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void inputMethodEvent(QInputMethodEvent* e) override;
  void insertFromMimeData(const QMimeData* pSource) override;
  bool event(QEvent* e) override;

 private:
  // Inserts text in place of the selection with an edit record, as a paste does.
  void InsertWithRecord(const QString& strText);
  bool Accepts(const QString& strText) const { return !m_InputFilter || m_InputFilter(strText); }
  TEditUndo m_EditUndo;
  bool m_bClearUndoListOnSave = false;
  int32_t m_colorLine = -1;
  int32_t m_colorPos = -1;
};

// Windows virtual key code of a Qt key event, as the edit records classify keys.
int VirtualKeyCode(const QKeyEvent& e);

}  // namespace veltrane
