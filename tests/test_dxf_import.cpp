// The DXF importer from text to program: layers, element readers, blocks, splines,
// ellipses, polylines, malformed files, and the translation's worked example.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <numeric>

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "dxf/DXFIn.h"
#include "model/Text.h"
#include "tests/DXFText.h"
#include "tests/RecordGeometry.h"
#include "tests/TextImport.h"

using namespace veltrane;
using veltrane::testing::Near;
using veltrane::testing::TDXFText;
using veltrane::testing::TImport;

namespace {

// The drawing is refused as a whole, with a message holding strWhat; the line it names.
int32_t RefusedAtLine(const std::string& strText, const std::string& strWhat) {
  try {
    TImport im(strText);
    ADD_FAILURE() << "imported, not refused with \"" << strWhat << "\"";
  } catch (const EDXFError& e) {
    EXPECT_NE(std::string(e.what()).find(strWhat), std::string::npos)
        << e.what() << ", not \"" << strWhat << "\"";
    return e.Line();
  }
  return 0;
}

}  // namespace

TEST(DXFImport, WorkedExampleOfTheTranslation) {
  TDXFText d({"WALLS"});
  d.Line("WALLS", 0, 0, 10, 0).Line("WALLS", 10, 0, 10, 10).Line("WALLS", 10, 10, 0, 10)
      .Line("WALLS", 0, 10, 0, 0).Circle("WALLS", 30, 5, 2);
  TImport im(d.Text());
  TStringList expected = {"'$Layer0:WALLS", "'$StartSeq(1)", "cadseq1:", "    MOVEABS(0,0)",
                          "    MOVE(10,0)", "    MOVE(0,10)", "    MOVE(-10,0)", "    MOVE(0,-10)",
                          "'$EndSeq(1)", "", "'$StartSeq(2)", "cadseq2:", "    MOVEABS(28,5)",
                          "    MOVECIRC(0,0,2,0,1)", "'$EndSeq(2)", "'$EndLayer0:WALLS", ""};
  EXPECT_EQ(im.Program(), expected);
  EXPECT_EQ(im.content.nUseLayer, 1);
  EXPECT_EQ(im.content.sLayerName[0], "WALLS");
  EXPECT_FALSE(im.answers.bLayersAsked);  // one layer: no question
}

TEST(DXFImport, LayerChoiceOrderAndNumbering) {
  TDXFText d({"A", "B", "C"});
  d.Line("A", 0, 0, 1, 0).Line("B", 5, 5, 6, 5).Line("C", 9, 9, 9, 8).Line("B", 7, 7, 8, 8);
  TImport im(d.Text(), {"C", "B"});
  TStringList p = im.Program();
  ASSERT_GE(p.size(), 10u);
  EXPECT_EQ(p[0], "'$Layer0:C");
  EXPECT_EQ(p[1], "'$StartSeq(1)");
  auto at = std::find(p.begin(), p.end(), "'$Layer1:B");
  ASSERT_NE(at, p.end());
  EXPECT_EQ(*(at + 1), "'$StartSeq(2)");  // numbers run on into the next layer
  EXPECT_EQ(std::count(p.begin(), p.end(), "'$Layer0:A"), 0);
  EXPECT_EQ(im.content.nUseLayer, 2);
  EXPECT_EQ(im.content.sLayerName[1], "B");
}

// The import says how far it has come, stage by stage, from 0 to 1; cancelled at any
// report it stops there (ECancelled), and the same importer then imports in full.
TEST(DXFImport, ProgressRisesToTheEndAndCancelStopsAtAnyReport) {
  struct TProgressAnswers : TFixedImportAnswers, IProgress {
    using TFixedImportAnswers::TFixedImportAnswers;
    IProgress* Progress() override { return this; }
    bool Report(const std::string& strStage, double fDone) override {
      Reports.emplace_back(strStage, fDone);
      return nCancelAt == 0 || static_cast<int>(Reports.size()) < nCancelAt;
    }
    std::vector<std::pair<std::string, double>> Reports;
    int nCancelAt = 0;
  };
  TDXFText d({"A", "B"});
  for (int i = 0; i < 50; ++i) d.Line(i % 2 ? "A" : "B", i, 0, i, 5).Circle("A", i, 20, 1);
  const auto Run = [&](TProgressAnswers& a, TStringList& out) {
    TDXFIn in(&a, nullptr);
    in.SetOptimiseTravel(true);
    in.ReadBuffer(d.Text());
    in.ChainAndOrder();
    TLayerContent c;
    in.TranslateList(out, c);
  };
  TProgressAnswers all("", {"A", "B"});
  TStringList full;
  Run(all, full);
  ASSERT_GE(all.Reports.size(), 6u);
  const std::vector<std::string> stages{"Reading the drawing", "Joining the elements into paths", "Writing the program"};
  size_t nStage = 0;
  for (size_t i = 0; i < all.Reports.size(); ++i) {
    const auto& [strStage, fDone] = all.Reports[i];
    while (nStage < stages.size() && stages[nStage] != strStage) ++nStage;
    ASSERT_LT(nStage, stages.size()) << "stage out of order: " << strStage;
    if (i) {
      EXPECT_GE(fDone, all.Reports[i - 1].second);
    }
  }
  EXPECT_EQ(all.Reports.front().second, 0.0);
  EXPECT_EQ(all.Reports.back().second, 1.0);
  // Reports come at most twenty times a second, so a run on a busy machine may give fewer
  // than the first: one that ends without its k-th report had nothing to cancel.
  int nCancelled = 0;
  for (int k = 1; k <= static_cast<int>(all.Reports.size()); ++k) {
    TProgressAnswers a("", {"A", "B"});
    a.nCancelAt = k;
    TStringList out;
    try {
      Run(a, out);
      EXPECT_LT(a.Reports.size(), static_cast<size_t>(k)) << "not cancelled at report " << k;
    } catch (const ECancelled&) {
      EXPECT_EQ(a.Reports.size(), static_cast<size_t>(k));
      ++nCancelled;
    }
  }
  EXPECT_GE(nCancelled, 6);  // the reports of every stage's start and end at least

  // 6,000 short lines crowded within one search box join into one sequence, each step
  // looking at all of them (over half a second): progress is told, rising, while that one
  // sequence grows, not only between sequences.
  TDXFText crowd({"A"});
  for (int i = 0; i < 6000; ++i) crowd.Line("A", (i % 64) * 1e-6, (i / 64) * 1e-6, (i % 64) * 1e-6 + 1e-5, (i / 64) * 1e-6);
  crowd.Line("A", 100, 100, 101, 100);
  TProgressAnswers one("", {"A"});
  TDXFIn in(&one, nullptr);
  in.ReadBuffer(crowd.Text());
  in.ChainAndOrder();
  std::vector<double> joining;
  for (const auto& [strStage, fDone] : one.Reports)
    if (strStage == stages[1]) joining.push_back(fDone);
  ASSERT_GE(joining.size(), 2u);
  EXPECT_TRUE(std::is_sorted(joining.begin(), joining.end()));
  const auto inside = std::count_if(joining.begin(), joining.end(),
                                    [&](double f) { return f > joining.front() && f < joining.back(); });
  EXPECT_GE(inside, 2);
}

