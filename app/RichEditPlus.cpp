// The program editor.
#include "app/RichEditPlus.h"

#include <QApplication>
#include <QClipboard>
#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <QStyleHints>
#include <algorithm>
#include <cstring>

namespace veltrane {

namespace {

constexpr int c_nMargin = 4;  // between the viewport's edges and the text

// Line breaks of any kind become "\n", the editor's own.
QString Normalised(QString s) {
  s.replace("\r\n", "\n");
  s.replace('\r', '\n');
  s.replace(QChar::ParagraphSeparator, '\n');
  s.replace(QChar::LineSeparator, '\n');
  return s;
}

// The editor's own records hold its text as UTF-8, whatever the program's encoding.
QString FromCrLf(const std::string& s) {
  return Normalised(QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())));
}

std::string ToCrLf(QString s) {
  s.replace("\n", "\r\n");
  QByteArray b = s.toUtf8();
  return std::string(b.constData(), static_cast<size_t>(b.size()));
}

bool IsWordChar(QChar c) { return c.isLetterOrNumber() || c == '_'; }

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

QString TEditorLines::at(size_t i) const {
  const std::string& t = m_Text[i];
  if (!m_Wide[i]) return QString::fromLatin1(t.data(), static_cast<qsizetype>(t.size()));
  QString s(static_cast<qsizetype>(t.size() / 2), Qt::Uninitialized);
  std::memcpy(s.data(), t.data(), t.size());
  return s;
}

bool TEditorLines::HasWideCharacters(size_t i) const {
  if (m_Wide[i]) {
    for (QChar c : at(i))
      if (c.unicode() >= 0x1100 || c == '\t') return true;
    return false;
  }
  return m_Text[i].find('\t') != std::string::npos;
}

bool TEditorLines::Store(const QString& s, std::string& strText) {
  const bool bLatin1 = std::all_of(s.begin(), s.end(), [](QChar c) { return c.unicode() < 0x100; });
  if (bLatin1) {
    const QByteArray b = s.toLatin1();
    strText.assign(b.constData(), static_cast<size_t>(b.size()));
  } else {
    strText.assign(reinterpret_cast<const char*>(s.utf16()), static_cast<size_t>(s.size()) * 2);
  }
  return !bLatin1;
}

void TEditorLines::push_back(const QString& s) {
  std::string t;
  const bool bWide = Store(s, t);
  m_Text.push_back(std::move(t));
  m_Wide.push_back(bWide);
}

void TEditorLines::Replace(size_t nFirst, size_t nRemoved, const QStringList& Lines) {
  const size_t nAdded = static_cast<size_t>(Lines.size());
  const size_t nCommon = std::min(nRemoved, nAdded);
  if (nAdded > nRemoved) {
    m_Text.insert(m_Text.begin() + static_cast<ptrdiff_t>(nFirst + nCommon), nAdded - nRemoved, std::string());
    m_Wide.insert(m_Wide.begin() + static_cast<ptrdiff_t>(nFirst + nCommon), nAdded - nRemoved, false);
  } else if (nRemoved > nAdded) {
    m_Text.erase(m_Text.begin() + static_cast<ptrdiff_t>(nFirst + nCommon),
                 m_Text.begin() + static_cast<ptrdiff_t>(nFirst + nRemoved));
    m_Wide.erase(m_Wide.begin() + static_cast<ptrdiff_t>(nFirst + nCommon),
                 m_Wide.begin() + static_cast<ptrdiff_t>(nFirst + nRemoved));
  }
  for (size_t i = 0; i < nAdded; ++i) m_Wide[nFirst + i] = Store(Lines[static_cast<qsizetype>(i)], m_Text[nFirst + i]);
}

TRichEditPlus::TRichEditPlus(QWidget* parent) : QAbstractScrollArea(parent) {
  m_Lines.push_back(QString());
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_InputMethodEnabled, true);
  viewport()->setCursor(Qt::IBeamCursor);
  viewport()->setBackgroundRole(QPalette::Base);
  viewport()->setAutoFillBackground(false);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  const int nFlash = QApplication::cursorFlashTime();
  m_tmrBlink.setInterval(nFlash > 0 ? nFlash / 2 : 500);
  connect(&m_tmrBlink, &QTimer::timeout, this, [this] {
    m_bCaretShown = !m_bCaretShown;
    viewport()->update(cursorRect().adjusted(-1, 0, 1, 0));
  });
  UpdateScrollBars();
}

// ---------------------------------------------------------------------------------------
// The text

QString TRichEditPlus::toPlainText() const {
  qsizetype n = 0;
  for (int i = 0; i < LineCount(); ++i) n += LineLength(i) + 1;
  QString s;
  s.reserve(n);
  for (int i = 0; i < LineCount(); ++i) {
    if (i) s += QChar('\n');
    s += Line(i);
  }
  return s;
}

