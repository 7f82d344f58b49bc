// TRichEditPlus: the program editor. A plain-text editor without word wrap over a list of
// lines (a program of a million lines costs its lines and little more), that keeps its own
// history of keyboard edits (TEditUndo) and shows the current line in red. Its text and
// selection are offered to the history in CR LF offsets.
#pragma once

#include <QAbstractScrollArea>
#include <QTimer>
#include <compare>
#include <functional>
#include <vector>

#include "model/EditUndo.h"

namespace veltrane {

// The editor's lines, compact: a line of Latin-1 characters (every line of most programs)
// takes a byte per character, another line two.
class TEditorLines {
 public:
  size_t size() const { return m_Text.size(); }
  bool empty() const { return m_Text.empty(); }
  void reserve(size_t n) {
    m_Text.reserve(n);
    m_Wide.reserve(n);
  }
  QString at(size_t i) const;
  int Length(size_t i) const {
    return static_cast<int>(m_Wide[i] ? m_Text[i].size() / 2 : m_Text[i].size());
  }
  // A tab, or a character that may be wider than a digit.
  bool HasWideCharacters(size_t i) const;
  void push_back(const QString& s);
  // A line whose bytes are its characters (Latin-1).
  void PushLatin1(std::string s) {
    m_Text.push_back(std::move(s));
    m_Wide.push_back(false);
  }
  // Lines nFirst .. nFirst+nRemoved-1 become Lines.
  void Replace(size_t nFirst, size_t nRemoved, const QStringList& Lines);

 private:
  static bool Store(const QString& s, std::string& strText);  // true: stored as UTF-16
  std::vector<std::string> m_Text;
  std::vector<bool> m_Wide;
};

// A place in the text: a line and a column in UTF-16 units within it.
struct TTextPos {
  int nLine = 0;
  int nColumn = 0;
  auto operator<=>(const TTextPos&) const = default;
};

class TRichEditPlus : public QAbstractScrollArea, public IEditorText {
  Q_OBJECT

 public:
  // Text about to be typed, pasted or dropped is first offered here; false refuses it.
  std::function<bool(const QString&)> m_InputFilter;
  explicit TRichEditPlus(QWidget* parent = nullptr);

  // The text: always at least one line (an empty text is one empty line).
  int LineCount() const { return static_cast<int>(m_Lines.size()); }
  QString Line(int nLine) const { return m_Lines.at(static_cast<size_t>(nLine)); }
  int LineLength(int nLine) const { return m_Lines.Length(static_cast<size_t>(nLine)); }
  QString toPlainText() const;
  // Both replace the whole text and put the caret at its start.
  void setPlainText(const QString& strText);
  void SetLines(TEditorLines Lines);
  // Replaces one line's text, without an edit record.
  void ReplaceLine(int nLine, const QString& strText);

  // The caret, the selection's other end (equal to the caret when nothing is selected).
  TTextPos Caret() const { return m_Caret; }
  TTextPos Anchor() const { return m_Anchor; }
  void SetCaret(TTextPos Pos, bool bKeepAnchor = false);
  enum class EMove { eStart, eEnd, eStartOfLine, eEndOfLine };
  void MoveCaret(EMove evMove, bool bKeepAnchor = false);
  bool HasSelection() const { return m_Caret != m_Anchor; }
  QString SelectedText() const;
  void selectAll();
  void copy();
  // Scrolls as little as needed to show the caret.
  void EnsureCaretVisible();
  // The caret's rectangle in the viewport's coordinates.
  QRect cursorRect() const;
  QRect cursorRect(TTextPos Pos) const;
  bool isReadOnly() const { return m_bReadOnly; }
  void setReadOnly(bool b);

  // IEditorText, in CR LF offsets.
  int32_t SelStart() const override;
  int32_t SelLength() const override;
  std::string SelText() const override;
  void SetSelection(int32_t nStart, int32_t nLength) override;
  void ReplaceSelection(const std::string& strText) override;
  char CharAt(int32_t nPosition) const override;

  // Places between the editor's and CR LF offsets.
  int32_t ToCrLfOffset(TTextPos Pos) const;
  TTextPos FromCrLfOffset(int32_t nOffset) const;

  TEditUndo& EditUndo() { return m_EditUndo; }
  bool ClearUndoListOnSave() const { return m_bClearUndoListOnSave; }
  void SetClearUndoListOnSave(bool b) { m_bClearUndoListOnSave = b; }