TEST(DXFImport, LayersFromElementsAndDrawingsWithoutLayers) {
  TDXFText d;  // no LAYER table
  d.Line("X", 0, 0, 1, 0).Line("Y", 0, 0, 0, 1).Line("X", 1, 0, 2, 0);
  TImport im(d.Text(), {"X"});
  EXPECT_EQ(im.in.DrawingLayers(), (TStringList{"X", "Y"}));
  EXPECT_EQ(im.in.Records(0).size(), 2u);
  // No layer anywhere: an element that names none is on layer "0".
  std::string bare = "0\nSECTION\n2\nENTITIES\n0\nLINE\n10\n0\n20\n0\n11\n5\n21\n0\n0\nENDSEC\n0\nEOF\n";
  TImport nl(bare);
  EXPECT_EQ(nl.in.DrawingLayers(), (TStringList{"0"}));
  TStringList p = nl.Program();
  ASSERT_FALSE(p.empty());
  EXPECT_EQ(p[0], "'$Layer0:0");
  EXPECT_EQ(p[4], "    MOVE(5,0)");
}

TEST(DXFImport, ManyLayersKeepTheOrderTheyAppearIn) {
  TDXFText d;
  for (int i = 0; i < 3000; ++i) d.Point("L" + std::to_string((i * 7) % 1000), i, 0);
  TDXFIn in(nullptr, nullptr);
  const TStringList layers = in.ReadLayers(d.Text());
  ASSERT_EQ(layers.size(), 1000u);
  for (int i = 0; i < 1000; ++i) EXPECT_EQ(layers[static_cast<size_t>(i)], "L" + std::to_string((i * 7) % 1000));
}

TEST(DXFImport, ElementNamesAndCodes) {
  TDXFText d({"L"});
  d.Add(" LINE ", {{8, "L"}, {10, "0"}, {20, "0"}, {11, "1"}, {21, "0"}})
      .Add("line", {{8, "L"}, {10, "5"}, {20, "5"}, {11, "6"}, {21, "5"}})
      .Add("LINE", {{8, "L"}, {10, "2"}, {20, "0"}, {11, "3"}, {21, "0"}});
  std::string text = d.Text();
  // A code line that is not a number is skipped with its value.
  text.replace(text.find("11\n3\n"), 5, "abc\n7\n11\n3\n");
  TImport im(text);
  ASSERT_EQ(im.in.Records(0).size(), 2u);
  EXPECT_EQ(im.in.Records(0)[1].fEndPoint.fX, 3);
}

TEST(DXFImport, IncompleteElementsAreSkippedWithWarnings) {
  TDXFText d({"L", "OFF"});
  d.Add("LINE", {{8, "L"}, {10, "0"}, {20, "0"}, {11, "1"}})  // no 21
      .Line("L", 5, 5, 6, 5)
      .Add("CIRCLE", {{8, "L"}, {10, "0"}, {20, "0"}, {40, "-2"}})
      .Add("ARC", {{8, "L"}, {10, "1e999"}, {20, "0"}, {40, "2"}, {50, "0"}, {51, "90"}})
      .Add("LINE", {{10, "0"}, {20, "0"}, {11, "1"}, {21, "1"}})  // no layer: on "0"
      .Line("OFF", 0, 0, 3, 3)                                     // not selected
      .Line("L", 6, 5, 7, 5);
  TImport im(d.Text(), {"L"});
  EXPECT_EQ(im.in.Records(0).size(), 2u);  // reading went on after each bad element
  ASSERT_EQ(im.in.Warnings().size(), 3u);
  EXPECT_EQ(im.in.Warnings()[0].strReason, "missing coordinates");
  EXPECT_EQ(im.in.Warnings()[1].strReason, "radius not positive");
  EXPECT_EQ(im.in.Warnings()[2].strReason, "unreadable number");
  TStringList summary = im.in.WarningSummary();
  ASSERT_EQ(summary.size(), 3u);
  // Layer "0" exists though the LAYER table does not list it, and can be chosen.
  EXPECT_EQ(im.in.DrawingLayers(), (TStringList{"L", "OFF", "0"}));
  TImport zero(d.Text(), {"0"});
  ASSERT_EQ(zero.in.Records(0).size(), 1u);
  EXPECT_EQ(zero.in.Records(0)[0].fEndPoint, (TfPoint{1, 1}));
  EXPECT_NE(summary[0].find("skipped 1 LINE"), std::string::npos) << summary[0];
  EXPECT_NE(summary[0].find("at line "), std::string::npos);
}