void TRichEditPlus::setPlainText(const QString& strText) {
  TEditorLines lines;
  for (const auto& l : Normalised(strText).split('\n')) lines.push_back(l);
  SetLines(std::move(lines));
}

void TRichEditPlus::SetLines(TEditorLines Lines) {
  const int nRemoved = LineCount();
  const bool bHadSelection = HasSelection();
  m_Lines = std::move(Lines);
  if (m_Lines.empty()) m_Lines.push_back(QString());
  m_Starts.assign(1, 0);
  m_nStartsValid = 1;
  m_nMaxColumns = 0;
  m_bWideText = false;
  NoteLineWidths(0, LineCount());
  m_Caret = m_Anchor = TTextPos{};
  m_nDesiredX = -1;
  if (m_colorLine >= LineCount()) m_colorLine = -1;
  UpdateScrollBars();
  verticalScrollBar()->setValue(0);
  horizontalScrollBar()->setValue(0);
  viewport()->update();
  emit LinesChanged(0, nRemoved, LineCount());
  emit textChanged();
  if (bHadSelection) emit selectionChanged();
}

void TRichEditPlus::ReplaceLine(int nLine, const QString& strText) {
  if (nLine < 0 || nLine >= LineCount()) return;
  const TTextPos caret = m_Caret, anchor = m_Anchor;
  Replace({nLine, 0}, {nLine, LineLength(nLine)}, Normalised(strText).remove('\n'));
  SetCaretAndAnchor(caret, anchor);
}

void TRichEditPlus::Replace(TTextPos From, TTextPos To, const QString& strText) {
  From = Clamped(From);
  To = Clamped(To);
  if (To < From) std::swap(From, To);
  const bool bHadSelection = HasSelection();
  QStringList parts = strText.split('\n');
  const TTextPos after{From.nLine + static_cast<int>(parts.size()) - 1,
                       static_cast<int>(parts.size() == 1 ? From.nColumn + parts[0].size() : parts.back().size())};
  parts.front().prepend(Line(From.nLine).left(From.nColumn));
  parts.back().append(Line(To.nLine).mid(To.nColumn));
  const int nRemoved = To.nLine - From.nLine + 1;
  const int nAdded = static_cast<int>(parts.size());
  m_Lines.Replace(static_cast<size_t>(From.nLine), static_cast<size_t>(nRemoved), parts);
  m_nStartsValid = std::min(m_nStartsValid, static_cast<size_t>(From.nLine) + 1);
  NoteLineWidths(From.nLine, nAdded);
  if (m_colorLine >= LineCount()) m_colorLine = -1;
  m_Caret = m_Anchor = after;
  m_nDesiredX = -1;
  RestartBlink();
  UpdateScrollBars();
  viewport()->update();
  emit LinesChanged(From.nLine, nRemoved, nAdded);
  emit textChanged();
  if (bHadSelection) emit selectionChanged();
}

void TRichEditPlus::InsertText(const QString& strText) { Replace(m_Caret, m_Anchor, Normalised(strText)); }

void TRichEditPlus::NoteLineWidths(int nFirst, int nCount) {
  for (int i = nFirst; i < nFirst + nCount && i < LineCount(); ++i) {
    m_nMaxColumns = std::max(m_nMaxColumns, LineLength(i));
    if (!m_bWideText) m_bWideText = m_Lines.HasWideCharacters(static_cast<size_t>(i));
  }
}

TTextPos TRichEditPlus::Clamped(TTextPos Pos) const {
  Pos.nLine = std::clamp(Pos.nLine, 0, LineCount() - 1);
  const QString l = Line(Pos.nLine);
  Pos.nColumn = std::clamp(Pos.nColumn, 0, static_cast<int>(l.size()));
  // Never between the two halves of a character beyond the basic plane.
  if (Pos.nColumn > 0 && Pos.nColumn < l.size() && l[Pos.nColumn].isLowSurrogate() &&
      l[Pos.nColumn - 1].isHighSurrogate())
    --Pos.nColumn;
  return Pos;
}

// ---------------------------------------------------------------------------------------
// Caret and selection

void TRichEditPlus::SetCaretAndAnchor(TTextPos Caret, TTextPos Anchor) {
  Caret = Clamped(Caret);
  Anchor = Clamped(Anchor);
  if (Caret == m_Caret && Anchor == m_Anchor) return;
  const bool bHadSelection = HasSelection();
  m_Caret = Caret;
  m_Anchor = Anchor;
  RestartBlink();
  viewport()->update();
  if (bHadSelection || HasSelection()) emit selectionChanged();
}

void TRichEditPlus::SetCaret(TTextPos Pos, bool bKeepAnchor) {
  m_nDesiredX = -1;
  SetCaretAndAnchor(Pos, bKeepAnchor ? m_Anchor : Pos);
}

