// TInterpreter: runs a program text symbolically, keeping every axis's position, and
// turns it into the display list of pixel points the plot draws and hit-tests, the
// per-line end points, the extents and the final position. It draws nothing itself.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "model/Records.h"

namespace veltrane {

// Lines nFirst .. nFirst+nRemoved-1 of a program became nAdded lines.
struct TLineChange {
  size_t nFirst = 0, nRemoved = 0, nAdded = 0;
  bool operator==(const TLineChange&) const = default;
};
// One change covering a change and the change that followed it.
TLineChange CombineChanges(const TLineChange& First, const TLineChange& Then);

struct TPlotRect {
  int32_t Left = 0, Top = 0, Right = 1, Bottom = 1;
  bool operator==(const TPlotRect&) const = default;
};

class TInterpreter {
 public:
  static constexpr int c_nMaxAxes = 24;
  static constexpr double c_fScreenChordLength = 3.0;     // pixels per arc chord
  static constexpr double c_fMaxScreenChordAngle = 0.035;  // radians; the smallest step
  // Pixel terms are clamped to this before conversion so far-away points cannot
  // overflow 32-bit pixel coordinates (a sum of two terms stays within int32).
  static constexpr double c_fMaxPixelTerm = 1.0e9;
  // No arc is traced through more chords than this, whatever its numbers say.
  static constexpr int c_nMaxArcSteps = 1000;

  TInterpreter();
  TInterpreter(const TInterpreter&) = delete;
  TInterpreter& operator=(const TInterpreter&) = delete;

  // The lists are owned by the caller; the interpreter fills their entries.
  void SetProgram(const TStringList* pProgram) { m_ProgramList = pProgram; }
  const TStringList* Program() const { return m_ProgramList; }
  void SetDisplayList(std::vector<TDisplayRecord>* p) { m_DisplayList = p ? p : &m_OwnDisplayList; }
  void SetEndPointList(std::vector<TEndPoints>* p) { m_EndPointList = p ? p : &m_OwnEndPointList; }
  void SetAddDisList(std::vector<TDisplayRecord>* p) { m_AddDisList = p ? p : &m_OwnAddDisList; }
  const std::vector<TDisplayRecord>& DisplayList() const { return *m_DisplayList; }
  const std::vector<TEndPoints>& EndPointList() const { return *m_EndPointList; }
  const std::vector<TDisplayRecord>& AddDisList() const { return *m_AddDisList; }
  // The original pattern, interpreted after the program when bAdditional is set.
  void SetAdditional(const TStringList* pList, bool bAdditional) {
    AdditionalList = pList;
    b_Additional = bAdditional;
  }
  bool AdditionalShown() const { return m_bAddition; }

  void SetControllerAxes(int32_t nAxes);
  int32_t ControllerAxes() const { return m_nControllerAxes; }
  void SetXAxisNumber(int32_t nAxis);
  void SetYAxisNumber(int32_t nAxis);
  int32_t XAxisNumber() const { return m_nXAxis; }
  int32_t YAxisNumber() const { return m_nYAxis; }
  void SetXRange(TfRange fNewRange);
  void SetYRange(TfRange fNewRange);
  TfRange XRange() const { return m_fXRange; }
  TfRange YRange() const { return m_fYRange; }
  void SetPlotRect(TPlotRect NewRect);
  TPlotRect PlotRect() const { return m_PlotRect; }
  double XScale() const { return m_fXScale; }
  double YScale() const { return m_fYScale; }

  // Maps program units of the two plotted axes to pixels of the plot rectangle.
  TPixelPoint MapToPixel(double x, double y) const;

  bool Interpret();  // the display pass
  // The display pass after lines nFirst .. nFirst+nRemoved-1 of the program last passed
  // became nAdded lines, with nothing else changed: the lines are run again from a saved
  // state before the change until the machine's state meets the last pass's again, and
  // the rest of the lists is kept (its line numbers moved). Gives what Interpret gives;
  // falls back to it when the last pass does not fit the change.
  bool InterpretChange(size_t nFirst, size_t nRemoved, size_t nAdded);
  // After a display pass that followed a change: the pixels its entries (old and new, with
  // the segments into and out of them) cover; false after a whole pass.
  bool ChangedEntries(TPlotRect& Bounds) const {
    Bounds = m_ChangedBounds;
    return m_bChangedBounds;
  }
  // Program lines the last display pass ran.
  size_t LinesRun() const { return m_nLinesRun; }
  // Lines between the states the display pass saves (1024; tests take fewer).
  void SetCheckpointLines(size_t n) { m_nCheckpointLines = std::max<size_t>(n, 1); }
  bool GetExtents(TfRange& fXRange, TfRange& fYRange);
  bool GetEndPoint(TfPoint& fEndPoint);
  bool ProcessLine(int32_t nLine, bool bAddToDrawList);