  void CutToClipboardWithUndo();
  void ClearSelectionWithUndo();
  // True when the paste inserted something.
  bool PasteFromClipboardWithUndo();
  bool Undo() { return m_EditUndo.Undo(*this); }
  void EmptyUndoList() { m_EditUndo.Clear(); }

  // The caret's line.
  int32_t CalculateCurrentLine() const { return m_Caret.nLine; }
  bool GotoLine(int32_t nLine);
  bool SelectLine(int32_t nLine, bool bSelectToStartOfNext);
  // The highlighted line in red, -1 for none.
  void SetTextColor(int32_t nLine);
  int32_t ColoredLine() const { return m_colorLine; }

 signals:
  // Lines nFirst .. nFirst+nRemoved-1 were replaced by nAdded lines from nFirst on.
  void LinesChanged(int nFirst, int nRemoved, int nAdded);
  // After every change of the text, once the lines say it.
  void textChanged();
  void selectionChanged();
  // Up or Down moved the caret, or a click placed it.
  void CaretMovedByUser();
  // The editor was clicked (keys go to the editor again).
  void Clicked();
  // Shortcuts of the Edit menu that the editor must not handle itself.
  void UndoRequested();
  void RedoRequested();

 protected:
  void paintEvent(QPaintEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void changeEvent(QEvent* e) override;
  void scrollContentsBy(int dx, int dy) override;
  void keyPressEvent(QKeyEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void focusInEvent(QFocusEvent* e) override;
  void focusOutEvent(QFocusEvent* e) override;
  void inputMethodEvent(QInputMethodEvent* e) override;
  QVariant inputMethodQuery(Qt::InputMethodQuery q) const override;
  void dragEnterEvent(QDragEnterEvent* e) override;
  void dragMoveEvent(QDragMoveEvent* e) override;
  void dropEvent(QDropEvent* e) override;
  bool event(QEvent* e) override;

 private:
  // Replaces the text from one place to another (in order) by a text whose line breaks
  // are "\n"; the caret goes after it, without a selection.
  void Replace(TTextPos From, TTextPos To, const QString& strText);
  void InsertText(const QString& strText);
  // Inserts text in place of the selection with an edit record, as a paste does.
  void InsertWithRecord(const QString& strText);
  bool Accepts(const QString& strText) const { return !m_InputFilter || m_InputFilter(strText); }
  void SetCaretAndAnchor(TTextPos Caret, TTextPos Anchor);
  TTextPos Clamped(TTextPos Pos) const;
  // Moves for the keys; true when the key is one.
  bool MoveForKey(const QKeyEvent& e);
  TTextPos WordLeft(TTextPos Pos) const;
  TTextPos WordRight(TTextPos Pos) const;
  // Geometry: the x of a column within a line (without the scroll), and back.
  int ColumnX(const QString& strLine, int nColumn) const;
  int ColumnAt(const QString& strLine, int nX) const;
  TTextPos PosAt(QPoint Point) const;
  int LineHeight() const;
  int FullLinesVisible() const;
  int FirstVisibleLine() const;
  void UpdateScrollBars();
  void NoteLineWidths(int nFirst, int nCount);
  int64_t LineStart(int nLine) const;  // CR LF offset of a line's start
  void RestartBlink();

  TEditorLines m_Lines;
  // CR LF offsets of line starts, valid for the first m_nStartsValid lines.
  mutable std::vector<int64_t> m_Starts{0};
  mutable size_t m_nStartsValid = 1;
  int m_nMaxColumns = 0;
  bool m_bWideText = false;  // a character wider than the digits may be in the text
  TTextPos m_Caret, m_Anchor;
  int m_nDesiredX = -1;  // the x that Up and Down keep, -1 for the caret's own
  bool m_bReadOnly = false;
  bool m_bDragging = false;
  bool m_bCaretShown = true;
  QTimer m_tmrBlink;
  QString m_strPreedit;
  TEditUndo m_EditUndo;
  bool m_bClearUndoListOnSave = false;
  int32_t m_colorLine = -1;
};

// Windows virtual key code of a Qt key event, as the edit records classify keys.
int VirtualKeyCode(const QKeyEvent& e);

}  // namespace veltrane