void TRichEditPlus::MoveCaret(EMove evMove, bool bKeepAnchor) {
  TTextPos p = m_Caret;
  switch (evMove) {
    case EMove::eStart: p = {}; break;
    case EMove::eEnd: p = {LineCount() - 1, LineLength(LineCount() - 1)}; break;
    case EMove::eStartOfLine: p.nColumn = 0; break;
    case EMove::eEndOfLine: p.nColumn = LineLength(p.nLine); break;
  }
  SetCaret(p, bKeepAnchor);
  EnsureCaretVisible();
}

QString TRichEditPlus::SelectedText() const {
  if (!HasSelection()) return {};
  const TTextPos a = std::min(m_Caret, m_Anchor), b = std::max(m_Caret, m_Anchor);
  if (a.nLine == b.nLine) return Line(a.nLine).mid(a.nColumn, b.nColumn - a.nColumn);
  QString s = Line(a.nLine).mid(a.nColumn);
  for (int i = a.nLine + 1; i < b.nLine; ++i) s += QChar('\n') + Line(i);
  s += QChar('\n') + Line(b.nLine).left(b.nColumn);
  return s;
}

void TRichEditPlus::selectAll() {
  m_nDesiredX = -1;
  SetCaretAndAnchor({LineCount() - 1, LineLength(LineCount() - 1)}, {});
}

void TRichEditPlus::copy() {
  if (HasSelection()) QApplication::clipboard()->setText(SelectedText());
}

void TRichEditPlus::setReadOnly(bool b) {
  if (m_bReadOnly == b) return;
  m_bReadOnly = b;
  setAttribute(Qt::WA_InputMethodEnabled, !b);
  viewport()->setCursor(b ? Qt::ArrowCursor : Qt::IBeamCursor);
  RestartBlink();
  viewport()->update();
}

bool TRichEditPlus::GotoLine(int32_t nLine) {
  if (nLine < 0 || nLine >= LineCount()) {
    MoveCaret(EMove::eEnd);
    return false;
  }
  SetCaret({nLine, 0});
  EnsureCaretVisible();
  return true;
}

bool TRichEditPlus::SelectLine(int32_t nLine, bool bSelectToStartOfNext) {
  if (nLine < 0 || nLine >= LineCount()) return false;
  TTextPos end{nLine, LineLength(nLine)};
  if (bSelectToStartOfNext && nLine + 1 < LineCount()) end = {nLine + 1, 0};
  m_nDesiredX = -1;
  SetCaretAndAnchor(end, {nLine, 0});
  EnsureCaretVisible();
  return true;
}

void TRichEditPlus::SetTextColor(int32_t nLine) {
  const int32_t n = nLine >= 0 && nLine < LineCount() ? nLine : -1;
  if (n == m_colorLine) return;
  m_colorLine = n;
  viewport()->update();
}

// ---------------------------------------------------------------------------------------
// CR LF offsets

int64_t TRichEditPlus::LineStart(int nLine) const {
  const size_t n = static_cast<size_t>(nLine);
  if (m_Starts.size() < m_Lines.size()) m_Starts.resize(m_Lines.size());
  for (; m_nStartsValid <= n; ++m_nStartsValid)
    m_Starts[m_nStartsValid] = m_Starts[m_nStartsValid - 1] + m_Lines.Length(m_nStartsValid - 1) + 2;
  return m_Starts[n];
}

int32_t TRichEditPlus::ToCrLfOffset(TTextPos Pos) const {
  Pos = Clamped(Pos);
  return static_cast<int32_t>(LineStart(Pos.nLine) + Pos.nColumn);
}

TTextPos TRichEditPlus::FromCrLfOffset(int32_t nOffset) const {
  if (nOffset <= 0) return {};
  LineStart(LineCount() - 1);
  // The last line whose start is not beyond the offset.
  const auto it = std::upper_bound(m_Starts.begin(), m_Starts.begin() + LineCount(), static_cast<int64_t>(nOffset));
  const int nLine = static_cast<int>(it - m_Starts.begin()) - 1;
  const int64_t within = nOffset - m_Starts[static_cast<size_t>(nLine)];
  return {nLine, static_cast<int>(std::min<int64_t>(within, LineLength(nLine)))};
}

int32_t TRichEditPlus::SelStart() const { return ToCrLfOffset(std::min(m_Caret, m_Anchor)); }

int32_t TRichEditPlus::SelLength() const {
  return ToCrLfOffset(std::max(m_Caret, m_Anchor)) - ToCrLfOffset(std::min(m_Caret, m_Anchor));
}

std::string TRichEditPlus::SelText() const { return ToCrLf(SelectedText()); }

void TRichEditPlus::SetSelection(int32_t nStart, int32_t nLength) {
  m_nDesiredX = -1;
  SetCaretAndAnchor(FromCrLfOffset(nStart + nLength), FromCrLfOffset(nStart));
  EnsureCaretVisible();
}

void TRichEditPlus::ReplaceSelection(const std::string& strText) {
  Replace(m_Caret, m_Anchor, FromCrLf(strText));
  EnsureCaretVisible();
}