TEST(DXFImport, CirclesAndArcs) {
  TDXFText d({"L"});
  d.Circle("L", 0, 0, 5).Arc("L", 0, 0, 1, 0, 90);
  TImport im(d.Text());
  const auto& r = im.in.Records(0);
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(r[0].Direction, eClockwise);
  EXPECT_EQ(r[0].fStartAngle, 180);
  EXPECT_EQ(r[0].fEndAngle, -180);
  EXPECT_NEAR(r[0].fStartPoint.fX, -5, 1e-12);
  EXPECT_NEAR(r[0].fEndPoint.fX, -5, 1e-12);
  EXPECT_EQ(r[1].Direction, eAnticlockwise);
  EXPECT_NEAR(r[1].fStartPoint.fX, 1, 1e-12);
  EXPECT_NEAR(r[1].fEndPoint.fY, 1, 1e-12);
  // Huge angles in whole turns: 360 × 2^60 and 360 × 2^900 degrees start at 0 degrees
  // exactly, so the arc runs from (5,0) to (0,5) on every system; an insertion turned by
  // such an angle is not turned at all.
  TDXFText huge({"L"});
  huge.Arc("L", 0, 0, 5, std::ldexp(360.0, 60), 2970).Arc("L", 0, 0, 5, std::ldexp(360.0, 900), 90);
  huge.Blocks().Block("B").Line("0", 1, 0, 2, 0).EndBlock().Entities();
  huge.Add("INSERT", {{8, "L"}, {2, "B"}, {10, "10"}, {20, "10"}, {50, TDXFText::N(std::ldexp(-360.0, 70))}});
  TImport h(huge.Text());
  const auto& rh = h.in.Records(0);
  ASSERT_EQ(rh.size(), 3u);
  const TfPoint starts[] = {{5, 0}, {5, 0}, {11, 10}}, ends[] = {{0, 5}, {0, 5}, {12, 10}};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_TRUE(Near(rh[i].fStartPoint, starts[i].fX, starts[i].fY, 1e-12)) << i;
    EXPECT_TRUE(Near(rh[i].fEndPoint, ends[i].fX, ends[i].fY, 1e-12)) << i;
  }
}

TEST(DXFImport, InsertRotatesTranslatesAndCopies) {
  TDXFText d({"L"});
  d.Blocks().Block("B").Line("0", 1, 0, 2, 0).EndBlock().Entities();
  d.Add("INSERT", {{8, "L"}, {2, "B"}, {10, "10"}, {20, "10"}, {50, "90"}});
  d.Add("INSERT", {{8, "L"}, {2, "B"}, {10, "10"}, {20, "10"}, {50, "90"}});
  TImport im(d.Text());
  const auto& r = im.in.Records(0);
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(r[0].fStartPoint, (TfPoint{10, 11}));
  EXPECT_EQ(r[0].fEndPoint, (TfPoint{10, 12}));
  EXPECT_EQ(r[1], r[0]);
}

TEST(DXFImport, InsertBasePointScaleMirrorAndNesting) {
  TDXFText d({"L"});
  d.Blocks()
      .Block("B", 5, 0)
      .Line("0", 5, 0, 15, 0)
      .Arc("0", 15, 5, 5, 270, 90)  // from (15,0) anticlockwise to (15,10)
      .Point("0", 6, 1)
      .EndBlock()
      .Block("PAIR")
      .Add("INSERT", {{8, "0"}, {2, "B"}, {10, "0"}, {20, "0"}})
      .Add("INSERT", {{8, "0"}, {2, "B"}, {10, "0"}, {20, "20"}})
      .EndBlock()
      .Entities();
  d.Add("INSERT", {{8, "L"}, {2, "B"}, {10, "100"}, {20, "0"}, {41, "-2"}, {42, "2"}});
  d.Add("INSERT", {{8, "L"}, {2, "PAIR"}, {10, "0"}, {20, "50"}});
  TImport im(d.Text());
  const auto& r = im.in.Records(0);
  ASSERT_EQ(r.size(), 9u);
  // Mirrored and doubled about the base point: the line runs from 100 to 80.
  EXPECT_EQ(r[0].fStartPoint, (TfPoint{100, 0}));
  EXPECT_EQ(r[0].fEndPoint, (TfPoint{80, 0}));
  // The mirrored arc keeps its ends: it still joins the line's end at (80,0).
  EXPECT_NEAR(r[1].fRadius, 10, 1e-12);
  EXPECT_TRUE(Near(r[1].fEndPoint, 80, 0, 1e-9));
  EXPECT_NEAR(r[1].fStartPoint.fY, 20, 1e-9);
  EXPECT_EQ(r[2].EntityType, eDXFET_Point);  // the block's point comes with the block
  EXPECT_EQ(r[2].fStartPoint, (TfPoint{98, 2}));
  // The nested block: two copies, 20 apart, 50 up.
  EXPECT_EQ(r[3].fStartPoint, (TfPoint{0, 50}));
  EXPECT_EQ(r[6].fStartPoint, (TfPoint{0, 70}));
}

TEST(DXFImport, UnevenScaleTurnsArcsIntoShortMoves) {
  TDXFText d({"L"});
  d.Blocks().Block("C").Circle("0", 0, 0, 1).EndBlock().Entities();
  d.Add("INSERT", {{8, "L"}, {2, "C"}, {10, "0"}, {20, "0"}, {41, "4"}, {42, "2"}});
  TImport im(d.Text());
  TStringList p = im.Program();
  EXPECT_GE(std::count_if(p.begin(), p.end(),
                          [](const std::string& l) { return l.rfind("    MOVE(", 0) == 0; }),
            32);
  EXPECT_EQ(p[3], "    MOVEABS(-4,0)");
}

TEST(DXFImport, SelfInsertionAndSizeBombs) {
  TDXFText d({"L"});
  d.Blocks().Block("SELF").Line("0", 0, 0, 1, 0).Add("INSERT", {{8, "0"}, {2, "SELF"}, {10, "1"}, {20, "0"}}).EndBlock();
  d.Entities().Add("INSERT", {{8, "L"}, {2, "SELF"}, {10, "0"}, {20, "0"}})
      .Add("INSERT", {{8, "L"}, {2, "MISSING"}, {10, "0"}, {20, "0"}});
  TImport im(d.Text());
  EXPECT_EQ(im.in.Records(0).size(), 1u);
  ASSERT_EQ(im.in.Warnings().size(), 2u);
  EXPECT_NE(im.in.Warnings()[0].strReason.find("inserts itself"), std::string::npos);
  EXPECT_NE(im.in.Warnings()[1].strReason.find("MISSING"), std::string::npos);
  // Ten levels of ten insertions each would make 10^10 lines.
  TDXFText bomb({"L"});
  bomb.Blocks().Block("B0").Line("0", 0, 0, 1, 0).EndBlock();
  for (int i = 1; i <= 10; ++i) {
    bomb.Block("B" + std::to_string(i));
    for (int k = 0; k < 10; ++k)
      bomb.Add("INSERT", {{8, "0"}, {2, "B" + std::to_string(i - 1)}, {10, std::to_string(k)}, {20, "0"}});
    bomb.EndBlock();
  }
  bomb.Entities().Add("INSERT", {{8, "L"}, {2, "B10"}, {10, "0"}, {20, "0"}});
  RefusedAtLine(bomb.Text(), "would create more than");
}

