// The motion a program commands, read line by line for the statistics, the time estimate
// and the motion check: every two-axis move with its absolute start and end, the
// sequence and layer it stands in, and the statements that set speeds, accelerations,
// blending and dwells.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "model/Records.h"

namespace veltrane {

enum class EMoveKind : int { eAbsolute = 0, eStraight, eArc, eHelical };
inline constexpr int c_nMoveKinds = 4;

struct TProgramMove {
  EMoveKind evKind = EMoveKind::eStraight;
  bool bLookAhead = false;  // a look-ahead (SP) form
  int32_t nLine = 0;        // 0-based
  TfPoint fStart, fEnd;
  TfPoint fCentre;          // arcs: absolute
  bool bClockwise = false;
  bool bFullCircle = false;  // an arc whose end equals its start
  double fRadius = 0.0;      // arcs: from the centre to the start
  double fRadiusMismatch = 0.0;  // arcs: how far the end lies off that circle
  double fLength = 0.0;      // along the path (arcs by their swept length)
  int32_t nSequence = 0;     // 0 outside any sequence
  int32_t nLayer = -1;       // index of the layer block, -1 outside any
};

enum class ESettingKind : int { eSpeed = 0, eAccel, eDecel, eForceSpeed, eEndMoveSpeed, eMerge, eDwell, eWaitIdle };

// A statement the motion model reads; a value it cannot evaluate (an expression, a
// variable) has bConstant false.
struct TMotionSetting {
  ESettingKind evKind = ESettingKind::eSpeed;
  double fValue = 0.0;
  bool bConstant = true;
  int32_t nLine = 0;
  int32_t nSequence = 0;  // as for moves
  int32_t nLayer = -1;
};

struct TMotionVisitor {
  std::function<void(const TProgramMove&)> OnMove;
  std::function<void(const TMotionSetting&)> OnSetting;
  std::function<void(int32_t nSequence, int32_t nLayer, int32_t nLine)> OnSequenceStart;
  // A layer block begins; nLayer counts the blocks from 0.
  std::function<void(int32_t nLayer, const std::string& strName, int32_t nLine)> OnLayerStart;
  // A move line whose coordinates are not all numbers; the position stays where it was.
  std::function<void(int32_t nLine)> OnUnreadableMove;
  // Set from elsewhere to stop the walk early.
  const std::atomic<bool>* pCancel = nullptr;
};

// Walks the program from (0, 0). The visitor's empty members are passed over. False when
// cancelled.
bool WalkProgramMotion(const TStringList& Program, const TMotionVisitor& Visitor);

// The first line (0-based) whose move ends, or whose arc centre or length lies, beyond
// the range of numbers (the positions add up past it); -1 when none does.
int32_t FirstLineBeyondRange(const TStringList& Program);

// The extents of an arc, exactly: its ends and the axis directions it sweeps through.
void AddArcExtents(const TProgramMove& m, TfRange& fX, TfRange& fY);

}  // namespace veltrane