char TRichEditPlus::CharAt(int32_t nPosition) const {
  if (nPosition < 0) return 0;
  const TTextPos p = FromCrLfOffset(nPosition);
  const int64_t within = nPosition - LineStart(p.nLine);
  const QString l = Line(p.nLine);
  if (within < l.size()) {
    // A character beyond ASCII is one place like any other; what it is does not matter here.
    const QChar q = l.at(within);
    return q.unicode() < 0x80 ? static_cast<char>(q.unicode()) : '\x7f';
  }
  if (p.nLine + 1 >= LineCount()) return 0;
  if (within == l.size()) return '\r';
  if (within == l.size() + 1) return '\n';
  return 0;
}

// ---------------------------------------------------------------------------------------
// Edits with records

void TRichEditPlus::CutToClipboardWithUndo() {
  if (!HasSelection()) return;
  m_EditUndo.RecordSelectionDeletion(*this);
  copy();
  InsertText(QString());
  EnsureCaretVisible();
}

void TRichEditPlus::ClearSelectionWithUndo() {
  if (!HasSelection()) return;
  m_EditUndo.RecordSelectionDeletion(*this);
  InsertText(QString());
  EnsureCaretVisible();
}

bool TRichEditPlus::PasteFromClipboardWithUndo() {
  const QString clip = Normalised(QApplication::clipboard()->text());
  if (clip.isEmpty() || !Accepts(clip)) return false;
  // The record is made before the text changes, so that the change finds it.
  m_EditUndo.RecordPaste(SelStart(), SelText(), ToCrLf(clip));
  InsertText(clip);
  EnsureCaretVisible();
  return true;
}

void TRichEditPlus::InsertWithRecord(const QString& strText) {
  const QString s = Normalised(strText);
  if (s.isEmpty() || !Accepts(s)) return;
  // Recorded as a paste is: one record that takes the text out again.
  m_EditUndo.RecordPaste(SelStart(), SelText(), ToCrLf(s));
  InsertText(s);
  EnsureCaretVisible();
}

// ---------------------------------------------------------------------------------------
// Geometry and painting

int TRichEditPlus::LineHeight() const { return std::max(1, fontMetrics().height()); }

int TRichEditPlus::FullLinesVisible() const {
  return std::max(1, (viewport()->height() - c_nMargin) / LineHeight());
}

int TRichEditPlus::FirstVisibleLine() const { return verticalScrollBar()->value(); }

int TRichEditPlus::ColumnX(const QString& strLine, int nColumn) const {
  const QFontMetrics fm = fontMetrics();
  const int nTab = std::max(1, 8 * fm.horizontalAdvance(QChar(' ')));
  const int nEnd = std::min(nColumn, static_cast<int>(strLine.size()));
  int x = 0, nRun = 0;
  for (int i = 0; i < nEnd; ++i) {
    if (strLine[i] != '\t') continue;
    x += fm.horizontalAdvance(strLine.mid(nRun, i - nRun));
    x = (x / nTab + 1) * nTab;
    nRun = i + 1;
  }
  return x + fm.horizontalAdvance(strLine.mid(nRun, nEnd - nRun));
}

int TRichEditPlus::ColumnAt(const QString& strLine, int nX) const {
  // The column whose place is nearest: the places rise with the columns.
  int lo = 0, hi = static_cast<int>(strLine.size());
  while (lo < hi) {
    const int mid = (lo + hi + 1) / 2;
    if (ColumnX(strLine, mid) <= nX)
      lo = mid;
    else
      hi = mid - 1;
  }
  if (lo < strLine.size()) {
    int next = lo + 1;
    if (next < strLine.size() && strLine[next].isLowSurrogate()) ++next;
    if (nX - ColumnX(strLine, lo) > ColumnX(strLine, next) - nX) lo = next;
  }
  return lo;
}

TTextPos TRichEditPlus::PosAt(QPoint Point) const {
  const int nLine = FirstVisibleLine() + std::max(0, Point.y() - c_nMargin) / LineHeight();
  TTextPos p = Clamped({nLine, 0});
  p.nColumn = ColumnAt(Line(p.nLine), Point.x() - c_nMargin + horizontalScrollBar()->value());
  return Clamped(p);
}

QRect TRichEditPlus::cursorRect(TTextPos Pos) const {
  Pos = Clamped(Pos);
  const int x = c_nMargin - horizontalScrollBar()->value() + ColumnX(Line(Pos.nLine), Pos.nColumn);
  const int y = c_nMargin + (Pos.nLine - FirstVisibleLine()) * LineHeight();
  return QRect(x, y, 1, LineHeight());
}

QRect TRichEditPlus::cursorRect() const { return cursorRect(m_Caret); }