#if !defined(_WIN32) && !defined(__SANITIZE_ADDRESS__)
// The budget of block copies follows the process's own memory limit, not only the
// machine's: under ulimit -v 3 GiB a drawing of 5,000 insertions of a 2,000-line block is
// refused before it takes the memory, at about 3 GiB / 4 / 600 bytes an item, and so it is
// under 512 MiB. (The address sanitizer reserves more address space than that.)
TEST(DXFImport, SizeBombBudgetFollowsTheProcessLimit) {
  for (const uint64_t nLimit : {3ull << 30, 512ull << 20}) {  // (the second below a million items)
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    rlimit r{};
    r.rlim_cur = r.rlim_max = nLimit;
    if (setrlimit(RLIMIT_AS, &r) != 0) _exit(2);
    const size_t n = TDXFIn::DefaultMaxExpandedItems();
    if (n > nLimit / 4 / 600) _exit(3);
    TDXFText d({"A"});
    d.Blocks().Block("B");
    for (int i = 0; i < 2000; ++i) d.Line("0", i, 0, i, 1);
    d.EndBlock().Entities();
    for (int i = 0; i < 5000; ++i) d.Add("INSERT", {{8, "A"}, {2, "B"}, {10, std::to_string(i * 3000)}, {20, "0"}});
    try {
      TImport im(d.Text());
      _exit(4);
    } catch (const EDXFError& e) {
      _exit(std::string(e.what()).find("would create more than") != std::string::npos ? 0 : 5);
    } catch (const std::bad_alloc&) {
      _exit(6);
    }
  }
  int nStatus = 0;
  ASSERT_EQ(waitpid(pid, &nStatus, 0), pid);
  ASSERT_TRUE(WIFEXITED(nStatus));
  EXPECT_EQ(WEXITSTATUS(nStatus), 0) << (nLimit >> 20) << " MiB; 2: no limit set, 3: budget above the limit, "
                                        "4: imported, 5: other error, 6: out of memory";
  }
}
#endif

// A name has one definition, the first; before, eight definitions of one name, each
// inserting that name, expanded in factorial time.
TEST(DXFImport, RepeatedBlockNamesKeepTheFirstDefinition) {
  TDXFText d({"L"});
  d.Blocks();
  for (int i = 0; i < 8; ++i)
    d.Block("B").Line("0", 0, 0, 1 + i, 0).Add("INSERT", {{8, "0"}, {2, "B"}, {10, "1"}, {20, "0"}}).EndBlock();
  d.Entities().Add("INSERT", {{8, "L"}, {2, "B"}, {10, "0"}, {20, "0"}});
  TImport im(d.Text());
  ASSERT_EQ(im.in.Records(0).size(), 1u);
  EXPECT_EQ(im.in.Records(0)[0].fEndPoint.fX, 1.0);
  int nRepeats = 0;
  for (const auto& w : im.in.Warnings())
    nRepeats += w.strReason.find("a second definition of block \"B\"") != std::string::npos;
  EXPECT_EQ(nRepeats, 7);
}

// Arrays of arrays and arrays of empty blocks are counted, copies included, before any
// of them is built (each of these took minutes or all memory).
TEST(DXFImport, NestedArraysAreCountedBeforeExpansion) {
  auto insert = [](const std::string& strLayer, const std::string& strBlock, int nCols, int nRows) {
    return std::vector<std::pair<int, std::string>>{{8, strLayer}, {2, strBlock}, {10, "0"}, {20, "0"},
                                                    {70, std::to_string(nCols)}, {71, std::to_string(nRows)},
                                                    {44, "1"}, {45, "1"}};
  };
  TDXFText empty({"L"});
  empty.Blocks().Block("E").EndBlock().Entities().Add("INSERT", insert("L", "E", 30000, 30000));
  TDXFText nested({"L"});
  nested.Blocks().Block("LINE1").Line("0", 0, 0, 1, 0).EndBlock();
  nested.Block("ROW").Add("INSERT", insert("0", "LINE1", 1000, 1000)).EndBlock();
  nested.Entities().Add("INSERT", insert("L", "ROW", 100, 100));
  for (const TDXFText* d : {&empty, &nested}) RefusedAtLine(d->Text(), "would create more than");
  // Within the budget the copies are all made.
  TDXFText fits({"L"});
  fits.Blocks().Block("LINE1").Line("0", 0, 0, 1, 0).EndBlock();
  fits.Block("ROW").Add("INSERT", insert("0", "LINE1", 10, 1)).EndBlock();
  fits.Entities().Add("INSERT", insert("L", "ROW", 1, 10));
  TImport im(fits.Text());
  EXPECT_EQ(im.in.Records(0).size(), 100u);
}

TEST(DXFImport, LightweightPolylines) {
  TDXFText d({"L"});
  d.Add("LWPOLYLINE", {{8, "L"}, {90, "2"}, {70, "0"}, {10, "0"}, {20, "0"}, {42, "1"}, {10, "10"}, {20, "0"}});
  d.Add("LWPOLYLINE", {{8, "L"}, {70, "0"}, {10, "0"}, {20, "20"}, {42, "-1"}, {10, "10"}, {20, "20"}});
  d.Add("LWPOLYLINE", {{8, "L"}, {70, "1"}, {10, "0"}, {20, "40"}, {10, "5"}, {20, "40"}, {10, "5"},
                       {20, "45"}, {10, "0"}, {20, "45"}, {10, "0"}, {20, "40"}});
  TImport im(d.Text());
  const auto& r = im.in.Records(0);
  ASSERT_EQ(r.size(), 6u);
  EXPECT_EQ(r[0].EntityType, eDXFET_Arc);
  EXPECT_EQ(r[0].Direction, eClockwise);
  EXPECT_NEAR(r[0].fRadius, 5, 1e-12);
  EXPECT_NEAR(r[0].fCentrePoint.fX, 5, 1e-12);
  EXPECT_NEAR(r[0].fStartPoint.fX, 10, 1e-12);
  EXPECT_NEAR(r[0].fEndPoint.fX, 0, 1e-12);
  EXPECT_NEAR(r[1].fStartPoint.fX, 0, 1e-12);  // bulge -1: the same arc from A to B
  EXPECT_NEAR(r[1].fEndPoint.fX, 10, 1e-12);
  for (size_t i = 2; i < 6; ++i) EXPECT_EQ(r[i].EntityType, eDXFET_Line);  // the repeated vertex adds nothing
}

