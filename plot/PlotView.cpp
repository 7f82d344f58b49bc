// The plot's ranges, selection, arrows, rulers and drawing.
#include "plot/PlotView.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace veltrane {

namespace {

// Spans are held in single precision, as the view always has.
float Span(const TfRange& r) { return static_cast<float>(r.fTo - r.fFrom); }

void WidenAbout(TfRange& r, double fNewSpan) {
  double c = (r.fFrom + r.fTo) / 2;
  r.fFrom = c - fNewSpan / 2;
  r.fTo = c + fNewSpan / 2;
}

int32_t Round(double f) { return static_cast<int32_t>(std::nearbyint(std::clamp(f, -2e9, 2e9))); }

}  // namespace

void TPlotView::SetPlotSize(int32_t nWidth, int32_t nHeight) {
  m_nWidth = std::max(nWidth, 1);
  m_nHeight = std::max(nHeight, 1);
  m_Interp.SetPlotRect(TPlotRect{0, 0, m_nWidth, m_nHeight});
}

void TPlotView::AdjustXAndYRangesToDisplay() {
  float u = Span(m_fXRange) / static_cast<float>(m_nWidth);
  float v = Span(m_fYRange) / static_cast<float>(m_nHeight);
  if (std::fabs(u) < std::fabs(v))
    WidenAbout(m_fXRange, static_cast<double>(v) * m_nWidth);
  else if (std::fabs(v) < std::fabs(u))
    WidenAbout(m_fYRange, static_cast<double>(u) * m_nHeight);
}

void TPlotView::AdjustXRangeToDisplay() {
  float v = Span(m_fYRange) / static_cast<float>(m_nHeight);
  m_fXRange.fTo = m_fXRange.fFrom + static_cast<double>(m_nWidth) * v;
}

bool TPlotView::GetAutoPlotRange(TfRange& fX, TfRange& fY) {
  if (!m_Interp.GetExtents(fX, fY)) return false;
  for (TfRange* r : {&fX, &fY}) {
    float s = Span(*r);
    double gap = s == 0.0f ? 1.0 : c_fGapFactor * s;
    r->fFrom -= gap;
    r->fTo += gap;
  }
  return true;
}

void TPlotView::ZoomExtents() {
  TfRange x, y;
  GetAutoPlotRange(x, y);
  float u = Span(x) / static_cast<float>(m_nWidth), v = Span(y) / static_cast<float>(m_nHeight);
  double xHigh = x.fFrom + static_cast<double>(m_nWidth) * v;
  double yHigh = y.fFrom + static_cast<double>(m_nHeight) * u;
  if (xHigh > x.fTo) x.fTo = xHigh;
  if (yHigh > y.fTo) y.fTo = yHigh;
  m_fXRange = x;
  m_fYRange = y;
  SetWorldRanges();
  SetScrollBars();
}

void TPlotView::ZoomExtentsCZ() {
  TfRange x, y;
  GetAutoPlotRange(x, y);
  for (TfRange* r : {&x, &y}) {
    double m = std::max(std::fabs(r->fFrom), std::fabs(r->fTo));
    *r = TfRange{-m, m};
  }
  m_fXRange = x;
  m_fYRange = y;
  AdjustXAndYRangesToDisplay();
  for (TfRange* r : {&m_fXRange, &m_fYRange}) {
    float s = Span(*r);
    *r = TfRange{-s / 2.0, s / 2.0};
  }
  SetWorldRanges();
  SetScrollBars();
}

TfPoint TPlotView::PixelToUnits(int32_t X, int32_t Y) const {
  return TfPoint{X * static_cast<double>(Span(m_fXRange)) / m_nWidth + m_fXRange.fFrom,
                 m_fYRange.fTo - Y * static_cast<double>(Span(m_fYRange)) / m_nHeight};
}

void TPlotView::ZoomIn(int32_t X, int32_t Y) {
  TfPoint c = PixelToUnits(X, Y);
  double xs = Span(m_fXRange), ys = Span(m_fYRange);
  m_fXRange = TfRange{c.fX - xs / 4, c.fX + xs / 4};
  m_fYRange = TfRange{c.fY - ys / 4, c.fY + ys / 4};
  LimitZoomIn();
  AdjustXAndYRangesToDisplay();
  SetScrollBars();
}