void TRichEditPlus::UpdateScrollBars() {
  const int nFull = FullLinesVisible();
  verticalScrollBar()->setRange(0, std::max(0, LineCount() - nFull));
  verticalScrollBar()->setPageStep(nFull);
  verticalScrollBar()->setSingleStep(1);
  const QFontMetrics fm = fontMetrics();
  const int64_t nWidth = static_cast<int64_t>(m_nMaxColumns) * fm.horizontalAdvance(QChar('0')) * (m_bWideText ? 2 : 1) +
                         2 * c_nMargin + 2;
  const int nView = viewport()->width();
  const int nMax = static_cast<int>(std::min<int64_t>(std::max<int64_t>(0, nWidth - nView), 1 << 29));
  // The caret's line may have widened it: never below what the view shows now.
  horizontalScrollBar()->setRange(0, std::max(nMax, std::min(horizontalScrollBar()->value(), horizontalScrollBar()->maximum())));
  horizontalScrollBar()->setPageStep(std::max(1, nView));
  horizontalScrollBar()->setSingleStep(std::max(1, fm.horizontalAdvance(QChar('0'))));
}

void TRichEditPlus::EnsureCaretVisible() {
  const int nFull = FullLinesVisible();
  QScrollBar* v = verticalScrollBar();
  if (m_Caret.nLine < v->value())
    v->setValue(m_Caret.nLine);
  else if (m_Caret.nLine >= v->value() + nFull)
    v->setValue(m_Caret.nLine - nFull + 1);
  QScrollBar* h = horizontalScrollBar();
  const int x = ColumnX(Line(m_Caret.nLine), m_Caret.nColumn);
  const int nView = std::max(1, viewport()->width() - 2 * c_nMargin - 2);
  if (x < h->value()) {
    h->setValue(std::max(0, x - nView / 4));
  } else if (x > h->value() + nView) {
    const int nWanted = x - nView + nView / 4;
    if (nWanted > h->maximum()) h->setMaximum(nWanted);
    h->setValue(nWanted);
  }
}

void TRichEditPlus::scrollContentsBy(int, int) { viewport()->update(); }

void TRichEditPlus::resizeEvent(QResizeEvent* e) {
  QAbstractScrollArea::resizeEvent(e);
  UpdateScrollBars();
}

void TRichEditPlus::changeEvent(QEvent* e) {
  QAbstractScrollArea::changeEvent(e);
  if (e->type() == QEvent::FontChange) {
    viewport()->setFont(font());
    UpdateScrollBars();
    viewport()->update();
  }
}

void TRichEditPlus::paintEvent(QPaintEvent* e) {
  QPainter p(viewport());
  const QPalette& pal = palette();
  p.fillRect(e->rect(), pal.base());
  p.setFont(font());
  const QFontMetrics fm = fontMetrics();
  const int nHeight = LineHeight();
  const int x0 = c_nMargin - horizontalScrollBar()->value();
  const int nTab = std::max(1, 8 * fm.horizontalAdvance(QChar(' ')));
  const TTextPos a = std::min(m_Caret, m_Anchor), b = std::max(m_Caret, m_Anchor);
  const int nFirst = std::max(0, FirstVisibleLine() + (e->rect().top() - c_nMargin) / nHeight - 1);
  for (int i = nFirst; i < LineCount(); ++i) {
    const int y = c_nMargin + (i - FirstVisibleLine()) * nHeight;
    if (y > e->rect().bottom()) break;
    if (y + nHeight < e->rect().top()) continue;
    const QString l = Line(i);
    const auto drawLine = [&] {
      int x = 0, nRun = 0;
      for (int k = 0; k <= l.size(); ++k) {
        if (k < l.size() && l[k] != '\t') continue;
        const QString run = l.mid(nRun, k - nRun);
        p.drawText(x0 + x, y + fm.ascent(), run);
        x += fm.horizontalAdvance(run);
        if (k < l.size()) x = (x / nTab + 1) * nTab;
        nRun = k + 1;
      }
    };
    p.setPen(i == m_colorLine ? QColor(Qt::red) : pal.text().color());
    drawLine();
    if (HasSelection() && i >= a.nLine && i <= b.nLine) {
      const int xa = i == a.nLine ? ColumnX(l, a.nColumn) : 0;
      // A selected line break shows as a space's width.
      const int xb = i == b.nLine ? ColumnX(l, b.nColumn) : ColumnX(l, l.size()) + fm.horizontalAdvance(QChar(' '));
      const QRect r(x0 + xa, y, xb - xa, nHeight);
      p.fillRect(r, pal.highlight());
      p.save();
      p.setClipRect(r);
      p.setPen(pal.highlightedText().color());
      drawLine();
      p.restore();
    }
  }
  if (!m_strPreedit.isEmpty()) {
    // Text an input method is composing, underlined at the caret.
    const QRect c = cursorRect();
    const QRect r(c.left(), c.top(), fm.horizontalAdvance(m_strPreedit), nHeight);
    p.fillRect(r, pal.base());
    p.setPen(pal.text().color());
    p.drawText(c.left(), c.top() + fm.ascent(), m_strPreedit);
    p.drawLine(r.bottomLeft(), r.bottomRight());
  }
  if (hasFocus() && !m_bReadOnly && m_bCaretShown) p.fillRect(cursorRect().adjusted(0, 0, 1, 0), pal.text());
}