TEST(DXFImport, OldStylePolylines) {
  std::string s = "0\nSECTION\n2\nENTITIES\n0\nPOLYLINE\n8\nL\n66\n1\n70\n1\n";
  const double P[4][2] = {{0, 0}, {10, 0}, {10, 10}, {0, 10}};
  for (auto& p : P) s += "0\nVERTEX\n8\nL\n10\n" + TDXFText::N(p[0]) + "\n20\n" + TDXFText::N(p[1]) + "\n";
  s += "0\nSEQEND\n8\nL\n0\nLINE\n8\nL\n10\n50\n20\n50\n11\n60\n21\n50\n0\nENDSEC\n0\nEOF\n";
  TImport im(s);
  const auto& r = im.in.Records(0);
  ASSERT_EQ(r.size(), 2u);  // the element after SEQEND is read as well
  EXPECT_EQ(r[0].EntityType, eDXFET_PolyLine);
  EXPECT_EQ(r[0].fStartPoint, (TfPoint{0, 0}));
  EXPECT_EQ(r[0].fEndPoint, (TfPoint{0, 0}));  // closed: it ends where it began
  EXPECT_EQ(im.in.Vertices().size(), 5u);
  EXPECT_EQ(im.in.Vertices()[4].fPoint, (TfPoint{0, 0}));
  TStringList p = im.Program();
  EXPECT_EQ(std::count_if(p.begin(), p.end(), [](const std::string& l) { return l.rfind("    MOVE(", 0) == 0; }), 5);
}

TEST(DXFImport, EllipseFourArcsAndEllipticalArcs) {
  TDXFText d({"A", "B"});
  d.Add("ELLIPSE", {{8, "B"}, {10, "0"}, {20, "0"}, {11, "10"}, {21, "0"}, {40, "0.5"}, {41, "0"}, {42, "6.283185307179586"}});
  d.Add("ELLIPSE", {{8, "B"}, {10, "0"}, {20, "0"}, {11, "10"}, {21, "0"}, {40, "0.5"}, {41, "0"}, {42, "1.5707963267948966"}});
  TImport im(d.Text(), {"A", "B"});
  EXPECT_TRUE(im.in.Records(0).empty());  // the ellipses stay on their own layer
  const auto& r = im.in.Records(1);
  ASSERT_EQ(r.size(), 5u);
  const double expect[4][5] = {{-6.5451, 0, 3.4549, 243.4349, 116.5651},
                               {6.5451, 0, 3.4549, 63.4349, -63.4349},
                               {0, -13.0902, 18.0902, 116.5651, 63.4349},
                               {0, 13.0902, 18.0902, -63.4349, 243.4349}};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_TRUE(Near(r[i].fCentrePoint, expect[i][0], expect[i][1], 1e-4)) << i;
    EXPECT_NEAR(r[i].fRadius, expect[i][2], 1e-4) << i;
    EXPECT_NEAR(r[i].fStartAngle, expect[i][3], 1e-4) << i;
    EXPECT_NEAR(r[i].fEndAngle, expect[i][4], 1e-4) << i;
    EXPECT_EQ(r[i].Direction, eClockwise);
  }
  // The quarter from (10,0) to (0,5) as short moves.
  EXPECT_EQ(r[4].EntityType, eDXFET_PolyLine);
  EXPECT_EQ(r[4].fStartPoint, (TfPoint{10, 0}));
  EXPECT_TRUE(Near(r[4].fEndPoint, 0, 5, 1e-12));
}

TEST(DXFImport, SplinesEvaluate) {
  TDXFText d({"A", "B"});
  d.Add("SPLINE", {{8, "B"}, {100, "AcDbEntity"}, {100, "AcDbSpline"}, {71, "1"}, {72, "5"}, {73, "3"},
                   {40, "0"}, {40, "0"}, {40, "1"}, {40, "2"}, {40, "2"},
                   {10, "0"}, {20, "0"}, {10, "10"}, {20, "0"}, {10, "10"}, {20, "10"}});
  TImport im(d.Text(), {"A", "B"});
  im.in.SetMovesPerSplineSection(1);
  EXPECT_EQ(im.in.Vertices().size(), 10u);  // read with the importer's 3 moves per section
  const auto one = [](TDXFIn& in) { in.SetMovesPerSplineSection(1); };
  TImport im1(d.Text(), {"A", "B"}, one);
  ASSERT_EQ(im1.in.Records(1).size(), 1u);
  const auto& v = im1.in.Vertices();
  ASSERT_EQ(v.size(), 4u);
  EXPECT_EQ(v[0].fPoint, (TfPoint{0, 0}));
  EXPECT_NEAR(v[1].fPoint.fX, 20.0 / 3, 1e-12);  // u = 2/3 on the control polygon
  EXPECT_EQ(v[3].fPoint, (TfPoint{10, 10}));
  TDXFText bez({"B"});
  bez.Add("SPLINE", {{8, "B"}, {100, "AcDbSpline"}, {71, "3"}, {40, "0"}, {40, "0"}, {40, "0"}, {40, "0"},
                     {40, "1"}, {40, "1"}, {40, "1"}, {40, "1"}, {41, "2"}, {41, "2"}, {41, "2"}, {41, "2"},
                     {10, "0"}, {20, "0"}, {10, "0"}, {20, "8"}, {10, "8"}, {20, "8"}, {10, "8"}, {20, "0"}});
  TImport b(bez.Text(), {"A", "B"}, one);
  ASSERT_EQ(b.in.Vertices().size(), 5u);  // 4 sections: the middle one is u = 0.5
  EXPECT_TRUE(Near(b.in.Vertices()[2].fPoint, 4, 6, 1e-12));  // (P0 + 3 P1 + 3 P2 + P3) / 8
  EXPECT_EQ(TDXFIn(nullptr, nullptr).MovesPerSplineSection(), 3);
  // Absent (0) or out of range: the 10 the options dialog shows.
  TDXFIn clamp(nullptr, nullptr);
  for (int32_t n : {0, -3, 51}) {
    clamp.SetMovesPerSplineSection(n);
    EXPECT_EQ(clamp.MovesPerSplineSection(), 10);
  }
  clamp.SetMovesPerSplineSection(50);
  EXPECT_EQ(clamp.MovesPerSplineSection(), 50);
}

