// Fuzz target: font files, TrueType and LFF. Whatever the bytes, reading them and asking
// for glyphs, their outlines, advances and kerning stays inside the data, and every
// glyph made has finite coordinates.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "dxf/DXFStrokeFont.h"

using namespace veltrane;

namespace {

void CheckGlyph(const TStrokeGlyph* g) {
  if (!g) return;
  for (const auto& stroke : g->Strokes)
    for (const TDXFVertex& v : stroke)
      if (!std::isfinite(v.fPoint.fX) || !std::isfinite(v.fPoint.fY)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  for (uint32_t nFace : {0u, 1u}) {
    TStrokeFont font;
    if (!font.ParseOutline(bytes, nFace)) continue;
    for (char32_t c : {U'A', U'O', U'X', U'x', U'p', U' ', U'\u4e2d', U'\U0001F600'}) {
      CheckGlyph(font.Glyph(c));
      if (!std::isfinite(font.Kerning(U'A', c))) std::abort();
    }
    TTrueTypeFace face;
    if (!face.Parse(bytes, nFace)) std::abort();  // the font read it, so must the face
    std::vector<std::vector<TOutlinePoint>> contours;
    for (uint32_t g = 0; g < std::min<uint32_t>(face.GlyphCount(), 64); ++g) {
      face.Contours(g, contours);
      (void)face.Advance(g);
    }
  }
  TStrokeFont lff;
  if (lff.Parse(bytes))
    for (char32_t c : {U'A', U'0', U'\u00e9'}) CheckGlyph(lff.Glyph(c));
  return 0;
}