void TRichEditPlus::RestartBlink() {
  m_bCaretShown = true;
  if (hasFocus() && !m_bReadOnly)
    m_tmrBlink.start();
  else
    m_tmrBlink.stop();
}

void TRichEditPlus::focusInEvent(QFocusEvent* e) {
  QAbstractScrollArea::focusInEvent(e);
  RestartBlink();
  viewport()->update();
}

void TRichEditPlus::focusOutEvent(QFocusEvent* e) {
  QAbstractScrollArea::focusOutEvent(e);
  m_tmrBlink.stop();
  viewport()->update();
}

// ---------------------------------------------------------------------------------------
// Keys

namespace {

// Ctrl+Y and Ctrl+Shift+Z redo on every platform, whatever its own key for Redo.
bool IsRedoKey(const QKeyEvent& k) {
  const Qt::KeyboardModifiers m = k.modifiers() & ~Qt::KeypadModifier;
  return (k.key() == Qt::Key_Y && m == Qt::ControlModifier) ||
         (k.key() == Qt::Key_Z && m == (Qt::ControlModifier | Qt::ShiftModifier));
}

}  // namespace

bool TRichEditPlus::event(QEvent* e) {
  if (e->type() == QEvent::ShortcutOverride) {
    auto* k = static_cast<QKeyEvent*>(e);
    // The Edit menu's commands record their edits; the editor must not act on them alone.
    if (k->matches(QKeySequence::Cut) || k->matches(QKeySequence::Paste) || k->matches(QKeySequence::Undo) ||
        k->matches(QKeySequence::Redo) || IsRedoKey(*k) || k->matches(QKeySequence::SelectAll) ||
        (k->key() == Qt::Key_Delete && (k->modifiers() & Qt::ControlModifier)) ||
        (k->key() == Qt::Key_Insert && (k->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier)))) {
      e->ignore();
      return true;
    }
  }
  if (e->type() == QEvent::KeyPress) {
    // Tab types a tab here; it does not move the focus (a read-only view passes it on).
    auto* k = static_cast<QKeyEvent*>(e);
    if (!m_bReadOnly && k->key() == Qt::Key_Tab && !(k->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
      keyPressEvent(k);
      return true;
    }
  }
  return QAbstractScrollArea::event(e);
}

TTextPos TRichEditPlus::WordLeft(TTextPos p) const {
  if (p.nColumn == 0) return p.nLine > 0 ? TTextPos{p.nLine - 1, LineLength(p.nLine - 1)} : p;
  const QString l = Line(p.nLine);
  int c = p.nColumn;
  while (c > 0 && l[c - 1].isSpace()) --c;
  if (c > 0 && IsWordChar(l[c - 1])) {
    while (c > 0 && IsWordChar(l[c - 1])) --c;
  } else if (c > 0) {
    --c;
  }
  return {p.nLine, c};
}

TTextPos TRichEditPlus::WordRight(TTextPos p) const {
  const QString l = Line(p.nLine);
  if (p.nColumn >= l.size()) return p.nLine + 1 < LineCount() ? TTextPos{p.nLine + 1, 0} : p;
  int c = p.nColumn;
  if (IsWordChar(l[c])) {
    while (c < l.size() && IsWordChar(l[c])) ++c;
  } else if (!l[c].isSpace()) {
    ++c;
  }
  while (c < l.size() && l[c].isSpace()) ++c;
  return {p.nLine, c};
}

