// The program editor.
#include "app/RichEditPlus.h"

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QTextBlock>

namespace veltrane {

namespace {

// The editor's own records hold its text as UTF-8, whatever the program's encoding.
QString FromCrLf(const std::string& s) {
  QString r = QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
  r.replace("\r\n", "\n");
  return r;
}

std::string ToCrLf(QString s) {
  s.replace(QChar::ParagraphSeparator, '\n');
  s.replace(QChar::LineSeparator, '\n');
  s.replace("\n", "\r\n");
  QByteArray b = s.toUtf8();
  return std::string(b.constData(), static_cast<size_t>(b.size()));
}

}  // namespace

int VirtualKeyCode(const QKeyEvent& e) {
  const int k = e.key();
  const bool bPad = e.modifiers() & Qt::KeypadModifier;
  if (bPad) {
    switch (k) {
      case Qt::Key_Asterisk: return 106;
      case Qt::Key_Plus: return 107;
      case Qt::Key_Minus: return 109;
      case Qt::Key_Slash: return 111;
      case Qt::Key_Enter: return 13;
      case Qt::Key_Period: case Qt::Key_Comma: return 110;
      default:
        if (k >= Qt::Key_0 && k <= Qt::Key_9) return 96 + (k - Qt::Key_0);
    }
  }
  if (k >= Qt::Key_0 && k <= Qt::Key_9) return k;
  if (k >= Qt::Key_A && k <= Qt::Key_Z) return k;
  switch (k) {
    case Qt::Key_Backspace: return 8;
    case Qt::Key_Tab: case Qt::Key_Backtab: return 9;
    case Qt::Key_Return: case Qt::Key_Enter: return 13;
    case Qt::Key_Space: return 32;
    case Qt::Key_Delete: return 46;
    case Qt::Key_Shift: return 16;
    case Qt::Key_Control: case Qt::Key_Meta: return 17;
    case Qt::Key_Alt: case Qt::Key_AltGr: return 18;
    case Qt::Key_Pause: return 19;
    case Qt::Key_CapsLock: return 20;
    case Qt::Key_NumLock: return 144;
    case Qt::Key_ScrollLock: return 145;
    // Shifted digits are the digit keys.
    case Qt::Key_ParenRight: return 48;
    case Qt::Key_Exclam: return 49;
    case Qt::Key_At: return 50;
    case Qt::Key_NumberSign: return 51;
    case Qt::Key_Dollar: return 52;
    case Qt::Key_Percent: return 53;
    case Qt::Key_AsciiCircum: return 54;
    case Qt::Key_Ampersand: return 55;
    case Qt::Key_Asterisk: return 56;
    case Qt::Key_ParenLeft: return 57;
    case Qt::Key_Semicolon: case Qt::Key_Colon: return 186;
    case Qt::Key_Equal: case Qt::Key_Plus: return 187;
    case Qt::Key_Comma: case Qt::Key_Less: return 188;
    case Qt::Key_Minus: case Qt::Key_Underscore: return 189;
    case Qt::Key_Period: case Qt::Key_Greater: return 190;
    case Qt::Key_Slash: case Qt::Key_Question: return 191;
    case Qt::Key_QuoteLeft: case Qt::Key_AsciiTilde: return 192;
    case Qt::Key_BracketLeft: case Qt::Key_BraceLeft: return 219;
    case Qt::Key_Backslash: case Qt::Key_Bar: return 220;
    case Qt::Key_BracketRight: case Qt::Key_BraceRight: return 221;
    case Qt::Key_Apostrophe: case Qt::Key_QuoteDbl: return 222;
    default: break;
  }
  // Any other key that types a character is a typing key too, so that no typed text
  // escapes the history.
  if (!e.text().isEmpty() && e.text()[0].isPrint()) return 65;
  return 0;
}

TRichEditPlus::TRichEditPlus(QWidget* parent) : QPlainTextEdit(parent) {
  setLineWrapMode(QPlainTextEdit::NoWrap);
  setUndoRedoEnabled(false);  // the program's own history takes back edits
  setTabChangesFocus(false);
}

int32_t TRichEditPlus::ToCrLfOffset(int nPosition) const {
  QTextBlock b = document()->findBlock(nPosition);
  int n = b.isValid() ? b.blockNumber() : document()->blockCount() - 1;
  return nPosition + n;
}

int TRichEditPlus::FromCrLfOffset(int32_t nOffset) const {
  if (nOffset <= 0) return 0;
  QTextDocument* doc = document();
  // The last block whose CR LF start is not beyond the offset.
  int lo = 0, hi = doc->blockCount() - 1;
  while (lo < hi) {
    int mid = (lo + hi + 1) / 2;
    if (doc->findBlockByNumber(mid).position() + mid <= nOffset)
      lo = mid;
    else
      hi = mid - 1;
  }
  QTextBlock b = doc->findBlockByNumber(lo);
  int within = nOffset - (b.position() + lo);
  return b.position() + std::min(within, b.length() - 1);
}

int32_t TRichEditPlus::SelStart() const { return ToCrLfOffset(textCursor().selectionStart()); }

int32_t TRichEditPlus::SelLength() const {
  QTextCursor c = textCursor();
  return ToCrLfOffset(c.selectionEnd()) - ToCrLfOffset(c.selectionStart());
}

std::string TRichEditPlus::SelText() const { return ToCrLf(textCursor().selectedText()); }

void TRichEditPlus::SetSelection(int32_t nStart, int32_t nLength) {
  QTextCursor c(document());
  c.setPosition(FromCrLfOffset(nStart));
  c.setPosition(FromCrLfOffset(nStart + nLength), QTextCursor::KeepAnchor);
  setTextCursor(c);
}

void TRichEditPlus::ReplaceSelection(const std::string& strText) {
  QTextCursor c = textCursor();
  c.insertText(FromCrLf(strText));
  setTextCursor(c);
}

char TRichEditPlus::CharAt(int32_t nPosition) const {
  if (nPosition < 0) return 0;
  QTextDocument* doc = document();
  int pos = FromCrLfOffset(nPosition);
  QTextBlock b = doc->findBlock(pos);
  if (!b.isValid()) return 0;
  int S = b.position() + b.blockNumber(), L = b.length() - 1;
  int within = nPosition - S;
  if (within < L) {
    // A character beyond ASCII is one place like any other; what it is does not matter here.
    const QChar q = b.text().at(within);
    return q.unicode() < 0x80 ? static_cast<char>(q.unicode()) : '\x7f';
  }
  if (!b.next().isValid()) return 0;
  if (within == L) return '\r';
  if (within == L + 1) return '\n';
  return 0;
}

void TRichEditPlus::CutToClipboardWithUndo() {
  if (!textCursor().hasSelection()) return;
  m_EditUndo.RecordSelectionDeletion(*this);
  cut();
}

void TRichEditPlus::ClearSelectionWithUndo() {
  if (!textCursor().hasSelection()) return;
  m_EditUndo.RecordSelectionDeletion(*this);
  textCursor().removeSelectedText();
}

bool TRichEditPlus::PasteFromClipboardWithUndo() {
  int32_t nPos = SelStart();
  std::string strSelected = SelText();
  QString clip = QApplication::clipboard()->text();
  if (clip.isEmpty() || !Accepts(clip)) return false;
  std::string strPasted = ToCrLf(clip);
  // The record is made before the text changes, so that the change finds it.
  m_EditUndo.RecordPaste(nPos, strSelected, strPasted);
  insertPlainText(clip);
  return true;
}

int32_t TRichEditPlus::CalculateCurrentLine() const {
  int pos = textCursor().position();
  QTextBlock b = document()->findBlock(pos);
  if (!b.isValid()) return -1;
  return b.blockNumber();
}

bool TRichEditPlus::GotoLine(int32_t nLine) {
  QTextBlock b = document()->findBlockByNumber(nLine);
  QTextCursor c(document());
  if (nLine < 0 || !b.isValid()) {
    c.movePosition(QTextCursor::End);
    setTextCursor(c);
    ensureCursorVisible();
    return false;
  }
  c.setPosition(b.position());
  setTextCursor(c);
  ensureCursorVisible();
  return true;
}

bool TRichEditPlus::SelectLine(int32_t nLine, bool bSelectToStartOfNext) {
  QTextBlock b = document()->findBlockByNumber(nLine);
  if (nLine < 0 || !b.isValid()) return false;
  QTextCursor c(document());
  c.setPosition(b.position());
  int end = b.position() + b.length() - 1;
  if (bSelectToStartOfNext && b.next().isValid()) end = b.next().position();
  c.setPosition(end, QTextCursor::KeepAnchor);
  setTextCursor(c);
  ensureCursorVisible();
  return true;
}

void TRichEditPlus::SetTextColor(int32_t nLine) {
  QList<QTextEdit::ExtraSelection> sel;
  QTextBlock b = document()->findBlockByNumber(nLine);
  if (nLine >= 0 && b.isValid()) {
    QTextEdit::ExtraSelection s;
    s.cursor = QTextCursor(b);
    s.cursor.setPosition(b.position() + b.length() - 1, QTextCursor::KeepAnchor);
    s.format.setForeground(Qt::red);
    sel << s;
    m_colorLine = nLine;
    m_colorPos = ToCrLfOffset(b.position());
  } else {
    m_colorLine = -1;
    m_colorPos = -1;
  }
  setExtraSelections(sel);
}

bool TRichEditPlus::event(QEvent* e) {
  if (e->type() == QEvent::ShortcutOverride) {
    auto* k = static_cast<QKeyEvent*>(e);
    // The Edit menu's commands record their edits; the editor must not act on them alone.
    if (k->matches(QKeySequence::Cut) || k->matches(QKeySequence::Paste) || k->matches(QKeySequence::Undo) ||
        k->matches(QKeySequence::Redo) || k->matches(QKeySequence::SelectAll) ||
        (k->key() == Qt::Key_Delete && (k->modifiers() & Qt::ControlModifier)) ||
        (k->key() == Qt::Key_Insert && (k->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier)))) {
      e->ignore();
      return true;
    }
  }
  return QPlainTextEdit::event(e);
}

