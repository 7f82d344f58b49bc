// Relative moves written from exact absolute positions. A writer keeps the exact position
// of the path and the position the program has reached as written; each displacement is
// the written rounding of the new exact position minus the written rounding of the
// previous one. The sum of any number of written displacements then telescopes to the
// rounding of the exact position, so rounding never accumulates along a path.
#pragma once

#include <string>

#include "model/Records.h"

namespace veltrane {

// The value a coordinate has once written and read back (StringFromDouble's rounding);
// values that cannot be written as numbers are returned unchanged.
double WrittenValue(double fNumber);

class TMoveWriter {
 public:
  // An absolute move: the exact and the written position both become p (as written).
  void MoveTo(const TfPoint& p);

  // A straight move to the exact point fEnd. Returns the arguments "dx,dy", or an empty
  // text when the written displacement is zero and bKeep is false: the move is left
  // out, and the next one takes up what it would have moved.
  std::string Line(const TfPoint& fEnd, bool bKeep = false);
  // The same, the arguments appended to strOut; false (nothing appended) when left out.
  bool AppendLine(std::string& strOut, const TfPoint& fEnd, bool bKeep = false);

  // An arc to the exact point fEnd about the exact centre fCentre, turning clockwise or
  // not. Returns the arguments "dx,dy,cx,cy,d", or an empty text when the arc is left
  // out. An arc whose written end equals its written start is a full circle when it is
  // one (bFullCircle) or sweeps more than half a turn; otherwise it is practically a
  // straight move of no written length and is left out. A circle whose written centre
  // is its written start has no radius and is left out too.
  std::string Arc(const TfPoint& fEnd, const TfPoint& fCentre, bool bClockwise, bool bFullCircle);
  bool AppendArc(std::string& strOut, const TfPoint& fEnd, const TfPoint& fCentre, bool bClockwise,
                 bool bFullCircle);

  // The same for a move given by its displacement from the exact position; an arc of no
  // displacement is a full circle. A position beyond what a double holds cannot be
  // rounded: the displacement is then written as it is.
  std::string LineBy(const TfPoint& fDelta, bool bKeep = false);
  std::string ArcBy(const TfPoint& fDelta, const TfPoint& fCentreDelta, bool bClockwise);

  const TfPoint& Exact() const { return m_fExact; }
  const TfPoint& Written() const { return m_fWritten; }

 private:
  TfPoint m_fExact;
  TfPoint m_fWritten;
};

}  // namespace veltrane