bool TRichEditPlus::MoveForKey(const QKeyEvent& e) {
  const bool bShift = e.modifiers() & Qt::ShiftModifier;
  const bool bCtrl = e.modifiers() & Qt::ControlModifier;
  const TTextPos a = std::min(m_Caret, m_Anchor), b = std::max(m_Caret, m_Anchor);
  TTextPos p = m_Caret;
  const int nFull = FullLinesVisible();
  int nLines = 0;  // lines up (negative) or down that keep the column's place
  switch (e.key()) {
    case Qt::Key_Left:
      if (!bShift && HasSelection() && !bCtrl) {
        p = a;
      } else if (bCtrl) {
        p = WordLeft(p);
      } else if (p.nColumn > 0) {
        --p.nColumn;
        if (p.nColumn > 0 && Line(p.nLine)[p.nColumn].isLowSurrogate()) --p.nColumn;
      } else if (p.nLine > 0) {
        p = {p.nLine - 1, LineLength(p.nLine - 1)};
      }
      break;
    case Qt::Key_Right:
      if (!bShift && HasSelection() && !bCtrl) {
        p = b;
      } else if (bCtrl) {
        p = WordRight(p);
      } else if (p.nColumn < LineLength(p.nLine)) {
        ++p.nColumn;
        if (p.nColumn < LineLength(p.nLine) && Line(p.nLine)[p.nColumn].isLowSurrogate()) ++p.nColumn;
      } else if (p.nLine + 1 < LineCount()) {
        p = {p.nLine + 1, 0};
      }
      break;
    case Qt::Key_Up: nLines = -1; break;
    case Qt::Key_Down: nLines = 1; break;
    case Qt::Key_PageUp: nLines = -nFull; break;
    case Qt::Key_PageDown: nLines = nFull; break;
    case Qt::Key_Home: p = bCtrl ? TTextPos{} : TTextPos{p.nLine, 0}; break;
    case Qt::Key_End:
      p = bCtrl ? TTextPos{LineCount() - 1, LineLength(LineCount() - 1)}
                : TTextPos{p.nLine, LineLength(p.nLine)};
      break;
    default: return false;
  }
  if (nLines != 0) {
    const int nX = m_nDesiredX >= 0 ? m_nDesiredX : ColumnX(Line(p.nLine), p.nColumn);
    const int nTarget = p.nLine + nLines;
    if (nTarget < 0) {
      p = {};
    } else if (nTarget >= LineCount()) {
      p = {LineCount() - 1, LineLength(LineCount() - 1)};
    } else {
      p = {nTarget, ColumnAt(Line(nTarget), nX)};
    }
    if (std::abs(nLines) > 1) verticalScrollBar()->setValue(verticalScrollBar()->value() + nLines);
    SetCaretAndAnchor(p, bShift ? m_Anchor : p);
    m_nDesiredX = nX;
  } else {
    SetCaret(p, bShift);
  }
  return true;
}

void TRichEditPlus::keyPressEvent(QKeyEvent* e) {
  if (m_bReadOnly) {
    // Only what was selected can be copied; other keys go to whoever wants them.
    if (e->matches(QKeySequence::Copy)) return copy();
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
  if (e->matches(QKeySequence::Redo) || IsRedoKey(*e)) {
    emit RedoRequested();
    return;
  }
  const bool bCtrl = e->modifiers() & Qt::ControlModifier;
  const bool bAlt = e->modifiers() & Qt::AltModifier;
  const bool bMeta = e->modifiers() & Qt::MetaModifier;
  const QString text = e->text();
  const bool bPrintable = !text.isEmpty() && text[0].isPrint();
  const int k = e->key();
  if (bCtrl || bAlt || bMeta) {
    // Ctrl+Alt with a character is AltGr on Windows keyboards: typing, recorded as such.
    if (bCtrl && bAlt && !bMeta && bPrintable) {
      InsertWithRecord(text);
      return;
    }
    // Otherwise a key with a modifier never edits the text (Alt+letter opens a menu or
    // nothing): only moving, selecting and copying pass.
    const bool bMoves = k == Qt::Key_Left || k == Qt::Key_Right || k == Qt::Key_Up || k == Qt::Key_Down ||
                        k == Qt::Key_Home || k == Qt::Key_End || k == Qt::Key_PageUp || k == Qt::Key_PageDown;
    if (!bMoves && !e->matches(QKeySequence::Copy)) {
      e->ignore();
      return;
    }
  }
  // A character the program's encoding cannot hold is refused before anything changes.
  if (bPrintable && !Accepts(text)) {
    e->accept();
    return;
  }
  const int nVK = VirtualKeyCode(*e);
  m_EditUndo.KeyDown(nVK, bCtrl, bAlt, *this);
  const int nLineBefore = m_Caret.nLine;
  if (k == Qt::Key_Return || k == Qt::Key_Enter) {
    // Every line break is a real one, Shift or not: a program has no soft breaks.
    InsertText("\n");
    EnsureCaretVisible();
    return;
  }
  bool bHandled = true;
  if (MoveForKey(*e)) {
  } else if (e->matches(QKeySequence::Copy)) {
    copy();
  } else if (k == Qt::Key_Backspace) {
    TTextPos from = m_Anchor;
    if (!HasSelection()) {
      from = m_Caret;
      if (from.nColumn > 0) {
        --from.nColumn;
        if (from.nColumn > 0 && Line(from.nLine)[from.nColumn].isLowSurrogate()) --from.nColumn;
      } else if (from.nLine > 0) {
        from = {from.nLine - 1, LineLength(from.nLine - 1)};
      }
    }
    if (from != m_Caret) Replace(from, m_Caret, QString());
  } else if (k == Qt::Key_Delete) {
    TTextPos to = m_Anchor;
    if (!HasSelection()) {
      to = m_Caret;
      if (to.nColumn < LineLength(to.nLine)) {
        ++to.nColumn;
        if (to.nColumn < LineLength(to.nLine) && Line(to.nLine)[to.nColumn].isLowSurrogate()) ++to.nColumn;
      } else if (to.nLine + 1 < LineCount()) {
        to = {to.nLine + 1, 0};
      }
    }
    if (to != m_Caret) Replace(m_Caret, to, QString());
  } else if (k == Qt::Key_Tab) {
    InsertText("\t");
  } else if (bPrintable && !bCtrl) {
    InsertText(text);
  } else {
    bHandled = false;
    e->ignore();
  }
  if (bHandled) {
    EnsureCaretVisible();
    RestartBlink();
  }
  if (!bCtrl && !bAlt) m_EditUndo.KeyPress(text.toUtf8().toStdString());
  if ((k == Qt::Key_Up || k == Qt::Key_Down || k == Qt::Key_PageUp || k == Qt::Key_PageDown) &&
      m_Caret.nLine != nLineBefore)
    emit CaretMovedByUser();
}

// ---------------------------------------------------------------------------------------
// Mouse, input methods, drops

void TRichEditPlus::mousePressEvent(QMouseEvent* e) {
  emit Clicked();
  setFocus(Qt::MouseFocusReason);
  const QPoint at = e->position().toPoint();
  if (e->button() == Qt::MiddleButton) {
    // The X11 selection paste, recorded like any paste, at the place clicked.
    if (!m_bReadOnly && QApplication::clipboard()->supportsSelection()) {
      SetCaret(PosAt(at));
      InsertWithRecord(QApplication::clipboard()->text(QClipboard::Selection));
    }
    e->accept();
    return;
  }
  if (e->button() != Qt::LeftButton) return;
  SetCaret(PosAt(at), e->modifiers() & Qt::ShiftModifier);
  m_bDragging = true;
}

void TRichEditPlus::mouseMoveEvent(QMouseEvent* e) {
  if (!m_bDragging || !(e->buttons() & Qt::LeftButton)) return;
  const QPoint at = e->position().toPoint();
  // Dragging beyond the top or the bottom scrolls a line at a time.
  if (at.y() < 0) verticalScrollBar()->setValue(verticalScrollBar()->value() - 1);
  if (at.y() > viewport()->height()) verticalScrollBar()->setValue(verticalScrollBar()->value() + 1);
  SetCaret(PosAt(at), true);
}

void TRichEditPlus::mouseReleaseEvent(QMouseEvent* e) {
  m_bDragging = false;
  if (e->button() == Qt::LeftButton && HasSelection() && QApplication::clipboard()->supportsSelection())
    QApplication::clipboard()->setText(SelectedText(), QClipboard::Selection);
  e->accept();
  emit CaretMovedByUser();
}

void TRichEditPlus::mouseDoubleClickEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return;
  const TTextPos p = PosAt(e->position().toPoint());
  const QString l = Line(p.nLine);
  int a = p.nColumn, b = p.nColumn;
  while (a > 0 && IsWordChar(l[a - 1])) --a;
  while (b < l.size() && IsWordChar(l[b])) ++b;
  m_nDesiredX = -1;
  SetCaretAndAnchor({p.nLine, b}, {p.nLine, a});
}

