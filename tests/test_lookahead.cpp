// Look-ahead conversion both ways, and what it leaves alone.
#include <gtest/gtest.h>

#include "tools/LookAhead.h"

using namespace veltrane;

TEST(LookAhead, LineBothWays) {
  TStringList p = {"    MOVE(1,2) ' to the corner", "  MOVEABS(0,0)", "MOVECIRC(1,0,0.5,0,1)", "move(1,1)",
                   "MOVESPEED=3", "\tMOVE(", "MOVESP(4,4)"};
  LookAheadLine(p);
  EXPECT_EQ(p, (TStringList{"    MOVESP(1,2) ' to the corner", "  MOVEABS(0,0)", "MOVECIRC(1,0,0.5,0,1)", "move(1,1)",
                            "MOVESPEED=3", "    MOVESP(", "MOVESP(4,4)"}));
  RecoverLookAheadLine(p);
  EXPECT_EQ(p[0], "    MOVE(1,2) ' to the corner");
  EXPECT_EQ(p[4], "MOVESPEED=3");  // a word that begins with MOVESP is no statement
  EXPECT_EQ(p[6], "    MOVE(4,4)");
}

TEST(LookAhead, ApplyAllChoices) {
  TStringList p = {"    MOVEABS(0,0)", "    MOVE(1,0)", "    MOVECIRCSP(0,0,1,0,1)"};
  ApplyLookAhead(p, TLookAheadChoices{false, true, false});
  EXPECT_EQ(p, (TStringList{"    MOVEABSSP(0,0)", "    MOVE(1,0)", "    MOVECIRC(0,0,1,0,1)"}));
  ApplyLookAhead(p, TLookAheadChoices{true, false, true});
  EXPECT_EQ(p, (TStringList{"    MOVEABS(0,0)", "    MOVESP(1,0)", "    MOVECIRCSP(0,0,1,0,1)"}));
}

// All three choices in one pass give what the three conversions give one after another.
TEST(LookAhead, OnePassMatchesTheConversionsInTurn) {
  const TStringList lines = {"MOVEABS(0,0)", "  MOVEABSSP(1,1)", "MOVECIRC(0,0,1,0,1)", "\tMOVECIRCSP(2,0,1,0,0)",
                             "MOVE(1,0)",    "MOVESP(2,0)",      "MOVESPEED=3",         "MOVEA(1)",
                             "MOVE",         "",                 " ' MOVE(1,1)",        "MOVECIRCSP("};
  for (int k = 0; k < 8; ++k) {
    const TLookAheadChoices c{(k & 1) != 0, (k & 2) != 0, (k & 4) != 0};
    TStringList a = lines, b = lines;
    ApplyLookAhead(a, c);
    c.b_MAsp ? LookAheadSequenceStart(b) : RecoverLookAheadSequenceStart(b);
    c.b_MCsp ? LookAheadCircle(b) : RecoverLookAheadCircle(b);
    c.b_MOsp ? LookAheadLine(b) : RecoverLookAheadLine(b);
    EXPECT_EQ(a, b) << "choices " << k;
  }
}
