// Drift-free relative moves: displacements are differences of rounded absolute positions.
#include "model/MoveWriter.h"

#include <cmath>
#include <numbers>

#include "model/NumberFormat.h"

namespace veltrane {

namespace {

// An arc whose ends are closer than this fraction of its radius sweeps less than a
// billionth of a radian or a whole turn; no drawing means the former, and float noise
// in a computed full circle gives the latter.
constexpr double c_fClosedArc = 1e-9;

TfPoint Written(const TfPoint& p) { return TfPoint{WrittenValue(p.fX), WrittenValue(p.fY)}; }

// The difference of two written values as text. Both lie on the grid of the last written
// decimal, so the difference is a whole number of grid steps and writes exactly.
void AppendDifference(std::string& s, double a, double b) { AppendNumber(s, a - b); }

// The angle the arc sweeps in its direction of travel, 0 up to (not including) a turn.
double Sweep(const TfPoint& S, const TfPoint& E, const TfPoint& C, bool bClockwise) {
  const double a0 = std::atan2(S.fY - C.fY, S.fX - C.fX);
  const double a1 = std::atan2(E.fY - C.fY, E.fX - C.fX);
  double s = std::fmod(bClockwise ? a0 - a1 : a1 - a0, 2 * std::numbers::pi);
  if (s < 0) s += 2 * std::numbers::pi;
  return s;
}

bool Finite(const TfPoint& p) { return std::isfinite(p.fX) && std::isfinite(p.fY); }

TfPoint Plus(const TfPoint& a, const TfPoint& b) { return TfPoint{a.fX + b.fX, a.fY + b.fY}; }

std::string Plain(const TfPoint& p) {
  return StringFromDouble(p.fX) + "," + StringFromDouble(p.fY);
}

}  // namespace

double WrittenValue(double fNumber) {
  // The quick way: the nearest grid step, when the value is far enough from a tie that
  // the scaling's own rounding cannot decide it (below 1e10 the product is exact to
  // 0.016 of a step). n / 1e4 is then the double nearest the written decimal, which is
  // what reading the text back gives.
  if (std::fabs(fNumber) < 1e10) {
    const double s = fNumber * 1e4, n = std::nearbyint(s);
    if (std::fabs(std::fabs(s - n) - 0.5) > 0.05) return n / 1e4;
  }
  double f = fNumber;
  return std::isfinite(fNumber) && TryStrToFloat(StringFromDouble(fNumber), f) ? f : fNumber;
}

void TMoveWriter::MoveTo(const TfPoint& p) {
  m_fExact = TfPoint{p.fX, p.fY};
  m_fWritten = veltrane::Written(p);
}

std::string TMoveWriter::Line(const TfPoint& fEnd, bool bKeep) {
  std::string s;
  AppendLine(s, fEnd, bKeep);
  return s;
}

bool TMoveWriter::AppendLine(std::string& strOut, const TfPoint& fEnd, bool bKeep) {
  const TfPoint w = veltrane::Written(fEnd);
  m_fExact = TfPoint{fEnd.fX, fEnd.fY};
  if (w.fX == m_fWritten.fX && w.fY == m_fWritten.fY && !bKeep) return false;
  AppendDifference(strOut, w.fX, m_fWritten.fX);
  strOut += ',';
  AppendDifference(strOut, w.fY, m_fWritten.fY);
  m_fWritten = w;
  return true;
}

std::string TMoveWriter::Arc(const TfPoint& fEnd, const TfPoint& fCentre, bool bClockwise,
                             bool bFullCircle) {
  std::string s;
  AppendArc(s, fEnd, fCentre, bClockwise, bFullCircle);
  return s;
}

bool TMoveWriter::AppendArc(std::string& strOut, const TfPoint& fEnd, const TfPoint& fCentre, bool bClockwise,
                            bool bFullCircle) {
  const TfPoint start = m_fExact;
  const TfPoint w = veltrane::Written(fEnd);
  const TfPoint c = veltrane::Written(fCentre);
  m_fExact = TfPoint{fEnd.fX, fEnd.fY};
  const bool bStays = w.fX == m_fWritten.fX && w.fY == m_fWritten.fY;
  // A full circle ends where it starts, whatever the rounding; an arc whose written ends
  // meet is one when it sweeps more than half a turn, and no move otherwise.
  const double fChord = std::hypot(fEnd.fX - start.fX, fEnd.fY - start.fY);
  const double fRadius = std::hypot(fCentre.fX - start.fX, fCentre.fY - start.fY);
  const bool bCircle = bFullCircle || fChord <= c_fClosedArc * fRadius ||
                       (bStays && Sweep(start, fEnd, fCentre, bClockwise) > std::numbers::pi);
  if (bStays && !bCircle) return false;
  if (bCircle && c.fX == m_fWritten.fX && c.fY == m_fWritten.fY) return false;
  const TfPoint to = bCircle ? m_fWritten : w;
  AppendDifference(strOut, to.fX, m_fWritten.fX);
  strOut += ',';
  AppendDifference(strOut, to.fY, m_fWritten.fY);
  strOut += ',';
  AppendDifference(strOut, c.fX, m_fWritten.fX);
  strOut += ',';
  AppendDifference(strOut, c.fY, m_fWritten.fY);
  strOut += bClockwise ? ",1" : ",0";
  m_fWritten = to;
  return true;
}

std::string TMoveWriter::LineBy(const TfPoint& fDelta, bool bKeep) {
  const TfPoint e = Plus(m_fExact, fDelta);
  if (Finite(e)) return Line(e, bKeep);
  m_fExact = e;
  return Plain(fDelta);
}

std::string TMoveWriter::ArcBy(const TfPoint& fDelta, const TfPoint& fCentreDelta,
                               bool bClockwise) {
  const TfPoint e = Plus(m_fExact, fDelta), c = Plus(m_fExact, fCentreDelta);
  if (Finite(e) && Finite(c)) return Arc(e, c, bClockwise, fDelta.fX == 0.0 && fDelta.fY == 0.0);
  m_fExact = e;
  return Plain(fDelta) + "," + Plain(fCentreDelta) + "," + (bClockwise ? "1" : "0");
}

}  // namespace veltrane
