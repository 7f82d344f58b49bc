// Where the main window stands and how large it is, as stored between runs, and how a
// stored or wished-for place is brought onto the screen the window opens on: a window
// larger than the screen's free area is shrunk to it, one off the area is moved onto it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace veltrane {

struct TWindowRect {
  int32_t nLeft = 0, nTop = 0, nWidth = 0, nHeight = 0;
  bool operator==(const TWindowRect&) const = default;
};

struct TWindowPlacement {
  TWindowRect Rect;  // the window's client area when not maximised
  bool bMaximised = false;
};

// The stored text: "left,top,width,height,maximised"; none when it is not one.
std::optional<TWindowPlacement> ParseWindowPlacement(const std::string& strText);
std::string FormatWindowPlacement(const TWindowPlacement& Placement);

// The frame the window system puts around the client area, in the same units.
struct TWindowFrame {
  int32_t nLeft = 0, nTop = 0, nRight = 0, nBottom = 0;
};

// The client rectangle that, with its frame, lies inside Available: as wished where it
// fits, else shrunk (not below the minimum size, unless the area is smaller still) and
// moved onto the area.
TWindowRect FitWindowRect(const TWindowRect& Wished, const TWindowRect& Available,
                          const TWindowFrame& Frame, int32_t nMinWidth, int32_t nMinHeight);

// The client rectangle of a window of the given size centred in Available.
TWindowRect CentredWindowRect(int32_t nWidth, int32_t nHeight, const TWindowRect& Available,
                              const TWindowFrame& Frame);

}  // namespace veltrane
