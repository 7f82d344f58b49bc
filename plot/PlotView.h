// TPlotView: the plot's logic without a window. It holds the visible and world ranges,
// zooms, pans and scrolls them, keeps both scales equal, finds the program line under a
// click, computes arrow heads and ruler ticks, and draws the display list on a canvas.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "model/Records.h"
#include "plot/Canvas.h"
#include "plot/Interpreter.h"

namespace veltrane {

enum EGraphMouseMode : int32_t {
  eNormal = 0,
  eZoomIn = 1,
  eZoomOut = 2,
  eZoomBox = 3,
  ePan = 4,
  eChangeStartPoint = 5,
  eReorderSequence = 6,
};

struct TScrollBarState {
  int32_t nPosition = 0;
  int32_t nPageSize = 0;
  bool operator==(const TScrollBarState&) const = default;
};

struct TRulerTick {
  double fValue = 0.0;
  int32_t nPixel = 0;
};

class TPlotView {
 public:
  static constexpr int c_nOriginRadius = 5;
  static constexpr double c_fGapFactor = 0.02;
  static constexpr double c_fArrowAngle = 0.5;
  static constexpr int c_nArrowLength = 10;
  static constexpr int c_nMaxArrowSegments = 5;
  static constexpr int c_nMinPixelsForArrow = 10;
  static constexpr double c_fMaxSelectDistance = 5.0;
  static constexpr int c_nMinZoomBoxSide = 8;
  static constexpr int c_nScrollMax = 1000;
  static constexpr double c_fPixelLimit = 32500.0;

  explicit TPlotView(TInterpreter& Interpreter) : m_Interp(Interpreter) {}

  // The plot area's size in pixels; the interpreter's plot rectangle follows it.
  void SetPlotSize(int32_t nWidth, int32_t nHeight);
  int32_t Width() const { return m_nWidth; }
  int32_t Height() const { return m_nHeight; }

  TfRange m_fXRange{0, 0.1}, m_fYRange{0, 0.1};
  TfRange m_fWorldXRange{0, 0.1}, m_fWorldYRange{0, 0.1};
  int32_t m_nCurrentLine = -1;
  int32_t m_nCurrentSequence = 0;
  bool m_bShowOriginal = false;
  // The machine's range limits, drawn as a white rectangle on grey when shown.
  bool m_bShowLimits = false;
  TfRange m_fLimitX, m_fLimitY;
  std::function<void()> OnBeep;  // the zoom-in limit was hit

  void AdjustXAndYRangesToDisplay();
  void AdjustXRangeToDisplay();
  bool GetAutoPlotRange(TfRange& fX, TfRange& fY);
  void ZoomExtents();
  void ZoomExtentsCZ();
  void ZoomIn(int32_t X, int32_t Y);
  void ZoomOut(int32_t X, int32_t Y);
  void ZoomBox(int32_t nLeft, int32_t nTop, int32_t nRight, int32_t nBottom);
  // Orders two corners and makes each side at least c_nMinZoomBoxSide.
  static void NormaliseZoomBox(int32_t& x0, int32_t& y0, int32_t& x1, int32_t& y1);
  void Pan(int32_t dX, int32_t dY);
  bool LimitZoomIn();
  void SetWorldRanges();
  void SetScrollBars();
  void ScrollHorizontal(int32_t nPosition);
  void ScrollVertical(int32_t nPosition);
  TScrollBarState HorizontalBar() const { return m_HBar; }
  TScrollBarState VerticalBar() const { return m_VBar; }
  // Program units under a pixel of the plot.
  TfPoint PixelToUnits(int32_t X, int32_t Y) const;

  // The ranges to the interpreter, then its extents and display passes.
  void GenerateDisplayList();
  // The same after a change of the program's lines since the last one (see
  // TInterpreter::InterpretChange).
  void GenerateDisplayListAfterChange(const TLineChange& Change);

  // The display entry whose segment lies within 5 pixels of the click; -1 for none.
  int32_t HitTest(TPixelPoint Click) const;
  static double DistanceToLine(TPixelPoint P1, TPixelPoint P2, TPixelPoint Click);
  // The arrow head at display entry i: barb end, head point, other barb end.
  bool ArrowHead(size_t i, TPixelPoint Points[3]) const;
  static std::vector<TRulerTick> RulerTicks(const TfRange& Range, int32_t nPixels, bool bHorizontal);
  // Where the vertical ruler writes each tick's value, turned to run upwards: the pixel
  // its text starts at (its lower end), given each text's length in pixels; -1 for none.
  // A text stands just above its tick; one that would run off the top ends at the top
  // instead, and a text that one would then cover is left out (its tick stays).
  static std::vector<int32_t> VerticalLabelStarts(const std::vector<TRulerTick>& Ticks,
                                                  const std::vector<int32_t>& Lengths, int32_t nHeight);

  void DrawGraph(ICanvas& Canvas) const;
  // For a picture kept between repaints: the plot without the current sequence and line,
  // only what can reach pClip (all when null); then the current sequence and line over it.
  void DrawBase(ICanvas& Canvas, const TPlotRect* pClip) const;
  void DrawSelection(ICanvas& Canvas) const;
  // Pixels beyond a segment's ends that its drawing (an arrow head) may reach.
  static constexpr int c_nDrawingMargin = c_nArrowLength + 2;

 private:
  void Draw(ICanvas& Canvas, int32_t nSequence, int32_t nLine, const TPlotRect* pClip) const;
  // Whether anything entry i draws can reach the rectangle.
  bool Reaches(size_t i, const TPlotRect& r) const;
  void DrawArrow(ICanvas& Canvas, size_t i) const;
  // The line's segments in red, on top, with their arrows.
  void DrawCurrentLine(ICanvas& Canvas, int32_t nLine) const;
  bool DrawsArrow(const TDisplayRecord& d, bool bCurrentLine) const;
  TInterpreter& m_Interp;
  int32_t m_nWidth = 1, m_nHeight = 1;
  TScrollBarState m_HBar, m_VBar;
};

}  // namespace veltrane
