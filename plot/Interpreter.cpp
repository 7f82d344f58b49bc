// The program interpreter's passes: extents, display list with end points, end point.
#include "plot/Interpreter.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "model/NumberFormat.h"
#include "model/Statements.h"
#include "model/Text.h"

namespace veltrane {

namespace {

constexpr double c_fTwoPi = 6.283185307179586;
constexpr double c_fHalfPi = 1.5707963267948966;
constexpr double c_fTinyRadius = 1e-20;  // below this an arc is a point: quarter steps

// Rounds half to even after clamping, so no value can overflow a pixel coordinate.
int32_t RoundTerm(double f) {
  if (std::isnan(f)) return 0;
  f = std::clamp(f, -TInterpreter::c_fMaxPixelTerm, TInterpreter::c_fMaxPixelTerm);
  return static_cast<int32_t>(std::nearbyint(f));
}

double ScaleOf(double fPixels, const TfRange& r) {
  double f = fPixels / (r.fTo - r.fFrom);
  return (std::isfinite(f) && f != 0.0) ? f : 1.0;
}

// W * fNumerator / (fTo - fFrom), or 0 when the range has no width a double can show.
double OffsetTerm(double fPixels, double fNumerator, const TfRange& r) {
  double d = r.fTo - r.fFrom;
  if (d == 0.0) return 0.0;
  double f = fPixels * fNumerator / d;
  return std::isfinite(f) ? f : (std::isnan(f) ? 0.0 : f);
}

// The sequence number of a trimmed start marker: character 12 up to the first ")".
int32_t StartMarkerNumber(std::string_view t) {
  size_t close = t.find(')');
  if (close == std::string_view::npos || close < 12) return 0;
  return StrToIntDef(t.substr(11, close - 11), 0);
}

}  // namespace

TInterpreter::TInterpreter() {
  for (int i = 0; i < c_nMaxAxes; ++i) m_Axes[static_cast<size_t>(i)] = i;
  CalculateScales();
}

void TInterpreter::SetControllerAxes(int32_t nAxes) {
  m_nControllerAxes = std::clamp(nAxes, 2, c_nMaxAxes);
}

void TInterpreter::SetXAxisNumber(int32_t nAxis) {
  m_nXAxis = std::clamp(nAxis, 0, m_nControllerAxes - 1);
}

void TInterpreter::SetYAxisNumber(int32_t nAxis) {
  m_nYAxis = std::clamp(nAxis, 0, m_nControllerAxes - 1);
}

void TInterpreter::SetXRange(TfRange r) {
  m_fXRange = r.fFrom < r.fTo ? r : TfRange{r.fFrom, r.fFrom + 0.1};
  CalculateScales();
}

void TInterpreter::SetYRange(TfRange r) {
  m_fYRange = r.fFrom < r.fTo ? r : TfRange{r.fFrom, r.fFrom + 0.1};
  CalculateScales();
}

void TInterpreter::SetPlotRect(TPlotRect r) {
  r.Left = std::max(r.Left, 0);
  r.Top = std::max(r.Top, 0);
  if (r.Right <= r.Left) r.Right = r.Left + 1;
  if (r.Bottom <= r.Top) r.Bottom = r.Top + 1;
  m_PlotRect = r;
  CalculateScales();
}

void TInterpreter::CalculateScales() {
  m_fXScale = ScaleOf(static_cast<double>(m_PlotRect.Right) - m_PlotRect.Left, m_fXRange);
  m_fYScale = ScaleOf(static_cast<double>(m_PlotRect.Bottom) - m_PlotRect.Top, m_fYRange);
}

TPixelPoint TInterpreter::MapToPixel(double x, double y) const {
  double W = static_cast<double>(m_PlotRect.Right) - m_PlotRect.Left;
  double H = static_cast<double>(m_PlotRect.Bottom) - m_PlotRect.Top;
  int64_t X = static_cast<int64_t>(RoundTerm(x * m_fXScale)) +
              RoundTerm(OffsetTerm(W, -m_fXRange.fFrom, m_fXRange));
  int64_t Y = static_cast<int64_t>(RoundTerm(-y * m_fYScale)) +
              RoundTerm(OffsetTerm(H, m_fYRange.fTo, m_fYRange));
  return TPixelPoint{static_cast<int32_t>(X), static_cast<int32_t>(Y)};
}

void TInterpreter::AddLineToDrawList(double x, double y, bool bAddArrow) {
  std::vector<TDisplayRecord>& target = m_bAddition ? *m_AddDisList : *m_DisplayList;
  TPixelPoint p = MapToPixel(x, y);
  if (!target.empty() && target.back().Point == p) {
    // The arrow of a dropped point goes to the next point of the same line, so a
    // sub-pixel chord does not take an arc's arrow with it.
    if (bAddArrow) m_bArrowPending = true;
    return;
  }
  target.push_back(TDisplayRecord{p, m_nCurrentLine, m_nCurrentSequence, m_bLineIsLeader,
                                  bAddArrow || m_bArrowPending});
  m_bArrowPending = false;
}

void TInterpreter::ResetPlottedAxes() {
  m_fNewPosition[static_cast<size_t>(m_nXAxis)] = 0.0;
  m_fNewPosition[static_cast<size_t>(m_nYAxis)] = 0.0;
  m_fOldPosition[static_cast<size_t>(m_nXAxis)] = 0.0;
  m_fOldPosition[static_cast<size_t>(m_nYAxis)] = 0.0;
}

void TInterpreter::UpdateEndPoint(size_t n) {
  if (n >= m_EndPointList->size()) return;
  TEndPoints& e = (*m_EndPointList)[n];
  size_t x = static_cast<size_t>(m_nXAxis), y = static_cast<size_t>(m_nYAxis);
  e.fStartPoint.fX = m_fOldPosition[x];
  e.fStartPoint.fY = m_fOldPosition[y];
  e.fEndPoint.fX = m_fNewPosition[x];
  e.fEndPoint.fY = m_fNewPosition[y];
  double dx = (e.fEndPoint.fX - e.fStartPoint.fX) * m_fXScale;
  double dy = (e.fEndPoint.fY - e.fStartPoint.fY) * m_fYScale;
  e.nPixelLength = RoundTerm(std::sqrt(dx * dx + dy * dy));
}

bool TInterpreter::Interpret() {
  m_DisplayList->clear();
  m_nCurrentLine = -1;
  m_nCurrentSequence = 0;

  m_bLineIsLeader = false;
  m_bArrowPending = false;
  m_DisplayList->push_back(TDisplayRecord{MapToPixel(0.0, 0.0), -1, 0, false, false});
  size_t nLines = m_ProgramList ? m_ProgramList->size() : 0;
  m_EndPointList->resize(nLines);
  ResetPlottedAxes();
  m_bAddition = false;
  m_Checkpoints.clear();
  for (size_t n = 0; n < nLines; ++n) {
    if (n % m_nCheckpointLines == 0) m_Checkpoints.push_back(Checkpoint(n));
    ProcessLine(static_cast<int32_t>(n), true);
    UpdateEndPoint(n);
  }
  m_LastPass = PassKey();
  m_nLastPassLines = nLines;
  m_nLinesRun = nLines;
  m_bChangedBounds = false;
  m_bLastPassValid = m_ProgramList != nullptr;
  m_ProgramEnd = Checkpoint(nLines);
  RunAddition();
  return true;
}

void TInterpreter::RunAddition() {
  m_AddDisList->clear();
  if (b_Additional && AdditionalList) {
    ResetPlottedAxes();
    m_bAddition = true;
    for (size_t n = 0; n < AdditionalList->size(); ++n) ProcessLine(static_cast<int32_t>(n), true);
  }
  m_PassEnd = Checkpoint(0);
  m_nPassEndLine = m_nCurrentLine;
  m_bPassEndAddition = m_bAddition;
}

TLineChange CombineChanges(const TLineChange& a, const TLineChange& b) {
  // In the text between the two changes, the first one's lines end at a.nFirst+a.nAdded
  // and the second one's removed lines at b.nFirst+b.nRemoved.
  const size_t nFirst = std::min(a.nFirst, b.nFirst);
  const size_t nEnd = std::max(a.nFirst + a.nAdded, b.nFirst + b.nRemoved);
  const size_t nOriginalEnd = nEnd - a.nAdded + a.nRemoved;
  const size_t nFinalEnd = nEnd - b.nRemoved + b.nAdded;
  return TLineChange{nFirst, nOriginalEnd - nFirst, nFinalEnd - nFirst};
}

TInterpreter::TCheckpoint TInterpreter::Checkpoint(size_t nLine) const {
  return TCheckpoint{nLine, m_DisplayList->size(), m_fNewPosition, m_nCurrentSequence, m_bDoneLeader};
}

namespace {

// The same positions to the bit: 0 and -0 lead to different arcs (an angle of pi or -pi),
// and a position that is not a number goes on as the same one.
bool SamePositions(const std::array<double, TInterpreter::c_nMaxAxes>& a,
                   const std::array<double, TInterpreter::c_nMaxAxes>& b) {
  return std::memcmp(a.data(), b.data(), sizeof(double) * a.size()) == 0;
}

}  // namespace

bool TInterpreter::SameState(const TCheckpoint& c) const {
  return SamePositions(c.fPosition, m_fNewPosition) && c.nSequence == m_nCurrentSequence &&
         c.bDoneLeader == m_bDoneLeader;
}

TInterpreter::TPassKey TInterpreter::PassKey() const {
  return TPassKey{m_ProgramList, m_fXRange, m_fYRange, m_PlotRect, m_nXAxis, m_nYAxis, m_Axes, AdditionalList,
                  b_Additional};
}

bool TInterpreter::InterpretChange(size_t nFirst, size_t nRemoved, size_t nAdded) {
  const size_t nLines = m_ProgramList ? m_ProgramList->size() : 0;
  if (!m_bLastPassValid || !(PassKey() == m_LastPass) || m_Checkpoints.empty() || m_DisplayList->empty() ||
      nFirst + nRemoved > m_nLastPassLines || m_nLastPassLines - nRemoved + nAdded != nLines ||
      m_EndPointList->size() != m_nLastPassLines)
    return Interpret();
  {
    // A whole pass now would start from the machine as it is (the other axes and the
    // leader state carry over between passes): the states saved hold only when it is as
    // the last pass began.
    TCheckpoint now = Checkpoint(0);
    now.fPosition[static_cast<size_t>(m_nXAxis)] = 0.0;
    now.fPosition[static_cast<size_t>(m_nYAxis)] = 0.0;
    const TCheckpoint& began = m_Checkpoints.front();
    if (began.nLine != 0 || !SamePositions(now.fPosition, began.fPosition) || now.bDoneLeader != began.bDoneLeader)
      return Interpret();
  }
  const ptrdiff_t nDelta = static_cast<ptrdiff_t>(nAdded) - static_cast<ptrdiff_t>(nRemoved);
  // The end points of the lines after the change move with them.
  auto& ends = *m_EndPointList;
  const auto at = ends.begin() + static_cast<ptrdiff_t>(nFirst);
  if (nAdded > nRemoved)
    ends.insert(at + static_cast<ptrdiff_t>(nRemoved), nAdded - nRemoved, TEndPoints());
  else if (nRemoved > nAdded)
    ends.erase(at + static_cast<ptrdiff_t>(nAdded), at + static_cast<ptrdiff_t>(nRemoved));
  // Run again from the last state saved at or before the change.
  std::vector<TCheckpoint> old;
  old.swap(m_Checkpoints);
  auto start = std::upper_bound(old.begin(), old.end(), nFirst,
                                [](size_t n, const TCheckpoint& c) { return n < c.nLine; }) - 1;
  m_Checkpoints.assign(old.begin(), start + 1);
  m_fNewPosition = start->fPosition;
  m_nCurrentSequence = start->nSequence;
  m_bDoneLeader = start->bDoneLeader;
  m_bAddition = false;
  std::vector<TDisplayRecord>& list = *m_DisplayList;
  // The new entries are made aside after the last entry before the start, which a point
  // that lands on it is compared with.
  std::vector<TDisplayRecord> fresh{list[start->nDisplaySize - 1]};
  m_DisplayList = &fresh;
  auto next = start + 1;  // the next state saved in the last pass
  bool bMet = false;
  size_t nRun = 0;
  for (size_t n = start->nLine; n < nLines; ++n, ++nRun) {
    if (n >= nFirst + nAdded) {
      // Past the change: where the last pass saved its state before the same line, the
      // same state gives the same entries from there on.
      const size_t nOld = static_cast<size_t>(static_cast<ptrdiff_t>(n) - nDelta);
      while (next != old.end() && next->nLine < nOld) ++next;
      if (next != old.end() && next->nLine == nOld && SameState(*next) &&
          fresh.back().Point == list[next->nDisplaySize - 1].Point) {
        bMet = true;
        break;
      }
    }
    if (n % m_nCheckpointLines == 0 && n > start->nLine) {
      m_Checkpoints.push_back(Checkpoint(n));
      m_Checkpoints.back().nDisplaySize += start->nDisplaySize - 1;
    }
    ProcessLine(static_cast<int32_t>(n), true);
    UpdateEndPoint(n);
  }
  m_DisplayList = &list;
  const size_t nKeptFrom = bMet ? next->nDisplaySize : list.size();
  // What the entries replaced covered, from the one before them to the first one kept.
  bool bAny = false;
  auto cover = [&](const TPixelPoint& p) {
    if (!bAny) {
      m_ChangedBounds = TPlotRect{p.X, p.Y, p.X, p.Y};
      bAny = true;
      return;
    }
    m_ChangedBounds.Left = std::min(m_ChangedBounds.Left, p.X);
    m_ChangedBounds.Right = std::max(m_ChangedBounds.Right, p.X);
    m_ChangedBounds.Top = std::min(m_ChangedBounds.Top, p.Y);
    m_ChangedBounds.Bottom = std::max(m_ChangedBounds.Bottom, p.Y);
  };
  for (size_t i = start->nDisplaySize - 1; i <= nKeptFrom && i < list.size(); ++i) cover(list[i].Point);
  for (const TDisplayRecord& r : fresh) cover(r.Point);
  if (nKeptFrom < list.size()) cover(list[nKeptFrom].Point);
  m_bChangedBounds = bAny;
  const ptrdiff_t nEntryDelta =
      static_cast<ptrdiff_t>(fresh.size() - 1) - static_cast<ptrdiff_t>(nKeptFrom - start->nDisplaySize);
  const auto from = list.begin() + static_cast<ptrdiff_t>(start->nDisplaySize);
  const auto to = list.begin() + static_cast<ptrdiff_t>(nKeptFrom);
  const size_t nCommon = std::min<size_t>(static_cast<size_t>(to - from), fresh.size() - 1);
  std::copy(fresh.begin() + 1, fresh.begin() + 1 + static_cast<ptrdiff_t>(nCommon), from);
  if (fresh.size() - 1 > nCommon)
    list.insert(from + static_cast<ptrdiff_t>(nCommon), fresh.begin() + 1 + static_cast<ptrdiff_t>(nCommon), fresh.end());
  else
    list.erase(from + static_cast<ptrdiff_t>(nCommon), to);
  if (bMet) {
    // The kept entries and states belong to lines moved by the change.
    if (nDelta != 0)
      for (size_t i = start->nDisplaySize + fresh.size() - 1; i < list.size(); ++i)
        if (list[i].nLine >= 0) list[i].nLine = static_cast<int32_t>(list[i].nLine + nDelta);
    for (auto c = next; c != old.end(); ++c) {
      m_Checkpoints.push_back(*c);
      m_Checkpoints.back().nLine = static_cast<size_t>(static_cast<ptrdiff_t>(c->nLine) + nDelta);
      m_Checkpoints.back().nDisplaySize = static_cast<size_t>(static_cast<ptrdiff_t>(c->nDisplaySize) + nEntryDelta);
    }
  }
  m_nLastPassLines = nLines;
  m_nLinesRun = nRun;
  if (bMet || SameState(m_ProgramEnd)) {
    // The program ends as it did, and so does the original pattern after it.
    m_fNewPosition = m_PassEnd.fPosition;
    m_nCurrentSequence = m_PassEnd.nSequence;
    m_bDoneLeader = m_PassEnd.bDoneLeader;
    m_nCurrentLine = m_nPassEndLine;
    m_bAddition = m_bPassEndAddition;
  } else {
    m_ProgramEnd = Checkpoint(nLines);
    RunAddition();
  }
  return true;
}

bool TInterpreter::GetExtents(TfRange& fXRange, TfRange& fYRange) {
  fXRange = TfRange{0.0, 0.0};
  fYRange = TfRange{0.0, 0.0};
  if (!m_ProgramList) return false;
  ResetPlottedAxes();
  m_fArcXRange = TfRange{0.0, 0.0};
  m_fArcYRange = TfRange{0.0, 0.0};
  m_bAddition = false;
  auto widen = [](TfRange& r, double lo, double hi) {
    if (lo < r.fFrom) r.fFrom = lo;
    if (hi > r.fTo) r.fTo = hi;
  };
  size_t x = static_cast<size_t>(m_nXAxis), y = static_cast<size_t>(m_nYAxis);
  for (size_t n = 0; n < m_ProgramList->size(); ++n) {
    ProcessLine(static_cast<int32_t>(n), false);
    widen(fXRange, m_fNewPosition[x], m_fNewPosition[x]);
    widen(fYRange, m_fNewPosition[y], m_fNewPosition[y]);
    widen(fXRange, m_fArcXRange.fFrom, m_fArcXRange.fTo);
    widen(fYRange, m_fArcYRange.fFrom, m_fArcYRange.fTo);
  }
  return true;
}

bool TInterpreter::GetEndPoint(TfPoint& fEndPoint) {
  fEndPoint.fX = 0.0;
  fEndPoint.fY = 0.0;
  if (!m_ProgramList) return false;
  ResetPlottedAxes();
  m_bAddition = false;
  for (size_t n = 0; n < m_ProgramList->size(); ++n) ProcessLine(static_cast<int32_t>(n), false);
  fEndPoint.fX = m_fNewPosition[static_cast<size_t>(m_nXAxis)];
  fEndPoint.fY = m_fNewPosition[static_cast<size_t>(m_nYAxis)];
  return true;
}

bool TInterpreter::ProcessLine(int32_t nLine, bool bAddToDrawList) {
  m_fOldPosition = m_fNewPosition;
  const TStringList* text = m_bAddition ? AdditionalList : m_ProgramList;
  if (!text || nLine < 0 || static_cast<size_t>(nLine) >= text->size()) return false;
  m_nCurrentLine = nLine;
  m_bArrowPending = false;
  std::string_view t = TrimView((*text)[static_cast<size_t>(nLine)]);
  if (StartsWithText(t, "'$STARTSEQ(")) {
    if (m_nCurrentSequence >= 0) {
      m_nCurrentSequence = StartMarkerNumber(t);
      if (m_nCurrentSequence > 0) m_bDoneLeader = false;
    } else {
      m_nCurrentSequence = -1;
    }
  } else if (StartsWithText(t, "'$ENDSEQ(")) {
    m_nCurrentSequence = m_nCurrentSequence != 0 ? 0 : -1;
  }
  m_bLineIsLeader = false;
  ECommandType kind = CommandTypeFromString(CommandWordFromString(t));
  if (IsAbsoluteMove(kind)) {
    m_bLineIsLeader = !m_bDoneLeader;
    m_bDoneLeader = true;
    ExtractParameterString(t, m_ParameterList, c_nMaxAxes);
    LinearMove(m_ParameterList, false, bAddToDrawList);
  } else if (IsIncrementalMove(kind)) {
    ExtractParameterString(t, m_ParameterList, c_nMaxAxes);
    LinearMove(m_ParameterList, true, bAddToDrawList);
  } else if (IsCircularMove(kind)) {
    ExtractParameterString(t, m_ParameterList, 6);  // five, or more: not a circle
    CircularMove(m_ParameterList, bAddToDrawList);
  }
  return true;
}

void TInterpreter::LinearMove(const TStringList& params, bool bIncremental, bool bAddToDrawList) {
  bool bFailed = false;
  size_t n = std::min(params.size(), static_cast<size_t>(c_nMaxAxes));
  for (size_t i = 0; i < n; ++i) {
    int32_t axis = m_Axes[i];
    if (axis < 0 || axis >= c_nMaxAxes) continue;
    double v = 0.0;
    if (!TryStrToFloat(params[i], v)) {
      bFailed = true;
      continue;
    }
    size_t a = static_cast<size_t>(axis);
    m_fNewPosition[a] = bIncremental ? m_fOldPosition[a] + v : v;
  }
  size_t x = static_cast<size_t>(m_nXAxis), y = static_cast<size_t>(m_nYAxis);
  if (bAddToDrawList && !bFailed &&
      (m_fNewPosition[x] != m_fOldPosition[x] || m_fNewPosition[y] != m_fOldPosition[y]))
    AddLineToDrawList(m_fNewPosition[x], m_fNewPosition[y], true);
}

void TInterpreter::CircularMove(const TStringList& params, bool bAddToDrawList) {
  if (params.size() != 5) return;
  double p[4];
  for (int i = 0; i < 4; ++i)
    if (!TryStrToFloat(params[static_cast<size_t>(i)], p[i])) p[i] = 0.0;
  EAngleDirection dir = StrToIntDef(params[4], 0) == 1 ? eClockwise : eAnticlockwise;
  size_t a0 = static_cast<size_t>(m_Axes[0]), a1 = static_cast<size_t>(m_Axes[1]);
  TfPoint start{m_fOldPosition[a0], m_fOldPosition[a1]};
  TfPoint end{start.fX + p[0], start.fY + p[1]};
  TfPoint centre{start.fX + p[2], start.fY + p[3]};
  int32_t X = m_nXAxis, Y = m_nYAxis;
  int32_t A0 = m_Axes[0], A1 = m_Axes[1];
  if ((X == A0 && Y == A1) || (X == A1 && Y == A0)) {
    TraceArc(start, end, centre, dir, bAddToDrawList, X == A1);
    m_fNewPosition[a0] = end.fX;
    m_fNewPosition[a1] = end.fY;
  } else {
    m_fNewPosition[a0] = end.fX;
    m_fNewPosition[a1] = end.fY;
    bool bOnePlotted = X == A0 || X == A1 || Y == A0 || Y == A1;
    size_t x = static_cast<size_t>(X), y = static_cast<size_t>(Y);
    if (bOnePlotted && bAddToDrawList &&
        (m_fNewPosition[x] != m_fOldPosition[x] || m_fNewPosition[y] != m_fOldPosition[y]))
      AddLineToDrawList(m_fNewPosition[x], m_fNewPosition[y], true);
  }
}

void TInterpreter::WidenArcRange(double x, double y) {
  if (x < m_fArcXRange.fFrom)
    m_fArcXRange.fFrom = x;
  else if (x > m_fArcXRange.fTo)
    m_fArcXRange.fTo = x;
  if (y < m_fArcYRange.fFrom)
    m_fArcYRange.fFrom = y;
  else if (y > m_fArcYRange.fTo)
    m_fArcYRange.fTo = y;
}

void TInterpreter::TraceArc(TfPoint s, TfPoint e, TfPoint c, EAngleDirection evDirection,
                            bool bAddToDrawList, bool bSwapped) {
  // Points are in the arc's own axes; a swapped view shows the first axis vertically.
  auto plot = [&](double u, double v, bool bArrow) {
    if (bAddToDrawList)
      bSwapped ? AddLineToDrawList(v, u, bArrow) : AddLineToDrawList(u, v, bArrow);
    else
      bSwapped ? WidenArcRange(v, u) : WidenArcRange(u, v);
  };
  if (!bAddToDrawList) {
    m_fArcXRange = bSwapped ? TfRange{s.fY, s.fY} : TfRange{s.fX, s.fX};
    m_fArcYRange = bSwapped ? TfRange{s.fX, s.fX} : TfRange{s.fY, s.fY};
  }
  double fStartAngle = std::atan2(s.fY - c.fY, s.fX - c.fX);
  double fEndAngle = std::atan2(e.fY - c.fY, e.fX - c.fX);
  double fFull = fEndAngle - fStartAngle;
  if (evDirection == eClockwise) {
    if (fFull >= 0.0) fFull -= c_fTwoPi;
  } else if (fFull <= 0.0) {
    fFull += c_fTwoPi;
  }
  double fRadius = std::hypot(s.fX - c.fX, s.fY - c.fY);
  if (!std::isfinite(fFull) || !std::isfinite(fRadius)) {
    // Numbers too large for trigonometry: show the chord only.
    plot(e.fX, e.fY, false);
    return;
  }
  if (!bAddToDrawList) {
    // The extents of an arc follow from its circle: its ends and the axis directions it
    // sweeps through. Exact, and without tracing it.
    plot(e.fX, e.fY, false);
    plot(c.fX + fRadius * std::cos(fEndAngle), c.fY + fRadius * std::sin(fEndAngle), false);
    static constexpr double c_Axis[4][2] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}};
    for (int q = 0; q < 4; ++q) {
      double d = (fFull >= 0.0 ? q * c_fHalfPi - fStartAngle : fStartAngle - q * c_fHalfPi);
      d = std::fmod(std::fmod(d, c_fTwoPi) + c_fTwoPi, c_fTwoPi);
      if (d <= std::fabs(fFull)) plot(c.fX + fRadius * c_Axis[q][0], c.fY + fRadius * c_Axis[q][1], false);
    }
    return;
  }
  double fRef = std::max(m_fXScale, m_fYScale);
  double fStep = c_fHalfPi;
  if (fRadius > c_fTinyRadius) {
    fStep = c_fScreenChordLength / (fRef * fRadius);
    if (!(fStep >= c_fMaxScreenChordAngle)) fStep = c_fMaxScreenChordAngle;
  }
  // The quarter-turn limit applies to the step's size in both directions.
  if (fStep > c_fHalfPi) fStep = c_fHalfPi;
  if (fFull < 0.0) fStep = -fStep;
  double fPlot = fStartAngle, fUsed = fStep;
  TfPoint last = s;
  bool bArrowPlaced = false, bLastSegment = false;
  for (int nStep = 0; nStep < c_nMaxArcSteps; ++nStep) {
    TfPoint p{c.fX + fRadius * std::cos(fPlot), c.fY + fRadius * std::sin(fPlot)};
    if (!(p.fX == last.fX && p.fY == last.fY)) {
      bool bArrow = false;
      if (!bArrowPlaced && std::fabs(fUsed) > std::fabs(fFull / 2.0)) {
        bArrow = true;
        bArrowPlaced = true;
      }
      plot(p.fX, p.fY, bArrow);
      last = p;
    }
    fPlot += fStep;
    fUsed += fStep;
    if (bLastSegment) break;
    if (std::fabs(fUsed) >= std::fabs(fFull)) {
      bLastSegment = true;
      fPlot = fEndAngle;
    }
  }
  if (bAddToDrawList)
    plot(e.fX, e.fY, false);
  else
    plot(last.fX, last.fY, false);
}

}  // namespace veltrane