void TRichEditPlus::keyPressEvent(QKeyEvent* e) {
  if (isReadOnly()) {
    e->ignore();
    return;
  }
  // Keys that edit without the history are taken by the menu or refused.
  if (e->matches(QKeySequence::Cut)) return CutToClipboardWithUndo();
  if (e->matches(QKeySequence::Paste)) {
    PasteFromClipboardWithUndo();
    return;
  }
  if (e->matches(QKeySequence::Undo)) {
    emit UndoRequested();
    return;
  }
  if (e->matches(QKeySequence::Redo)) return;
  const bool bCtrl = e->modifiers() & Qt::ControlModifier;
  const bool bAlt = e->modifiers() & Qt::AltModifier;
  const bool bMeta = e->modifiers() & Qt::MetaModifier;
  if (bCtrl || bAlt || bMeta) {
    const QString text = e->text();
    const bool bPrintable = !text.isEmpty() && text[0].isPrint();
    // Ctrl+Alt with a character is AltGr on Windows keyboards: typing, recorded as such.
    if (bCtrl && bAlt && !bMeta && bPrintable) {
      InsertWithRecord(text);
      return;
    }
    // Otherwise a key with a modifier never edits the text (Alt+letter opens a menu or
    // nothing, Ctrl+K and the word deletions would change the text without a record):
    // only moving, selecting and copying pass.
    const int k = e->key();
    const bool bMoves = k == Qt::Key_Left || k == Qt::Key_Right || k == Qt::Key_Up || k == Qt::Key_Down ||
                        k == Qt::Key_Home || k == Qt::Key_End || k == Qt::Key_PageUp || k == Qt::Key_PageDown;
    if (!bMoves && !e->matches(QKeySequence::Copy)) {
      e->ignore();
      return;
    }
  }
  // Word deletions with Ctrl would change the text without a record: treat them as the
  // plain key.
  if (bCtrl && (e->key() == Qt::Key_Backspace || e->key() == Qt::Key_Delete)) return;
  // A character the program's encoding cannot hold is refused before anything changes.
  if (!isReadOnly() && !e->text().isEmpty() && e->text().at(0).isPrint() && !Accepts(e->text())) {
    e->accept();
    return;
  }
  const int nVK = VirtualKeyCode(*e);
  m_EditUndo.KeyDown(nVK, bCtrl, bAlt, *this);
  const int nLineBefore = textCursor().blockNumber();
  if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
    // Every line break is a real one, Shift or not: a program has no soft breaks.
    QTextCursor c = textCursor();
    c.insertBlock();
    setTextCursor(c);
    ensureCursorVisible();
    return;
  }
  QPlainTextEdit::keyPressEvent(e);
  if (!bCtrl && !bAlt) m_EditUndo.KeyPress(e->text().toUtf8().toStdString());
  if ((e->key() == Qt::Key_Up || e->key() == Qt::Key_Down || e->key() == Qt::Key_PageUp ||
       e->key() == Qt::Key_PageDown) &&
      textCursor().blockNumber() != nLineBefore)
    emit CaretMovedByUser();
}