TEST(DXFImport, SplineLimitsAbandonTheImport) {
  TDXFText deg({"B"});
  deg.Add("SPLINE", {{8, "B"}, {100, "AcDbSpline"}, {71, "4"}});
  EXPECT_GT(RefusedAtLine(deg.Text(), "degree 4"), 0);
  std::string many = "0\nSECTION\n2\nENTITIES\n0\nSPLINE\n8\nB\n100\nAcDbSpline\n";
  for (int i = 0; i < 2002; ++i) many += "40\n0\n";
  many += "0\nENDSEC\n0\nEOF\n";
  EXPECT_THROW(TImport im(many), EDXFError);
  TDXFText none({"B"});
  none.Add("SPLINE", {{8, "B"}, {100, "AcDbSpline"}, {71, "3"}, {73, "1000000000"}});
  TImport im(none.Text());
  ASSERT_EQ(im.in.Warnings().size(), 1u);
  EXPECT_EQ(im.in.Warnings()[0].strReason, "no control points");
}

// A spline that cannot be evaluated (all its knots equal, all its weights 0) is left out
// with a warning naming its line; the rest of the drawing is imported.
TEST(DXFImport, DegenerateSplinesAreSkippedAlone) {
  auto spline = [](const std::vector<std::string>& knots, const std::string& weight) {
    std::vector<std::pair<int, std::string>> p{{8, "B"}, {100, "AcDbSpline"}, {71, "3"}, {72, "8"}, {73, "4"}};
    for (const std::string& k : knots) p.emplace_back(40, k);
    for (int i = 0; i < 4; ++i) {
      p.emplace_back(10, std::to_string(i));
      p.emplace_back(20, std::to_string(i * i));
      if (!weight.empty()) p.emplace_back(41, weight);
    }
    return p;
  };
  for (const bool bArcs : {false, true}) {
    TDXFText d({"B"});
    d.Line("B", 0, 0, 5, 5)
        .Add("SPLINE", spline({"1", "1", "1", "1", "1", "1", "1", "1"}, ""))
        .Add("SPLINE", spline({"0", "0", "0", "0", "1", "1", "1", "1"}, "0"))
        .Line("B", 10, 0, 15, 5);
    TImport im(d.Text(), {}, [&](TDXFIn& in) {
      if (bArcs) in.SetCurvesAsArcs(0.01, false);
    });
    EXPECT_EQ(im.in.Records(0).size(), 2u) << bArcs;
    ASSERT_EQ(im.in.Warnings().size(), 2u) << bArcs;
    for (const auto& w : im.in.Warnings()) {
      EXPECT_EQ(w.strElement, "SPLINE");
      EXPECT_GT(w.nLine, 0);
    }
  }
}