void TPlotView::ZoomOut(int32_t X, int32_t Y) {
  TfPoint c = PixelToUnits(X, Y);
  double xs = Span(m_fXRange), ys = Span(m_fYRange);
  m_fXRange = TfRange{c.fX - xs, c.fX + xs};
  m_fYRange = TfRange{c.fY - ys, c.fY + ys};
  SetScrollBars();
}

void TPlotView::NormaliseZoomBox(int32_t& x0, int32_t& y0, int32_t& x1, int32_t& y1) {
  if (x1 < x0) std::swap(x0, x1);
  if (y1 < y0) std::swap(y0, y1);
  if (x1 - x0 < c_nMinZoomBoxSide) x1 = x0 + c_nMinZoomBoxSide;
  if (y1 - y0 < c_nMinZoomBoxSide) y1 = y0 + c_nMinZoomBoxSide;
}

void TPlotView::ZoomBox(int32_t nLeft, int32_t nTop, int32_t nRight, int32_t nBottom) {
  TfPoint a = PixelToUnits(nLeft, nTop), b = PixelToUnits(nRight, nBottom);
  m_fXRange = TfRange{a.fX, b.fX};
  m_fYRange = TfRange{b.fY, a.fY};
  LimitZoomIn();
  AdjustXAndYRangesToDisplay();
  SetScrollBars();
}

void TPlotView::Pan(int32_t dX, int32_t dY) {
  double p = static_cast<double>(Span(m_fXRange)) / m_nWidth;
  m_fXRange.fFrom -= dX * p;
  m_fXRange.fTo -= dX * p;
  m_fYRange.fFrom += dY * p;
  m_fYRange.fTo += dY * p;
  SetScrollBars();
}

bool TPlotView::LimitZoomIn() {
  TfRange x, y;
  if (!m_Interp.GetExtents(x, y)) return false;
  double sx = m_nWidth / static_cast<double>(Span(m_fXRange));
  double sy = m_nHeight / static_cast<double>(Span(m_fYRange));
  double d = std::max({std::fabs(x.fFrom - m_fXRange.fFrom) * sx, std::fabs(x.fTo - m_fXRange.fTo) * sx,
                       std::fabs(y.fFrom - m_fYRange.fFrom) * sy, std::fabs(y.fTo - m_fYRange.fTo) * sy});
  double f = d / c_fPixelLimit;
  if (!(f > 1.0)) return false;
  if (OnBeep) OnBeep();
  WidenAbout(m_fXRange, Span(m_fXRange) * f);
  WidenAbout(m_fYRange, Span(m_fYRange) * f);
  return true;
}

void TPlotView::SetWorldRanges() {
  double xs = Span(m_fXRange), ys = Span(m_fYRange);
  m_fWorldXRange = TfRange{m_fXRange.fFrom - xs, m_fXRange.fTo + xs};
  m_fWorldYRange = TfRange{m_fYRange.fFrom - ys, m_fYRange.fTo + ys};
}

void TPlotView::SetScrollBars() {
  AdjustXAndYRangesToDisplay();
  auto contain = [](TfRange& world, const TfRange& r) {
    double m = static_cast<double>(Span(r)) / 10;
    world.fFrom = std::min(world.fFrom, r.fFrom - m);
    world.fTo = std::max(world.fTo, r.fTo + m);
  };
  contain(m_fWorldXRange, m_fXRange);
  contain(m_fWorldYRange, m_fYRange);
  double wx = Span(m_fWorldXRange), wy = Span(m_fWorldYRange);
  m_HBar.nPageSize = Round(c_nScrollMax * Span(m_fXRange) / wx);
  m_HBar.nPosition = Round((m_fXRange.fFrom - m_fWorldXRange.fFrom) * c_nScrollMax / wx);
  m_VBar.nPageSize = Round(c_nScrollMax * Span(m_fYRange) / wy);
  m_VBar.nPosition = c_nScrollMax - m_VBar.nPageSize - Round((m_fYRange.fFrom - m_fWorldYRange.fFrom) * c_nScrollMax / wy);
}

void TPlotView::ScrollHorizontal(int32_t nPosition) {
  double s = Span(m_fXRange);
  m_fXRange.fFrom = nPosition * static_cast<double>(Span(m_fWorldXRange)) / c_nScrollMax + m_fWorldXRange.fFrom;
  m_fXRange.fTo = m_fXRange.fFrom + s;
  m_HBar.nPosition = nPosition;
}

