// Plane vector arithmetic on TfPoint (Z is ignored).
#pragma once

#include <cmath>
#include <numbers>

#include "model/Records.h"

namespace veltrane::pointmath {

inline constexpr double pi = std::numbers::pi;

inline TfPoint Pt(double x, double y) { return TfPoint{x, y}; }
inline TfPoint Add(TfPoint a, TfPoint b) { return Pt(a.fX + b.fX, a.fY + b.fY); }
inline TfPoint Sub(TfPoint a, TfPoint b) { return Pt(a.fX - b.fX, a.fY - b.fY); }
inline TfPoint Neg(TfPoint a) { return Pt(-a.fX, -a.fY); }
inline TfPoint Mul(TfPoint a, double k) { return Pt(a.fX * k, a.fY * k); }
inline TfPoint Mid(TfPoint a, TfPoint b) { return Pt((a.fX + b.fX) / 2, (a.fY + b.fY) / 2); }
inline TfPoint Polar(double r, double a) { return Pt(r * std::cos(a), r * std::sin(a)); }
inline double Dot(TfPoint a, TfPoint b) { return a.fX * b.fX + a.fY * b.fY; }
inline double Cross(TfPoint a, TfPoint b) { return a.fX * b.fY - a.fY * b.fX; }
inline double Len(TfPoint a) { return std::hypot(a.fX, a.fY); }
inline double Dist(TfPoint a, TfPoint b) { return Len(Sub(a, b)); }
inline double Angle(TfPoint a) { return std::atan2(a.fY, a.fX); }

// The difference a - b of two directions, brought into -pi..pi.
inline double AngleDiff(double a, double b) { return std::remainder(a - b, 2 * pi); }

}  // namespace veltrane::pointmath