  double Position(int nAxis) const { return m_fNewPosition[static_cast<size_t>(nAxis)]; }
  int32_t CurrentSequence() const { return m_nCurrentSequence; }

 private:
  void CalculateScales();
  void AddLineToDrawList(double x, double y, bool bAddArrow);
  void ResetPlottedAxes();
  void LinearMove(const TStringList& params, bool bIncremental, bool bAddToDrawList);
  void CircularMove(const TStringList& params, bool bAddToDrawList);
  void TraceArc(TfPoint fStart, TfPoint fEnd, TfPoint fCentre, EAngleDirection evDirection,
                bool bAddToDrawList, bool bSwapped);
  void WidenArcRange(double x, double y);
  void UpdateEndPoint(size_t n);

  // The machine's state before a program line in the display pass.
  struct TCheckpoint {
    size_t nLine = 0;
    size_t nDisplaySize = 0;  // display entries made before the line
    std::array<double, c_nMaxAxes> fPosition{};
    int32_t nSequence = 0;
    bool bDoneLeader = true;
  };
  TCheckpoint Checkpoint(size_t nLine) const;
  bool SameState(const TCheckpoint& c) const;
  // What the display list's points depend on besides the program.
  struct TPassKey {
    const TStringList* pProgram = nullptr;
    TfRange fXRange, fYRange;
    TPlotRect Rect;
    int32_t nXAxis = 0, nYAxis = 0;
    std::array<int32_t, c_nMaxAxes> Axes{};
    const TStringList* pAdditional = nullptr;
    bool bAdditional = false;
    bool operator==(const TPassKey&) const = default;
  };
  TPassKey PassKey() const;
  // The original pattern's pass after the program's; it keeps the state the pass ends in.
  void RunAddition();
  TCheckpoint m_ProgramEnd, m_PassEnd;  // after the program's lines; after the whole pass
  int32_t m_nPassEndLine = -1;
  bool m_bPassEndAddition = false;
  std::vector<TCheckpoint> m_Checkpoints;
  size_t m_nCheckpointLines = 1024;
  TPassKey m_LastPass;
  size_t m_nLastPassLines = 0;
  size_t m_nLinesRun = 0;
  TPlotRect m_ChangedBounds;
  bool m_bChangedBounds = false;
  bool m_bLastPassValid = false;

  // Lists used until the owner assigns its own.
  std::vector<TDisplayRecord> m_OwnDisplayList, m_OwnAddDisList;
  std::vector<TEndPoints> m_OwnEndPointList;
  const TStringList* m_ProgramList = nullptr;
  std::vector<TDisplayRecord>* m_DisplayList = &m_OwnDisplayList;
  std::vector<TEndPoints>* m_EndPointList = &m_OwnEndPointList;
  std::vector<TDisplayRecord>* m_AddDisList = &m_OwnAddDisList;
  const TStringList* AdditionalList = nullptr;
  bool b_Additional = false;

  int32_t m_nXAxis = 0;
  int32_t m_nYAxis = 1;
  TfRange m_fXRange{0.0, 0.1};
  TfRange m_fYRange{0.0, 0.1};
  TPlotRect m_PlotRect;
  double m_fXScale = 1.0;
  double m_fYScale = 1.0;
  int32_t m_nCurrentLine = -1;
  std::array<double, c_nMaxAxes> m_fOldPosition{};
  std::array<double, c_nMaxAxes> m_fNewPosition{};
  std::array<int32_t, c_nMaxAxes> m_Axes{};
  int32_t m_nControllerAxes = c_nMaxAxes;
  TStringList m_ParameterList;
  TfRange m_fArcXRange, m_fArcYRange;  // in plotted axes
  bool m_bDoneLeader = true;
  bool m_bArrowPending = false;
  int32_t m_nCurrentSequence = 0;
  bool m_bLineIsLeader = false;
  bool m_bAddition = false;
};

}  // namespace veltrane