void TPlotView::ScrollVertical(int32_t nPosition) {
  double s = Span(m_fYRange);
  m_fYRange.fTo = m_fWorldYRange.fTo - nPosition * static_cast<double>(Span(m_fWorldYRange)) / c_nScrollMax;
  m_fYRange.fFrom = m_fYRange.fTo - s;
  m_VBar.nPosition = nPosition;
}

void TPlotView::GenerateDisplayList() {
  AdjustXAndYRangesToDisplay();
  m_Interp.SetXRange(m_fXRange);
  m_Interp.SetYRange(m_fYRange);
  // The display pass starts from a reset machine and leaves nothing of an extents pass
  // in its list, so none is run first: an edit costs one pass over the program.
  m_Interp.Interpret();
}

void TPlotView::GenerateDisplayListAfterChange(const TLineChange& Change) {
  AdjustXAndYRangesToDisplay();
  m_Interp.SetXRange(m_fXRange);
  m_Interp.SetYRange(m_fYRange);
  m_Interp.InterpretChange(Change.nFirst, Change.nRemoved, Change.nAdded);
}

double TPlotView::DistanceToLine(TPixelPoint P1, TPixelPoint P2, TPixelPoint C) {
  auto len = [](TPixelPoint a, TPixelPoint b) { return std::hypot(double(b.X) - a.X, double(b.Y) - a.Y); };
  double a = len(C, P1), b = len(C, P2), c = len(P2, P1);
  if (a > c + 5) return b;
  if (b > c + 5) return a;
  if (a == 0.0) return 0.0;
  if (c == 0.0) return a;
  // a times the sine of the angle at P1: the cross product over the segment's length,
  // which is exact for whole pixels.
  double cross = (double(P2.X) - P1.X) * (double(C.Y) - P1.Y) - (double(P2.Y) - P1.Y) * (double(C.X) - P1.X);
  return std::fabs(cross) / c;
}

int32_t TPlotView::HitTest(TPixelPoint Click) const {
  const auto& d = m_Interp.DisplayList();
  if (d.size() < 2) return -1;
  for (size_t i = 1; i < d.size(); ++i)
    if (DistanceToLine(d[i - 1].Point, d[i].Point, Click) <= c_fMaxSelectDistance) return static_cast<int32_t>(i);
  return -1;
}

bool TPlotView::ArrowHead(size_t i, TPixelPoint P[3]) const {
  const auto& d = m_Interp.DisplayList();
  if (i == 0 || i >= d.size()) return false;
  size_t steps = 0;
  while (steps < 2 * c_nMaxArrowSegments && i > steps && d[i - steps - 1].nLine == d[i].nLine) ++steps;
  size_t k = std::max<size_t>(1, steps / 2);
  TPixelPoint base = d[i - k].Point, tip = d[i].Point;
  double dist = std::hypot(double(tip.X) - base.X, double(tip.Y) - base.Y);
  double a = std::atan2(double(tip.Y) - base.Y, double(tip.X) - base.X);
  TPixelPoint head = tip;
  if (dist > c_nArrowLength) {
    double r = (c_nArrowLength + dist) / 2;
    head = TPixelPoint{Round(base.X + r * std::cos(a)), Round(base.Y + r * std::sin(a))};
  }
  P[0] = TPixelPoint{Round(head.X + c_nArrowLength * std::cos(a + std::numbers::pi - c_fArrowAngle)),
                     Round(head.Y + c_nArrowLength * std::sin(a + std::numbers::pi - c_fArrowAngle))};
  P[1] = head;
  P[2] = TPixelPoint{Round(head.X + c_nArrowLength * std::cos(a - std::numbers::pi + c_fArrowAngle)),
                     Round(head.Y + c_nArrowLength * std::sin(a - std::numbers::pi + c_fArrowAngle))};
  return true;
}

std::vector<TRulerTick> TPlotView::RulerTicks(const TfRange& r, int32_t nPixels, bool bHorizontal) {
  std::vector<TRulerTick> ticks;
  double span = Span(r);
  if (!(span > 0) || nPixels <= 0) return ticks;
  double t = span / nPixels * 100, p = 1.0;
  if (!std::isfinite(t) || t <= 0) return ticks;
  while (t >= 10) {
    t /= 10;
    p *= 10;
  }
  while (t < 1) {
    t *= 10;
    p /= 10;
  }
  double step = (t < 2 ? 1 : t < 5 ? 2 : 5) * p;
  for (double v = std::floor(r.fFrom / step) * step; v < r.fTo && ticks.size() < 1000; v += step) {
    int32_t px = bHorizontal ? Round((v - r.fFrom) / span * nPixels) : Round((1 - (v - r.fFrom) / span) * nPixels);
    ticks.push_back(TRulerTick{v, px});
  }
  return ticks;
}

