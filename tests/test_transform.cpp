// The transformer: the affine operations on move lines, the canonical rewrite, and the
// commands that run them on one sequence or on the whole program.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

#include "model/NumberFormat.h"
#include "model/ProgramDocument.h"
#include "model/TextFile.h"
#include "transform/TransformCommands.h"
#include "transform/Transformer.h"

namespace veltrane {
namespace {

TStringList Apply(TStringList Lines, const std::function<void(TTransformer&)>& op) {
  TTransformer t;
  t.SetProgram(&Lines);
  op(t);
  return Lines;
}

// Parses the numbers of a move line for comparisons with a tolerance.
std::vector<double> Numbers(const std::string& s) {
  std::vector<double> v;
  size_t open = s.find('('), close = s.find(')');
  std::string inner = s.substr(open + 1, close - open - 1);
  size_t from = 0;
  while (from <= inner.size()) {
    size_t c = inner.find(',', from);
    if (c == std::string::npos) c = inner.size();
    v.push_back(StrToFloat(inner.substr(from, c - from)));
    from = c + 1;
  }
  return v;
}

// The operations on lists whose result is known line for line.
TEST(Transformer, KnownResults) {
  using TOp = std::function<void(TTransformer&)>;
  const TOp reverse = [](TTransformer& t) { t.Reverse(); };
  const TStringList seq{"    MOVEABS(10,20)", "    MOVE(5,0)", "    MOVEABS(30,40)"};
  struct TCase {
    const char* strWhat;
    TStringList In;
    TOp Op;
    TStringList Out;
  };
  // clang-format off
  const TCase cases[] = {
      {"reverse turns a path round", {"    MOVEABS(0,0)", "    MOVE(10,0)", "    MOVE(0,5)"}, reverse,
       {"    MOVEABS(10,5)", "    MOVE(0,-5)", "    MOVE(-10,0)"}},
      {"reverse turns an arc round", {"    MOVEABS(0,0)", "    MOVECIRC(10,0,5,0,1)"}, reverse,
       {"    MOVEABS(10,0)", "    MOVECIRC(-10,0,-5,0,0)"}},
      {"a comment before the start move ends up at the end; look-ahead forms for made moves",
       {"' note", "    MOVEABS(1,1)", "    MOVESP(2,0)"}, [](TTransformer& t) { t.b_MAsp = true; t.Reverse(); },
       {"    MOVEABSSP(3,1)", "    MOVESP(-2,0)", "' note"}},
      {"a list without moves is left alone", {"' only words"}, reverse, {"' only words"}},
      {"shift to a point moves absolute moves only", seq, [](TTransformer& t) { t.Shift(false, 100, 50); },
       {"    MOVEABS(100,50)", "    MOVE(5,0)", "    MOVEABS(120,70)"}},
      {"shift by a distance", seq, [](TTransformer& t) { t.Shift(true, 100, 50); },
       {"    MOVEABS(110,70)", "    MOVE(5,0)", "    MOVEABS(130,90)"}},
      {"scale by -1", {"    MOVEABS(1,2)", "    MOVECIRC(2,0,1,0,0)"}, [](TTransformer& t) { t.Scale(-1); },
       {"    MOVEABS(-1,-2)", "    MOVECIRC(-2,0,-1,0,0)"}},
      {"rotate a quarter turn about the centre", {"    MOVEABS(7,3)", "    MOVE(10,0)"},
       [](TTransformer& t) { t.Rotate(std::numbers::pi / 2); }, {"    MOVEABS(12,-2)", "    MOVE(0,10)"}},
      {"mirror in the Y axis turns arcs round", {"    MOVEABS(3,4)", "    MOVECIRC(2,0,1,0,1)", "    MOVECIRC(2,0,1,0,0)"},
       [](TTransformer& t) { t.Mirror(eYAxis); },
       {"    MOVEABS(-3,4)", "    MOVECIRC(-2,0,-1,0,0)", "    MOVECIRC(-2,0,-1,0,1)"}},
      {"mirror in the X axis", {"    MOVEABS(3,4)"}, [](TTransformer& t) { t.Mirror(eXAxis); }, {"    MOVEABS(3,-4)"}},
      {"offset terms and trailing comments survive", {"    MOVEABS(offset_x+1,offset_y+2) ' start", "    MOVE(1,0)"},
       [](TTransformer& t) { t.Shift(true, 1, 1); }, {"    MOVEABS(offset_x+2,offset_y+3) ' start", "    MOVE(1,0)"}},
      {"offset terms added when asked", {"    MOVEABS(1,2)"}, [](TTransformer& t) { t.b_AddParToMA = true; t.Shift(true, 0, 0); },
       {"    MOVEABS(offset_x+1,offset_y+2)"}},
  };
  // clang-format on
  for (const TCase& c : cases) EXPECT_EQ(Apply(c.In, c.Op), c.Out) << c.strWhat;
}

// The rotation as first written: each point turned about the centre by its polar angle.
TfPoint PolarTurn(TfPoint p, TfPoint c, double a) {
  double dx = p.fX - c.fX, dy = p.fY - c.fY, r = std::sqrt(dx * dx + dy * dy), t = std::atan2(dy, dx);
  return TfPoint{c.fX + r * std::cos(t + a), c.fY + r * std::sin(t + a)};
}

TEST(Transformer, RotationAgreesWithThePolarFormula) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> u(-500, 500);
  for (int trial = 0; trial < 200; ++trial) {
    TStringList seq{"    MOVEABS(" + StringFromDouble(u(rng)) + "," + StringFromDouble(u(rng)) + ")"};
    for (int i = 0; i < 6; ++i)
      seq.push_back("    MOVE(" + StringFromDouble(u(rng)) + "," + StringFromDouble(u(rng)) + ")");
    const double a = u(rng) / 50;
    TTransformer t;
    t.SetProgram(&seq);
    t.LoadSourceList();
    t.FindCenter();
    const TfPoint c = t.m_Center;
    std::vector<TMoveRecord> src = t.SourceMoves();
    TStringList out = Apply(seq, [a](TTransformer& x) { x.Rotate(a); });
    ASSERT_EQ(out.size(), src.size());
    TfPoint start = PolarTurn(src[0].fEndPoint, c, a);
    auto v = Numbers(out[0]);
    EXPECT_NEAR(v[0], start.fX, 1e-4);
    EXPECT_NEAR(v[1], start.fY, 1e-4);
    for (size_t i = 1; i < src.size(); ++i) {
      TfPoint e = PolarTurn(src[i].fAbsEndPoint, c, a), s = PolarTurn(src[i].fAbsStartPoint, c, a);
      auto w = Numbers(out[i]);
      EXPECT_NEAR(w[0], e.fX - s.fX, 2e-4) << out[i];
      EXPECT_NEAR(w[1], e.fY - s.fY, 2e-4) << out[i];
    }
  }
}

TEST(Transformer, CentreAndClosedTest) {
  TStringList square{"    MOVEABS(0,0)", "    MOVE(10,0)", "    MOVE(0,10)", "    MOVE(-10,0)",
                     "    MOVE(0,-10)"};
  TTransformer t;
  t.SetProgram(&square);
  t.LoadSourceList();
  t.FindCenter();
  EXPECT_TRUE(t.b_closed);
  EXPECT_EQ(t.m_Center, (TfPoint{5, 5}));  // mean of the corners
  square.back() = "    MOVE(0,-9.99)";
  t.LoadSourceList();
  t.FindCenter();
  EXPECT_FALSE(t.b_closed);
  EXPECT_NEAR(t.m_Center.fX, (10 + 10 + 0 + 0) / 5.0, 1e-9);  // the start counts too
}

TEST(Transformer, RealOperationsRefuseWhatTheyCannotModel) {
  for (const char* bad : {"    MOVE(1,2,3)", "    MHELICAL(1,2,3,4,5,6)", "    MOVE(a,2)",
                          "    MOVE(1,2) : MOVE(3,4)", "    MOVECIRC(1,1,0,1)", "    MOVE(1,2",
                          "    MOVEABS(offset_x+1,2)", "    MOVECIRC(1,1,0,1,x)"}) {
    TStringList lines{"    MOVEABS(0,0)", bad};
    TTransformer t;
    t.SetProgram(&lines);
    try {
      t.Rotate(1.0);
      ADD_FAILURE() << bad << " was transformed";
    } catch (const ETransformError& e) {
      EXPECT_EQ(e.nLine, 1);
      EXPECT_EQ(e.strLine, bad);
    }
    EXPECT_EQ(lines[1], bad);
    // The canonical rewrite keeps such a line exactly.
    t.RewriteCanonical();
    EXPECT_EQ(lines, (TStringList{"    MOVEABS(0,0)", bad}));
  }
}

TEST(Transformer, CanonicalRewriteKeepsEveryNumber) {
  // An arc direction other than 0 or 1 is kept as written (the plot reads 2 as
  // anticlockwise; calling it clockwise would turn the arc round); a real operation
  // refuses it.
  EXPECT_EQ(Apply({"  move (1.50, -2)", "ma(3,4)", "MOVECIRC( 1 , 0 , 0.5 , 0 , 2 )", "MOVECIRC( 1 , 0 , 0.5 , 0 , 1 )",
                   "cadseq1:"},
                  [](TTransformer& t) { t.RewriteCanonical(); }),
            (TStringList{"    MOVE(1.5,-2)", "    MOVEABS(3,4)", "MOVECIRC( 1 , 0 , 0.5 , 0 , 2 )",
                         "    MOVECIRC(1,0,0.5,0,1)", "cadseq1:"}));
  EXPECT_THROW(Apply({"    MOVEABS(0,0)", "    MOVECIRC(1,0,0.5,0,2)"}, [](TTransformer& t) { t.Mirror(eXAxis); }),
               ETransformError);
  for (const char* f : {"/examples/bracket.bas", "/tests/golden/import_blocks.bas",
                        "/tests/golden/import_square.bas", "/tests/golden/import_bracket_r12.bas"}) {
    TStringList lines = LoadLines(std::string(VELTRANE_SOURCE_DIR) + f);
    EXPECT_EQ(Apply(lines, [](TTransformer& t) { t.RewriteCanonical(); }), lines) << f;
    EXPECT_EQ(Apply(lines, [](TTransformer& t) { t.Rotate(0); }), lines) << f;
    EXPECT_EQ(Apply(lines, [](TTransformer& t) { t.Rotate(2 * std::numbers::pi); }), lines) << f;
  }
}

// An operation followed by its inverse gives the program back up to the number format.
TEST(Transformer, InversePairsGiveTheProgramBack) {
  TStringList seq = LoadLines(VELTRANE_SOURCE_DIR "/examples/bracket.bas");
  const TStringList canonical = Apply(seq, [](TTransformer& t) { t.RewriteCanonical(); });
  auto close = [&](const TStringList& a, double tol) {
    ASSERT_EQ(a.size(), canonical.size());
    for (size_t i = 0; i < a.size(); ++i) {
      if (a[i] == canonical[i]) continue;
      auto x = Numbers(a[i]), y = Numbers(canonical[i]);
      ASSERT_EQ(x.size(), y.size()) << a[i];
      for (size_t k = 0; k < x.size(); ++k) EXPECT_NEAR(x[k], y[k], tol) << a[i] << " / " << canonical[i];
    }
  };
  close(Apply(canonical, [](TTransformer& t) { t.Shift(true, 12.5, -3); t.Shift(true, -12.5, 3); }), 0);
  close(Apply(canonical, [](TTransformer& t) { t.Mirror(eXAxis); t.Mirror(eXAxis); }), 0);
  close(Apply(canonical, [](TTransformer& t) { t.Scale(4); t.Scale(0.25); }), 0);
  close(Apply(canonical, [](TTransformer& t) { t.Scale(3); t.Scale(1.0 / 3); }), 2e-4);
  close(Apply(canonical, [](TTransformer& t) { t.Rotate(0.3); t.Rotate(-0.3); }), 3e-4);
}

TEST(Transformer, ReverseTwiceAndTheEndPoint) {
  TStringList seq{"    MOVEABS(1,1)", "    MOVE(4,0)", "    MOVECIRC(0,4,0,2,0)", "    MOVE(-2,1)"};
  TStringList once = Apply(seq, [](TTransformer& t) { t.Reverse(); });
  EXPECT_EQ(once[0], "    MOVEABS(3,6)");  // the old end
  TStringList twice = Apply(once, [](TTransformer& t) { t.Reverse(); });
  EXPECT_EQ(twice, seq);
  TTransformer t;
  t.SetProgram(&once);
  t.LoadSourceList();
  EXPECT_EQ(t.EndPoint(), (TfPoint{1, 1}));  // the reversed path ends at the old start
}

// ---------------------------------------------------------------------------------------
// Commands

TStringList TwoSequences() {
  return {"' head", "'$StartSeq(1)", "cadseq1:", "    MOVEABS(0,0)", "    MOVE(10,0)",
          "'$EndSeq(1)", "'$StartSeq(2)", "cadseq2:", "    MOVEABS(20,0)", "    MOVE(0,5)",
          "'$EndSeq(2)"};
}

struct TCountingHooks : IDocumentHooks {
  void SaveForUndo() override { ++nSaves; }
  int nSaves = 0;
};

TEST(TransformCommands, DialogTextChecks) {
  TScriptedPrompts p;
  TTransformRequest r;
  EXPECT_FALSE(ShiftFromText("1", "y", false, r, &p));
  EXPECT_TRUE(ShiftFromText(" 1 ", "-2.5", true, r, &p));
  EXPECT_TRUE(r.bRelative);
  EXPECT_FALSE(ScaleFromText("0.0000005", r, &p));
  EXPECT_FALSE(ScaleFromText("2000000", r, &p));
  EXPECT_FALSE(ScaleFromText("abc", r, &p));
  EXPECT_TRUE(ScaleFromText("-1", r, &p));
  EXPECT_TRUE(ScaleFromText("0.000001", r, &p));
  ASSERT_EQ(p.Messages.size(), 4u);
  EXPECT_EQ(p.Messages[0].second, "Invalid shift specified!");
  EXPECT_EQ(p.Messages[1].second, "Invalid scale factor");
  EXPECT_EQ(RotateFromText("x").fDegrees, 0);
  EXPECT_EQ(TransformCaption(ETransformOp::eMirror, true), "Mirror All");
  EXPECT_EQ(TransformCaption(ETransformOp::eScale, false), "Scale Sequence");
}

TEST(TransformCommands, OneSequenceChangesOnlyItsBody) {
  TProgramDocument doc;
  TCountingHooks hooks;
  doc.SetHooks(&hooks);
  doc.m_Program = TwoSequences();
  TTransformer t;
  TTransformRequest r;
  r.evOp = ETransformOp::eShift;
  r.bRelative = true;
  r.fX = 1;
  EXPECT_TRUE(TransformSequence(doc, t, 2, r));
  TStringList want = TwoSequences();
  want[8] = "    MOVEABS(21,0)";
  EXPECT_EQ(doc.m_Program, want);
  EXPECT_EQ(hooks.nSaves, 1);
  EXPECT_FALSE(TransformSequence(doc, t, 9, r));
  // A line that cannot be transformed is named by its program line; nothing changes.
  doc.m_Program[4] = "    MOVE(1,2,3)";
  want[4] = doc.m_Program[4];
  try {
    TransformSequence(doc, t, 1, r);
    ADD_FAILURE();
  } catch (const ETransformError& e) {
    EXPECT_EQ(e.nLine, 4);
    EXPECT_NE(TransformErrorMessage(e).find("Line 5 cannot be transformed"), std::string::npos);  // from 1
  }
  EXPECT_EQ(doc.m_Program, want);
  EXPECT_EQ(hooks.nSaves, 1);
}

TEST(TransformCommands, ReverseAllReversesTheSequencesAndTheirOrder) {
  TProgramDocument doc;
  doc.m_Program = TwoSequences();
  TTransformer t;
  TScriptedPrompts p;
  ASSERT_TRUE(TransformAll(doc, t, TTransformRequest{}, &p));
  EXPECT_EQ(doc.m_Program,
            (TStringList{"' head", "'$StartSeq(2)", "cadseq2:", "    MOVEABS(20,5)", "    MOVE(0,-5)",
                         "'$EndSeq(2)", "'$StartSeq(1)", "cadseq1:", "    MOVEABS(10,0)",
                         "    MOVE(-10,0)", "'$EndSeq(1)"}));
  // An error in the second sequence leaves the first unreversed too.
  doc.m_Program = TwoSequences();
  doc.m_Program[9] = "    MOVE(0,5,1)";
  TStringList before = doc.m_Program;
  try {
    TransformAll(doc, t, TTransformRequest{}, &p);
    ADD_FAILURE();
  } catch (const ETransformError& e) {
    EXPECT_EQ(e.nLine, 9);
  }
  EXPECT_EQ(doc.m_Program, before);
  // A bad sequence number refuses with a message and changes nothing.
  doc.m_Program[6] = "'$StartSeq(x)";
  before = doc.m_Program;
  EXPECT_FALSE(TransformAll(doc, t, TTransformRequest{}, &p));
  EXPECT_EQ(doc.m_Program, before);
}

TEST(TransformCommands, ShiftAllUsesTheProgramsFirstStart) {
  TProgramDocument doc;
  doc.m_Program = TwoSequences();
  TTransformer t;
  TTransformRequest r;
  TScriptedPrompts p;
  ASSERT_TRUE(ShiftFromText("5", "5", false, r, &p));
  ASSERT_TRUE(TransformAll(doc, t, r, &p));
  EXPECT_EQ(doc.m_Program[3], "    MOVEABS(5,5)");
  EXPECT_EQ(doc.m_Program[8], "    MOVEABS(25,5)");
}

TEST(TransformCommands, OpenedProgramsGetLookAheadAndCanonicalForm) {
  TStringList p{"move(1,2)", "  MOVECIRCSP(1,0,0.5,0,0)", "MOVE(1,2,3)"};
  TTransformer t;
  TLookAheadChoices c;
  c.b_MOsp = true;
  PrepareOpenedProgram(p, c, t);
  EXPECT_EQ(p, (TStringList{"    MOVE(1,2)", "    MOVECIRC(1,0,0.5,0,0)", "    MOVESP(1,2,3)"}))
      << "lower case is not converted, but the rewrite makes it canonical";
}

}  // namespace
}  // namespace veltrane
