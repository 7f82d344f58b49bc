// The import writes the drawing's true geometry or says what it left out: elements in
// mirrored and tilted planes against ezdxf's world coordinates, tiny arcs and bulges,
// absurd numbers, fit-point splines, units, paper space, the default matching
// tolerance on distant drawings, the import report, and files that are no drawings.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <map>
#include <numbers>
#include <sstream>

#include "dxf/DXFIn.h"
#include "model/TextFile.h"
#include "tests/DXFText.h"
#include "tests/RecordGeometry.h"
#include "tests/TextImport.h"
#include "tests/reference/PathGeometry.h"

namespace veltrane {
namespace {

using reference::DistanceToPolylines;
using reference::TElement;
using testing::TDXFText;

const std::string c_sData = std::string(VELTRANE_SOURCE_DIR) + "/tests/data/ezdxf/";

struct TResult {
  TStringList Program, Report, Facts;
};

TResult ImportText(const std::string& text, TStringList layers,
                   const std::function<void(TDXFIn&)>& setup = nullptr) {
  testing::TImport im(text, std::move(layers), [&](TDXFIn& in) {
    in.SetMovesPerSplineSection(10);
    if (setup) setup(in);
  });
  return {im.Program(), im.in.ImportReport(), im.in.ImportFacts()};  // left to right: translated first
}

TResult ImportFile(const std::string& name, TStringList layers, const std::function<void(TDXFIn&)>& setup = nullptr) {
  return ImportText(ReadWholeFile(c_sData + name), std::move(layers), setup);
}

bool Has(const TStringList& l, const std::string& s) {
  return std::any_of(l.begin(), l.end(), [&](const std::string& x) { return x.find(s) != std::string::npos; });
}

// ezdxf's world geometry of each case: "LAYER x,y x,y ..." per element.
std::map<std::string, std::vector<std::vector<TfPoint>>> Expected(const std::string& name) {
  std::map<std::string, std::vector<std::vector<TfPoint>>> out;
  std::ifstream f(c_sData + name);
  std::string line;
  while (std::getline(f, line)) {
    std::istringstream in(line);
    std::string layer, pair;
    in >> layer;
    std::vector<TfPoint> pts;
    while (in >> pair) {
      const size_t c = pair.find(',');
      pts.push_back(TfPoint{std::stod(pair.substr(0, c)), std::stod(pair.substr(c + 1))});
    }
    out[layer].push_back(pts);
  }
  return out;
}

// Elements drawn in a mirrored plane land where ezdxf's world coordinates put them, and
// sweep the same way round: every point of the program lies on ezdxf's curve and every
// point of ezdxf's curve on the program's path.
TEST(DXFGeometry, MirroredAndTiltedPlanesMatchTheWorldGeometry) {
  for (const char* v : {"r12", "r2000", "r2018"}) {
    const auto expected = Expected(std::string("planes_") + v + ".expect");
    ASSERT_GE(expected.size(), 4u) << v;
    for (const auto& [layer, curves] : expected) {
      const TResult r = ImportFile(std::string("planes_") + v + ".dxf", {layer});
      const auto paths = reference::ReadPaths(r.Program);
      ASSERT_FALSE(paths.empty()) << v << " " << layer;
      // Arcs stay arcs (exact); an elliptical arc and a tilted circle are traced by chords
      // that keep within 0.001 of the curve.
      const double tol = layer == "ELLIPSE" || layer == "TILTED" ? 0.001 : 2e-4;
      std::vector<TElement> all;
      for (const auto& p : paths) all.insert(all.end(), p.begin(), p.end());
      for (const TfPoint& p : reference::Samples(all))
        EXPECT_LE(DistanceToPolylines(p, curves), tol) << v << " " << layer << " at " << p.fX << "," << p.fY;
      for (const auto& c : curves)
        for (const TfPoint& p : c)
          EXPECT_LE(reference::Distance(p, all), tol) << v << " " << layer << " misses " << p.fX << "," << p.fY;
      EXPECT_EQ(Has(r.Report, "tilted plane, projected"), layer == "TILTED") << v << " " << layer;
    }
  }
}

// Splines given by fit points alone follow the curve CAD programs draw through them (its
// ends leave along the directions they estimate there): every point the program passes
// lies on ezdxf's curve, and the curve's ends are the program's.
TEST(DXFGeometry, FitPointSplinesFollowTheCurveCadProgramsDraw) {
  const auto expected = Expected("fitpoints.expect");
  ASSERT_EQ(expected.at("FIT").size(), 6u);
  for (const char* v : {"r2000", "r2018"}) {
    const TResult r = ImportFile(std::string("fitpoints_") + v + ".dxf", {"FIT"});
    const auto paths = reference::ReadPaths(r.Program);
    ASSERT_EQ(paths.size(), 6u) << v;
    for (const auto& path : paths)
      for (const TElement& e : path) EXPECT_LE(DistanceToPolylines(e.b, expected.at("FIT")), 1e-3) << v;
    for (const auto& curve : expected.at("FIT")) {
      double fStart = 1e300, fEnd = 1e300;
      for (const auto& path : paths) {
        fStart = std::min(fStart, std::hypot(path.front().a.fX - curve.front().fX, path.front().a.fY - curve.front().fY));
        fEnd = std::min(fEnd, std::hypot(path.back().b.fX - curve.back().fX, path.back().b.fY - curve.back().fY));
      }
      EXPECT_LE(std::min(fStart, fEnd), 1e-4) << v;
    }
  }
}

// No program line holds inf, nan or a number of more than 15 significant digits.
void ExpectWritableNumbers(const TStringList& Program) {
  for (const std::string& l : Program) {
    if (l.find("MOVE") == std::string::npos) continue;
    EXPECT_EQ(l.find("inf"), std::string::npos) << l;
    EXPECT_EQ(l.find("nan"), std::string::npos) << l;
    for (double f : reference::Arguments(l)) EXPECT_LT(std::fabs(f), 1e11) << l;
    EXPECT_EQ(l.find("MOVECIRC(0,0,"), std::string::npos) << "a sliver read as a full circle: " << l;
  }
}

TEST(DXFGeometry, TroublesOfRealDrawingsAreMendedOrReported) {
  for (const char* v : {"r12", "r2000", "r2018"}) {
    const std::string file = std::string("troubles_") + v + ".dxf";
    const bool bR12 = std::string(v) == "r12";
    TResult r = ImportFile(file, {"PART", "TXT", "TINY", "HUGE", "FIT"});
    ExpectWritableNumbers(r.Program);
    for (const char* strSaid :
         {"skipped 1 LINE (zero length)", "skipped 1 LINE (coordinates beyond 1e10 drawing units)",
          "skipped 1 ARC (too small to write)",
          bR12 ? "layer TXT: 1 TEXT not imported" : "layer TXT: 1 TEXT, 1 MTEXT not imported",
          "layer TXT: nothing to import", "4 paper-space elements not imported"})
      EXPECT_TRUE(Has(r.Report, strSaid)) << v << ": " << strSaid;
    EXPECT_EQ(Has(r.Facts, "drawing units: millimetres"), !bR12) << v;
    // The one path of a layer, the importer set up as given.
    auto one = [&](const char* layer, const std::function<void(TDXFIn&)>& setup = nullptr) {
      const auto paths = reference::ReadPaths(ImportFile(file, {layer}, setup).Program);
      EXPECT_EQ(paths.size(), 1u) << v << " " << layer;
      return paths.empty() ? std::vector<TElement>{} : paths[0];
    };
    // The paper-space frame is no part of the cut; asked for, it comes in on its own.
    EXPECT_NEAR(reference::Length(one("PART")), 15, 1e-9);
    double fLength = 0;
    for (const auto& p : reference::ReadPaths(
             ImportFile(file, {"PART"}, [](TDXFIn& in) { in.SetIncludePaperSpace(true); }).Program))
      fLength += reference::Length(p);
    EXPECT_NEAR(fLength, 15 + 2 * (420 + 297), 1e-9) << v;
    // A block drawn in inches inside a millimetre drawing is 25.4 times larger (block
    // units are written from R2007 on; before, the block has none and stays as it is).
    EXPECT_NEAR(reference::Length(one("BLK")), std::string(v) == "r2018" ? 25.4 : 1.0, 1e-9) << v;
    // The whole drawing converted to inches.
    EXPECT_NEAR(reference::Length(one("PART", [](TDXFIn& in) { in.SetConvertUnits(EDXFConvertUnits::eInches); })),
                bR12 ? 15 : 15 / 25.4, 2e-4)
        << v;
    if (bR12) continue;
    // Tiny bulges are straight: the polyline runs straight along y = 40.
    const auto tiny = one("TINY");
    for (const TElement& e : tiny) {
      EXPECT_FALSE(e.bArc);
      EXPECT_EQ(e.a.fY, 40);
      EXPECT_EQ(e.b.fY, 40);
    }
    EXPECT_NEAR(reference::Length(tiny), 20, 1e-9);
    // The fit-point spline passes through its fit points on a circle of radius 10,
    // leaves along its start tangent and stays near the circle in between.
    const auto fit = one("FIT");
    ASSERT_EQ(fit.size(), 60u);  // 6 sections of 10 moves
    for (size_t k = 0; k <= 6; ++k) {
      const double a = static_cast<double>(k) * std::numbers::pi / 12;
      const TfPoint p = k < 6 ? fit[k * 10].a : fit.back().b;
      EXPECT_TRUE(testing::Near(p, 20 + 10 * std::cos(a), 20 + 10 * std::sin(a), 5e-5)) << k;
    }
    EXPECT_NEAR(reference::DirectionAt(fit.front(), 0), std::numbers::pi / 2, 0.02);
    for (const TfPoint& p : reference::Samples(fit)) EXPECT_NEAR(std::hypot(p.fX - 20, p.fY - 20), 10, 0.01);
  }
}

TEST(DXFGeometry, DistantPlatesKeepTheirHolesApart) {
  // A 100 x 60 plate drawn at (100000, 100000) with two holes and a slot: the default
  // tolerance comes from the plate, not from its distance to the origin.
  TDXFText d({"P"});
  const double X = 100000, Y = 100000;
  d.Line("P", X, Y, X + 100, Y).Line("P", X + 100, Y, X + 100, Y + 60).Line("P", X + 100, Y + 60, X, Y + 60)
      .Line("P", X, Y + 60, X, Y).Circle("P", X + 10, Y + 10, 3).Circle("P", X + 90, Y + 50, 3)
      .Line("P", X + 40, Y + 30, X + 60, Y + 30).Arc("P", X + 60, Y + 32, 2, 270, 90)
      .Line("P", X + 60, Y + 34, X + 40, Y + 34).Arc("P", X + 40, Y + 32, 2, 90, 270);
  const TResult r = ImportText(d.Text(), {"P"});
  EXPECT_EQ(reference::ReadPaths(r.Program).size(), 4u);
  EXPECT_TRUE(Has(r.Facts, "matching tolerance 0.1, no gaps closed")) << r.Facts[1];
  // Near the origin and small, the tolerance is what it always was (0.1 % of the span of
  // the start points with the origin: 30 here).
  TDXFText s({"P"});
  s.Line("P", 0, 0, 30, 0).Line("P", 30, 0.01, 30, 40);
  const TResult small = ImportText(s.Text(), {"P"});
  EXPECT_EQ(reference::ReadPaths(small.Program).size(), 1u);
  EXPECT_TRUE(Has(small.Facts, "matching tolerance 0.03, largest gap closed 0.01")) << small.Facts[1];
}

TEST(DXFGeometry, FilesThatAreNoDrawingsAreErrors) {
  for (const std::string& junk : {std::string(), std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16),
                                  std::string("hello\nworld\n"), std::string("0\nLINE\n8\nA\n")}) {
    TDXFIn in(nullptr, nullptr);
    EXPECT_THROW(in.ReadBuffer(junk), EDXFError) << junk;
  }
  // A drawing with nothing to import: an empty program, and the report says so.
  TDXFText d({"T"});
  d.Add("TEXT", {{8, "T"}, {10, "0"}, {20, "0"}, {1, "hi"}});
  const TResult r = ImportText(d.Text(), {"T"});
  EXPECT_TRUE(r.Program.empty());
  EXPECT_TRUE(Has(r.Report, "the drawing has nothing to import"));
  EXPECT_TRUE(Has(r.Report, "layer T: 1 TEXT not imported"));
}

}  // namespace
}  // namespace veltrane