std::vector<int32_t> TPlotView::VerticalLabelStarts(const std::vector<TRulerTick>& Ticks,
                                                   const std::vector<int32_t>& Lengths, int32_t nHeight) {
  constexpr int32_t c_nGap = 3;  // between a tick and its text, and between two texts
  std::vector<int32_t> starts(Ticks.size(), -1);
  // From the top down, so that the top text, moved to fit, decides over the one below.
  int32_t nFree = 0;  // the first pixel below the texts placed so far
  for (size_t k = Ticks.size(); k-- > 0;) {
    const int32_t nPixel = Ticks[k].nPixel;
    const int32_t nLength = k < Lengths.size() ? Lengths[k] : 0;
    if (nPixel < 0 || nPixel > nHeight) continue;  // the tick is not on the ruler
    int32_t nStart = std::min(nPixel - c_nGap, nHeight - 1);
    if (nStart - nLength < 0) nStart = nLength;  // ends at the top rather than beyond it
    if (nStart - nLength < nFree) continue;      // would cover the text above
    starts[k] = nStart;
    nFree = nStart + c_nGap;
  }
  return starts;
}

bool TPlotView::DrawsArrow(const TDisplayRecord& e, bool bCurrentLine) const {
  if (!e.bDrawArrow) return false;
  if (bCurrentLine) return true;
  const auto& ends = m_Interp.EndPointList();
  if (e.nLine < 0 || static_cast<size_t>(e.nLine) >= ends.size()) return true;
  return ends[static_cast<size_t>(e.nLine)].nPixelLength > c_nMinPixelsForArrow;
}

void TPlotView::DrawGraph(ICanvas& cv) const { Draw(cv, m_nCurrentSequence, m_nCurrentLine, nullptr); }

void TPlotView::DrawBase(ICanvas& cv, const TPlotRect* pClip) const { Draw(cv, 0, -1, pClip); }

bool TPlotView::Reaches(size_t i, const TPlotRect& r) const {
  const auto& d = m_Interp.DisplayList();
  // The segment into the entry, and the entries an arrow head there is placed along.
  const size_t nFrom = d[i].bDrawArrow ? i - std::min<size_t>(i, c_nMaxArrowSegments) : i - 1;
  int32_t l = d[i].Point.X, t = d[i].Point.Y, rt = l, b = t;
  for (size_t k = nFrom; k < i; ++k) {
    l = std::min(l, d[k].Point.X);
    rt = std::max(rt, d[k].Point.X);
    t = std::min(t, d[k].Point.Y);
    b = std::max(b, d[k].Point.Y);
  }
  return l - c_nDrawingMargin <= r.Right && rt + c_nDrawingMargin >= r.Left && t - c_nDrawingMargin <= r.Bottom &&
         b + c_nDrawingMargin >= r.Top;
}

void TPlotView::DrawArrow(ICanvas& cv, size_t i) const {
  const auto& d = m_Interp.DisplayList();
  TPixelPoint P[3];
  if (!ArrowHead(i, P)) return;
  cv.MoveTo(P[0].X, P[0].Y);
  cv.LineTo(P[1].X, P[1].Y);
  cv.LineTo(P[2].X, P[2].Y);
  cv.MoveTo(d[i].Point.X, d[i].Point.Y);
}

void TPlotView::DrawSelection(ICanvas& cv) const {
  const auto& d = m_Interp.DisplayList();
  if (m_nCurrentSequence != 0) {
    for (size_t i = 1; i < d.size(); ++i) {
      const TDisplayRecord& e = d[i];
      if (e.nSequence != m_nCurrentSequence || (e.nLine == m_nCurrentLine && m_nCurrentLine >= 0)) continue;
      cv.SetPen(e.bLeader ? c_clAqua : c_clLime, 1, false);
      cv.MoveTo(d[i - 1].Point.X, d[i - 1].Point.Y);
      cv.LineTo(e.Point.X, e.Point.Y);
      if (DrawsArrow(e, false)) DrawArrow(cv, i);
    }
  }
  DrawCurrentLine(cv, m_nCurrentLine);
}

