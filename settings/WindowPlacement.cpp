// Window placement: the stored text, and fitting a place to the screen's free area.
#include "settings/WindowPlacement.h"

#include <algorithm>
#include <charconv>
#include <vector>

namespace veltrane {

std::optional<TWindowPlacement> ParseWindowPlacement(const std::string& s) {
  std::vector<int32_t> v;
  size_t at = 0;
  while (at <= s.size()) {
    const size_t end = std::min(s.find(',', at), s.size());
    int32_t n = 0;
    const auto r = std::from_chars(s.data() + at, s.data() + end, n);
    if (r.ec != std::errc() || r.ptr != s.data() + end) return std::nullopt;
    v.push_back(n);
    at = end + 1;
  }
  if (v.size() != 5 || v[2] <= 0 || v[3] <= 0 || (v[4] != 0 && v[4] != 1)) return std::nullopt;
  return TWindowPlacement{{v[0], v[1], v[2], v[3]}, v[4] == 1};
}

std::string FormatWindowPlacement(const TWindowPlacement& p) {
  return std::to_string(p.Rect.nLeft) + "," + std::to_string(p.Rect.nTop) + "," +
         std::to_string(p.Rect.nWidth) + "," + std::to_string(p.Rect.nHeight) + "," +
         (p.bMaximised ? "1" : "0");
}

TWindowRect FitWindowRect(const TWindowRect& w, const TWindowRect& a, const TWindowFrame& f,
                          int32_t nMinWidth, int32_t nMinHeight) {
  // The room the client area has once the frame is counted.
  const int32_t nRoomW = std::max(a.nWidth - f.nLeft - f.nRight, 1);
  const int32_t nRoomH = std::max(a.nHeight - f.nTop - f.nBottom, 1);
  TWindowRect r = w;
  r.nWidth = std::min(std::max(r.nWidth, std::min(nMinWidth, nRoomW)), nRoomW);
  r.nHeight = std::min(std::max(r.nHeight, std::min(nMinHeight, nRoomH)), nRoomH);
  // The frame's outer edges inside the area: pushed in from the right and bottom first,
  // so that the title bar, top left, is always reachable.
  const int32_t nMinLeft = a.nLeft + f.nLeft, nMaxLeft = a.nLeft + a.nWidth - f.nRight - r.nWidth;
  const int32_t nMinTop = a.nTop + f.nTop, nMaxTop = a.nTop + a.nHeight - f.nBottom - r.nHeight;
  r.nLeft = std::max(std::min(r.nLeft, nMaxLeft), nMinLeft);
  r.nTop = std::max(std::min(r.nTop, nMaxTop), nMinTop);
  return r;
}

TWindowRect CentredWindowRect(int32_t nWidth, int32_t nHeight, const TWindowRect& a,
                              const TWindowFrame& f) {
  const int32_t nOuterW = nWidth + f.nLeft + f.nRight, nOuterH = nHeight + f.nTop + f.nBottom;
  return TWindowRect{a.nLeft + (a.nWidth - nOuterW) / 2 + f.nLeft,
                     a.nTop + (a.nHeight - nOuterH) / 2 + f.nTop, nWidth, nHeight};
}

}  // namespace veltrane
