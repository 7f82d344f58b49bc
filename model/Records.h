// Shared value records and enumerations of the motion program model: points, ranges,
// plotted points and per-line end points, and the kinds of statement a line can be.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace veltrane {

// A program is an ordered list of text lines, 0-based everywhere.
using TStringList = std::vector<std::string>;

// A point of the drawing's plane: everything the program does happens in X and Y.
struct TfPoint {
  double fX = 0.0;
  double fY = 0.0;
  bool operator==(const TfPoint&) const = default;
};

// A direction in space: the plane a drawing's element lies in and that plane's axes.
struct TfVector3 {
  double fX = 0.0;
  double fY = 0.0;
  double fZ = 0.0;
  bool operator==(const TfVector3&) const = default;
};

struct TfRange {
  double fFrom = 0.0;  // low end
  double fTo = 0.0;
  bool operator==(const TfRange&) const = default;
};

struct TfLimits {
  double fMin = 0.0;
  double fMax = 0.0;
};

struct TfLengthRecord {
  double fLength = 0.0;
  int32_t nIndex = 0;
};

struct TPixelPoint {
  int32_t X = 0;
  int32_t Y = 0;
  bool operator==(const TPixelPoint&) const = default;
};

// One plotted point, relative to the plot rectangle's top-left corner.
struct TDisplayRecord {
  TPixelPoint Point;
  int32_t nLine = -1;      // program line that produced it; -1 for the origin entry
  int32_t nSequence = 0;   // 0 none, -1 tracking suspended after a stray end marker
  bool bLeader = false;    // part of the leader move of a sequence
  bool bDrawArrow = false; // draw a direction arrow here
  bool operator==(const TDisplayRecord&) const = default;
};

// Position of the two plotted axes before and after one program line.
struct TEndPoints {
  TfPoint fStartPoint;
  TfPoint fEndPoint;
  int32_t nPixelLength = 0;
  bool operator==(const TEndPoints&) const = default;
};

struct TAbsCompRecord {
  int32_t nSequence = 0;
  float mAbsCompValue = 0.0f;
};

struct TLayerContent {
  int32_t nUseLayer = 0;
  std::string sLayerName[6];
};

enum EAxis : int32_t { eXAxis = 0, eYAxis = 1 };

enum TOutputType : int32_t { eProgram = 0, eTable = 1 };

enum EAngleDirection : int8_t { eClockwise = 0, eAnticlockwise = 1 };

enum ECommandType : int32_t {
  eCmdUnknown = 0,
  eCmd_Comment = 1,
  eCmd_Label = 2,
  eCmd_Base = 3,
  eCmd_MoveAbs = 4,
  eCmd_Move = 5,
  eCmd_MoveCirc = 6,
  eCmd_MHelical = 7,
  eCmd_MoveAbsSP = 8,
  eCmd_MoveSP = 9,
  eCmd_MoveCircSP = 10,
  eCmd_EndSeq = 11,
};

inline bool IsAbsoluteMove(ECommandType k) { return k == eCmd_MoveAbs || k == eCmd_MoveAbsSP; }
inline bool IsIncrementalMove(ECommandType k) { return k == eCmd_Move || k == eCmd_MoveSP; }
inline bool IsCircularMove(ECommandType k) { return k == eCmd_MoveCirc || k == eCmd_MoveCircSP; }
// A move along the path: a straight move or an arc.
inline bool IsPathMove(ECommandType k) { return IsIncrementalMove(k) || IsCircularMove(k); }
inline bool IsMoveKind(ECommandType k) { return k >= eCmd_MoveAbs && k <= eCmd_MoveCircSP; }

}  // namespace veltrane