void TRichEditPlus::inputMethodEvent(QInputMethodEvent* e) {
  // Text an input method composes shows as it is composed and counts as typed, with a
  // record, when it is committed.
  if (m_bReadOnly) {
    e->ignore();
    return;
  }
  m_strPreedit = e->preeditString();
  if (!e->commitString().isEmpty()) InsertWithRecord(e->commitString());
  viewport()->update();
  e->accept();
}

QVariant TRichEditPlus::inputMethodQuery(Qt::InputMethodQuery q) const {
  switch (q) {
    case Qt::ImEnabled: return !m_bReadOnly;
    case Qt::ImCursorRectangle: return cursorRect().translated(viewport()->pos());  // in the widget's coordinates
    case Qt::ImFont: return font();
    case Qt::ImCursorPosition: return m_Caret.nColumn;
    case Qt::ImAnchorPosition: return m_Anchor.nLine == m_Caret.nLine ? m_Anchor.nColumn : m_Caret.nColumn;
    case Qt::ImSurroundingText: return Line(m_Caret.nLine);
    case Qt::ImCurrentSelection: return SelectedText();
    default: return QAbstractScrollArea::inputMethodQuery(q);
  }
}

void TRichEditPlus::dragEnterEvent(QDragEnterEvent* e) {
  if (!m_bReadOnly && e->mimeData() && e->mimeData()->hasText())
    e->acceptProposedAction();
  else
    e->ignore();
}

void TRichEditPlus::dragMoveEvent(QDragMoveEvent* e) {
  if (!m_bReadOnly && e->mimeData() && e->mimeData()->hasText())
    e->acceptProposedAction();
  else
    e->ignore();
}

void TRichEditPlus::dropEvent(QDropEvent* e) {
  // Drops are recorded as pastes, at the place dropped.
  if (m_bReadOnly || !e->mimeData() || !e->mimeData()->hasText()) return e->ignore();
  SetCaret(PosAt(e->position().toPoint()));
  InsertWithRecord(e->mimeData()->text());
  e->acceptProposedAction();
}

}  // namespace veltrane