TEST(DXFImport, MalformedFilesEndCleanly) {
  EXPECT_THROW(TDXFIn(nullptr, nullptr).ReadBuffer(std::string("AutoCAD Binary DXF\r\n\x1a\0", 22)), EDXFError);
  TDXFText d({"L"});
  d.Line("L", 0, 0, 1, 0).Circle("L", 5, 5, 1).Add("LWPOLYLINE", {{8, "L"}, {10, "0"}, {20, "0"}, {10, "1"}, {20, "1"}});
  std::string text = d.Text();
  // Byte-order mark, CR-only and CR LF line ends read the same.
  std::string cr = text, crlf;
  std::replace(cr.begin(), cr.end(), '\n', '\r');
  for (char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  TImport a(text), b("\xEF\xBB\xBF" + cr), c(crlf);
  EXPECT_EQ(a.Program(), b.Program());
  EXPECT_EQ(a.Program(), c.Program());
  // Cut anywhere: never a crash, at most a partial import; cut before its first section
  // the file is no drawing at all.
  const size_t nFirstSection = text.find("0\nSECTION") + 9;
  for (size_t n = 0; n < text.size(); n += 3) {
    if (n < nFirstSection) {
      EXPECT_THROW(TImport(text.substr(0, n)), EDXFError) << n;
      continue;
    }
    TImport t(text.substr(0, n));
    (void)t.Program();
  }
  // One very long line.
  TImport longLine(text + std::string(1 << 20, 'x'));
  EXPECT_EQ(longLine.Program(), a.Program());
  // LF CR line ends read as one end, not as an empty line between every two.
  std::string lfcr;
  for (char ch : text) lfcr += ch == '\n' ? std::string("\n\r") : std::string(1, ch);
  TImport e(lfcr);
  EXPECT_EQ(e.Program(), a.Program());
  // Wide text is named, not taken for a file without sections.
  for (const std::string& wide : {std::string("\xFF\xFE" "0\0\n\0", 6), std::string("\xFE\xFF\0" "0\0\n", 6),
                                  std::string("0\0\n\0S\0", 6), std::string("\xFF\xFE\0\0" "0\0\0\0", 8)})
    RefusedAtLine(wide, wide.size() == 8 ? "UTF-32" : "UTF-16");
}

// A drawing cut short says where it ends, wherever the cut falls inside a section (a
// number cut in two included); a cut between two sections says nothing.
TEST(DXFImport, TruncatedDrawingsSayWhereTheyEnd) {
  TDXFText d({"L"});
  d.Blocks().Block("B").Line("0", 0, 0, 1, 1).EndBlock().Entities();
  d.Line("L", 0, 0, 12.5, 0).Add("INSERT", {{8, "L"}, {2, "B"}, {10, "3"}, {20, "4"}});
  const std::string text = d.Text();
  auto report = [](const std::string& t) {
    TImport im(t);
    const TStringList r = im.in.ImportReport();
    return r.empty() ? std::string() : r.front();
  };
  EXPECT_EQ(report(text).find("the file ends"), std::string::npos);
  const size_t nFirst = text.find("0\nSECTION") + 9;
  int nCut = 0;
  for (size_t n = nFirst + 1; n < text.size() - 4; ++n) {
    const std::string cut = text.substr(0, n);
    const size_t nEndSec = cut.rfind("ENDSEC"), nSection = cut.rfind("SECTION");
    const bool bInside = nSection != std::string::npos && (nEndSec == std::string::npos || nEndSec < nSection);
    const std::string r = report(cut);
    if (!bInside) {
      EXPECT_EQ(r.find("the file ends"), std::string::npos) << n << ": " << r;
      continue;
    }
    ++nCut;
    // The section's name, when the cut has its whole line.
    const size_t nCode = cut.find("\n2\n", nSection), nName = cut.find('\n', nCode + 3);
    const std::string strSection =
        nCode == std::string::npos || nName == std::string::npos ? "" : cut.substr(nCode + 3, nName - nCode - 3);
    const int nLines = static_cast<int>(std::count(cut.begin(), cut.end(), '\n')) + (cut.back() == '\n' ? 0 : 1);
    EXPECT_EQ(r.rfind(strSection.empty() ? "the file ends inside a section" : "the file ends inside the " + strSection + " section", 0), 0u) << n << ": " << r;
    EXPECT_NE(r.find("at line " + std::to_string(nLines) + "; what came before was imported"), std::string::npos)
        << n << ": " << r;
  }
  EXPECT_GT(nCut, 200);
  // "12." from "12.5": the element is kept, and the report says the file was cut.
  const std::string cut = text.substr(0, text.find("12.5") + 3);
  TImport im(cut);
  EXPECT_EQ(im.in.ImportReport().front(), "the file ends inside the ENTITIES section at line " +
                                              std::to_string(std::count(cut.begin(), cut.end(), '\n') + 1) +
                                              "; what came before was imported");
}

// A POLYLINE without SEQEND ends at the next element that is no VERTEX, with a warning,
// and the elements after it are read (not swallowed up to a SEQEND further on).
TEST(DXFImport, PolylineWithoutSeqendEndsAtTheNextElement) {
  std::string s = "0\nSECTION\n2\nENTITIES\n0\nPOLYLINE\n8\nL\n66\n1\n";
  for (const double x : {0.0, 5.0, 5.0}) s += "0\nVERTEX\n8\nL\n10\n" + TDXFText::N(x) + "\n20\n" + TDXFText::N(x == 5 ? 1 : 0) + "\n";
  const std::string lines = "0\nLINE\n8\nL\n10\n10\n20\n10\n11\n20\n21\n10\n0\nLINE\n8\nL\n10\n30\n20\n10\n11\n40\n21\n10\n";
  for (const std::string& tail : {lines + "0\nENDSEC\n0\nEOF\n", std::string("0\nENDSEC\n0\nEOF\n"), std::string()}) {
    TImport im(s + tail);
    const auto& r = im.in.Records(0);
    ASSERT_EQ(r.size(), tail.size() > 30 ? 3u : 1u) << tail;
    EXPECT_EQ(r[0].EntityType, eDXFET_PolyLine);
    EXPECT_EQ(r[0].fEndPoint, (TfPoint{5, 1}));
    const TStringList rep = im.in.ImportReport();
    const std::string all = std::accumulate(rep.begin(), rep.end(), std::string(), [](std::string a, const std::string& b) { return a + b + "|"; });
    EXPECT_NE(all.find(tail.empty() ? "no SEQEND before the end of the file" : "no SEQEND: the polyline ends at the "),
              std::string::npos) << all;
  }
}

TEST(DrawingEncoding, NamesAndEscapesAndUtf8) {
  struct TCase {
    const char *strVer, *strPage, *strWant;
  };
  for (const TCase& c : {TCase{"AC1015", "ANSI_936", "GBK"}, TCase{"AC1015", "ansi_1252", "windows-1252"},
                         TCase{"AC1009", "", "windows-1252"}, TCase{"AC1015", "ANSI_950", "Big5"},
                         TCase{"AC1021", "ANSI_936", "UTF-8"}, TCase{"AC1032", "", "UTF-8"},
                         TCase{"AC1018", "ANSI_1251", "windows-1251"}, TCase{"AC1015", "ANSI_9999", "windows-1252"}})
    EXPECT_EQ(veltrane::DXFTextEncoding(c.strVer, c.strPage), c.strWant) << c.strVer << " " << c.strPage;
  EXPECT_EQ(veltrane::DXFUnescapeUnicode("\\U+5207\\U+5272"), "切割");
  EXPECT_EQ(veltrane::DXFUnescapeUnicode("a\\u+01fcb"), "aǼb");
  for (const char* s : {"\\U+12", "\\U+12G4", "\\U+D800", "\\X+1234", "plain"})
    EXPECT_EQ(veltrane::DXFUnescapeUnicode(s), s) << s;
  for (const char* s : {"", "ascii", "切割", "\xF0\x9F\x98\x80", "caf\xC3\xA9"}) EXPECT_TRUE(veltrane::IsValidUtf8(s)) << s;
  for (const char* s : {"\xC7\xD0", "\x80", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE4\xB8", "caf\xE9"})
    EXPECT_FALSE(veltrane::IsValidUtf8(s)) << s;
}

// The drawing is read once, before the layers are asked for: its elements wait with their
// layer's name, warnings that depend on the layer count only when it is chosen, and a block
// defined after the elements that insert it is still found.
namespace {

std::string LayersReadOnceDrawing() {
  std::string s = "0\nSECTION\n2\nTABLES\n0\nTABLE\n2\nLAYER\n0\nLAYER\n2\nA\n70\n0\n0\nENDTAB\n0\nENDSEC\n";
  s += "0\nSECTION\n2\nENTITIES\n";
  s += "0\nLINE\n8\nA\n10\n1\n20\n1\n11\n1\n21\n1\n";      // zero length, on A
  s += "0\nLINE\n8\nB\n10\n2\n20\n2\n11\n2\n21\n2\n";      // zero length, on B
  s += "0\nLINE\n8\nA\n10\n0\n20\n0\n11\n5\n";             // no code 21: on any layer
  s += "0\nINSERT\n8\nA\n2\nBL\n10\n10\n20\n10\n";
  s += "0\nLINE\n8\nB\n10\n0\n20\n50\n11\n5\n21\n50\n";
  s += "0\nTEXT\n8\nB\n1\nnote\n";
  s += "0\nENDSEC\n";
  s += "0\nSECTION\n2\nBLOCKS\n0\nBLOCK\n8\n0\n2\nBL\n70\n0\n10\n0\n20\n0\n";
  s += "0\nLINE\n8\n0\n10\n1\n20\n0\n11\n2\n21\n0\n0\nENDBLK\n8\n0\n0\nENDSEC\n0\nEOF\n";
  return s;
}

std::vector<std::string> Reasons(const TDXFIn& in) {
  std::vector<std::string> out;
  for (const auto& w : in.Warnings()) out.push_back(w.strReason + "@" + std::to_string(w.nLine));
  return out;
}

}  // namespace

TEST(DXFImport, OneReadingServesEveryLayerChoice) {
  TImport a(LayersReadOnceDrawing(), {"A"});
  EXPECT_TRUE(a.answers.bLayersAsked);
  EXPECT_EQ(a.in.DrawingLayers(), (TStringList{"A", "B"}));
  ASSERT_EQ(a.in.Records(0).size(), 1u);
  EXPECT_EQ(a.in.Records(0)[0].fStartPoint, (TfPoint{11, 10}));
  EXPECT_EQ(a.in.Records(0)[0].fEndPoint, (TfPoint{12, 10}));
  EXPECT_EQ(Reasons(a.in), (std::vector<std::string>{"zero length@24", "missing coordinates@48"}));
  const TStringList reportA = a.in.ImportReport();
  EXPECT_EQ(std::count_if(reportA.begin(), reportA.end(), [](const std::string& s) { return s.find("TEXT") != std::string::npos; }), 0);

  TImport b(LayersReadOnceDrawing(), {"B"});
  ASSERT_EQ(b.in.Records(0).size(), 1u);
  EXPECT_EQ(b.in.Records(0)[0].fStartPoint, (TfPoint{0, 50}));
  EXPECT_EQ(Reasons(b.in), (std::vector<std::string>{"zero length@36", "missing coordinates@48"}));
  const TStringList reportB = b.in.ImportReport();
  EXPECT_NE(std::find(reportB.begin(), reportB.end(), "layer B: 1 TEXT not imported"), reportB.end());

  TImport both(LayersReadOnceDrawing(), {"B", "A"});
  EXPECT_EQ(both.in.Records(0).size(), 1u);
  EXPECT_EQ(both.in.Records(1).size(), 1u);
  EXPECT_EQ(both.in.Records(1)[0].nLayer, 1);
  EXPECT_EQ(Reasons(both.in).size(), 3u);
}

// A cancelled layer dialog leaves no warnings, no records and no program.
TEST(DXFImport, CancelledLayerDialogLeavesNoWarningsAndImportsNothing) {
  struct TCancel : IDXFImportUI {
    bool ChooseDrawingFile(const std::string&, std::string&) override { return false; }
    bool ChooseLayers(const TStringList& Layers, TStringList&) override {
      Asked = Layers;
      return false;
    }
    TStringList Asked;
  } cancel;
  TDXFIn in(&cancel, nullptr);
  in.ReadBuffer(LayersReadOnceDrawing());
  EXPECT_EQ(cancel.Asked, (TStringList{"A", "B"}));
  EXPECT_TRUE(in.Warnings().empty());
  EXPECT_TRUE(in.Records(0).empty());
  EXPECT_TRUE(in.BlockRecords().empty());
  in.ChainAndOrder();
  TStringList out;
  TLayerContent c;
  in.TranslateList(out, c);
  EXPECT_TRUE(out.empty());
}

// The whole import lets the records go once the program is made, and reads the chained
// lists in travel order instead of moving the records into it: the program is the one
// the steps make, on every test drawing, in the plain order and inner paths first, and
// the report is theirs (it still knows the layers that gave paths).
TEST(DXFImport, WholeImportLetsTheRecordsGoAndWritesWhatTheStepsWrite) {
  const std::string strData = std::string(VELTRANE_SOURCE_DIR) + "/tests/data/ezdxf/";
  const char* drawings[] = {"bracket_r2000.dxf", "bracket_r12.dxf", "blocks_r2018.dxf", "curves_r2018.dxf",
                            "fitpoints_r2000.dxf", "planes_r2000.dxf", "plates_r2018.dxf", "square_r12.dxf",
                            "troubles_r2000.dxf", "chinese_r2018.dxf"};
  for (const char* strName : drawings)
    for (const bool bInnerFirst : {false, true}) {
      const std::string strFile = strData + strName;
      SCOPED_TRACE(std::string(strName) + (bInnerFirst ? ", inner paths first" : ""));
      TFixedImportAnswers stepAnswers(strFile), answers(strFile);
      TDXFIn steps(&stepAnswers, nullptr), whole(&answers, nullptr);
      for (TDXFIn* in : {&steps, &whole}) {
        in->SetCutInnerFirst(bInnerFirst);
        in->SetMatching(false, 0.001);
      }
      steps.ReadFile();
      steps.ChainAndOrder();
      TStringList expected;
      TLayerContent expectedContent;
      steps.TranslateList(expected, expectedContent);
      ASSERT_FALSE(expected.empty());
      TStringList program;
      TLayerContent content;
      whole.Import(program, content);
      EXPECT_EQ(program, expected);
      EXPECT_EQ(content.nUseLayer, expectedContent.nUseLayer);
      EXPECT_EQ(whole.LargestGapClosed(), steps.LargestGapClosed());
      for (int32_t k = 0; k < c_nLayerSlots; ++k) EXPECT_TRUE(whole.Records(k).empty());
      EXPECT_EQ(whole.ImportReport(), steps.ImportReport());
    }
}