void TRichEditPlus::InsertWithRecord(const QString& strText) {
  if (strText.isEmpty() || !Accepts(strText)) return;
  // Recorded as a paste is: one record that takes the text out again.
  m_EditUndo.RecordPaste(SelStart(), SelText(), ToCrLf(strText));
  insertPlainText(strText);
  ensureCursorVisible();
}

void TRichEditPlus::mousePressEvent(QMouseEvent* e) {
  emit Clicked();
  if (e->button() == Qt::MiddleButton) {
    // The X11 selection paste, recorded like any paste, at the place clicked.
    if (!isReadOnly() && QApplication::clipboard()->supportsSelection()) {
      setTextCursor(cursorForPosition(e->position().toPoint()));
      InsertWithRecord(QApplication::clipboard()->text(QClipboard::Selection));
    }
    e->accept();
    return;
  }
  QPlainTextEdit::mousePressEvent(e);
}

void TRichEditPlus::mouseReleaseEvent(QMouseEvent* e) {
  if (e->button() == Qt::MiddleButton) {
    e->accept();
    emit CaretMovedByUser();
    return;
  }
  QPlainTextEdit::mouseReleaseEvent(e);
  emit CaretMovedByUser();
}

void TRichEditPlus::inputMethodEvent(QInputMethodEvent* e) {
  // Text an input method composes shows as it is composed and counts as typed, with a
  // record, when it is committed.
  if (isReadOnly() || (e->commitString().isEmpty() && e->replacementLength() == 0)) {
    QPlainTextEdit::inputMethodEvent(e);
    return;
  }
  const QString strCommit = e->commitString();
  QInputMethodEvent preeditOnly(e->preeditString(), e->attributes());
  QPlainTextEdit::inputMethodEvent(&preeditOnly);
  InsertWithRecord(strCommit);
  e->accept();
}

void TRichEditPlus::insertFromMimeData(const QMimeData* pSource) {
  // Drops and other inserts that bypass the keys are recorded as pastes.
  if (pSource && pSource->hasText()) InsertWithRecord(pSource->text());
}

}  // namespace veltrane