void TPlotView::DrawCurrentLine(ICanvas& cv, int32_t nLine) const {
  if (nLine < 0) return;
  const auto& d = m_Interp.DisplayList();
  cv.SetPen(c_clRed, 1, false);
  for (size_t i = 1; i < d.size(); ++i) {
    if (d[i].nLine != nLine) continue;
    cv.MoveTo(d[i - 1].Point.X, d[i - 1].Point.Y);
    cv.LineTo(d[i].Point.X, d[i].Point.Y);
    if (DrawsArrow(d[i], true)) DrawArrow(cv, i);
  }
}

void TPlotView::Draw(ICanvas& cv, int32_t nCurrentSequence, int32_t nCurrentLine, const TPlotRect* pClip) const {
  const int W = m_nWidth, H = m_nHeight;
  if (m_bShowLimits && Span(m_fXRange) > 0 && Span(m_fYRange) > 0) {
    cv.FillRect(0, 0, W, H, c_clGrey);
    auto px = [&](double x) {
      return Round(std::clamp(W * (x - m_fXRange.fFrom) / Span(m_fXRange), -32500.0, 32500.0));
    };
    auto py = [&](double y) {
      return Round(std::clamp(H * (m_fYRange.fTo - y) / Span(m_fYRange), -32500.0, 32500.0));
    };
    const int x0 = px(m_fLimitX.fFrom), x1 = px(m_fLimitX.fTo);
    const int y0 = py(m_fLimitY.fTo), y1 = py(m_fLimitY.fFrom);
    if (x1 >= x0 && y1 >= y0) {
      cv.FillRect(x0, y0, x1, y1, c_clWhite);
      cv.SetPen(c_clRed, 1, false);
      cv.MoveTo(x0, y0);
      cv.LineTo(x1, y0);
      cv.LineTo(x1, y1);
      cv.LineTo(x0, y1);
      cv.LineTo(x0, y0);
    }
  } else {
    cv.FillRect(0, 0, W, H, c_clWhite);
  }
  // Origin.
  if (Span(m_fXRange) > 0 && Span(m_fYRange) > 0) {
    int X0 = Round(W * (-m_fXRange.fFrom) / Span(m_fXRange));
    int Y0 = Round(H * m_fYRange.fTo / Span(m_fYRange)) - 1;
    cv.SetPen(c_clGreen, 1, false);
    if (X0 >= -c_nOriginRadius && X0 <= W + c_nOriginRadius && Y0 >= -c_nOriginRadius && Y0 <= H + c_nOriginRadius)
      cv.Ellipse(X0 - c_nOriginRadius, Y0 - c_nOriginRadius, X0 + c_nOriginRadius, Y0 + c_nOriginRadius);
    if (Y0 >= 0 && Y0 < H) {
      cv.MoveTo(0, Y0);
      cv.LineTo(W, Y0);
    }
    if (X0 >= 0 && X0 < W) {
      cv.MoveTo(X0, 0);
      cv.LineTo(X0, H);
    }
  }
  // The original pattern, dashed.
  const auto& add = m_Interp.AddDisList();
  if (m_bShowOriginal && m_Interp.AdditionalShown() && !add.empty()) {
    cv.SetPen(c_clTeal, 1, true);
    cv.MoveTo(add[0].Point.X, add[0].Point.Y);
    for (size_t i = 1; i < add.size(); ++i) {
      if (add[i].bLeader)
        cv.MoveTo(add[i].Point.X, add[i].Point.Y);
      else
        cv.LineTo(add[i].Point.X, add[i].Point.Y);
    }
  }
  // The program, then the current line on top in red.
  const auto& d = m_Interp.DisplayList();
  if (d.empty()) return;
  cv.MoveTo(d[0].Point.X, d[0].Point.Y);
  for (size_t i = 1; i < d.size(); ++i) {
    const TDisplayRecord& e = d[i];
    if ((e.nLine == nCurrentLine && nCurrentLine >= 0) || (pClip && !Reaches(i, *pClip))) {
      cv.MoveTo(e.Point.X, e.Point.Y);
      continue;
    }
    bool bCurrent = nCurrentSequence != 0 && e.nSequence == nCurrentSequence;
    TColor c = bCurrent ? (e.bLeader ? c_clAqua : c_clLime) : (e.bLeader ? c_clSilver : c_clActiveCaption);
    cv.SetPen(c, 1, false);
    cv.LineTo(e.Point.X, e.Point.Y);
    if (DrawsArrow(e, false)) DrawArrow(cv, i);
  }
  DrawCurrentLine(cv, nCurrentLine);
}

}  // namespace veltrane
