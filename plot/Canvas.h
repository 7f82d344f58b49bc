// What the plot draws on: a small set of paint operations in pixels of the plot area.
// The desktop application adapts it to its painter; tests record the calls.
#pragma once

#include <cstdint>
#include <string>

namespace veltrane {

struct TColor {
  uint8_t r = 0, g = 0, b = 0;
  bool operator==(const TColor&) const = default;
};

inline constexpr TColor c_clWhite{255, 255, 255}, c_clGrey{128, 128, 128}, c_clRed{255, 0, 0},
    c_clGreen{0, 128, 0}, c_clTeal{0, 128, 128}, c_clAqua{0, 255, 255}, c_clLime{0, 255, 0},
    c_clSilver{192, 192, 192}, c_clActiveCaption{10, 36, 106}, c_clBlack{0, 0, 0};

class ICanvas {
 public:
  virtual ~ICanvas() = default;
  virtual void FillRect(int x0, int y0, int x1, int y1, TColor c) = 0;
  virtual void SetPen(TColor c, int nWidth, bool bDashed) = 0;
  virtual void MoveTo(int x, int y) = 0;
  virtual void LineTo(int x, int y) = 0;
  virtual void Ellipse(int x0, int y0, int x1, int y1) = 0;  // outline with the pen
  virtual void TextOut(int x, int y, const std::string& s) = 0;
};

}  // namespace veltrane
