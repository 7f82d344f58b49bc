// Statement vocabulary: classification, parameter splitting, labels, word replacement,
// the normaliser and its tables.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

#include "model/BasicParser.h"
#include "model/IntList.h"
#include "model/NumberFormat.h"
#include "model/Statements.h"
#include "model/Text.h"
#include "model/WideText.h"

using namespace veltrane;

TEST(CommandType, ClassifiesWordsAndShortForms) {
  struct Case {
    const char* word;
    ECommandType kind;
  } cases[] = {
      {"ba", eCmd_Base},          {"BA", eCmd_Base},           {"Base", eCmd_Base},
      {"MOVEABSSP", eCmd_MoveAbsSP}, {"MOVEABS", eCmd_MoveAbs}, {"ma", eCmd_MoveAbs},
      {"MOVE", eCmd_Move},        {"mo", eCmd_Move},           {"MOVECIRC", eCmd_MoveCirc},
      {"mc", eCmd_MoveCirc},      {"mhelical", eCmd_MHelical}, {"MH", eCmd_MHelical},
      {"MOVESP", eCmd_MoveSP},    {"movecircsp", eCmd_MoveCircSP}, {"MCSP", eCmdUnknown},
      {"'$EndSeq", eCmd_EndSeq},  {"'$ENDSEQ", eCmd_EndSeq},   {"'$StartSeq", eCmdUnknown},
      {"'comment", eCmdUnknown},  {"cadseq3:", eCmd_Label},    {":", eCmd_Label},
      {"MOVEA", eCmdUnknown},     {"  MOVE  ", eCmd_Move},     {"", eCmdUnknown},
  };
  for (const auto& c : cases) EXPECT_EQ(CommandTypeFromString(c.word), c.kind) << c.word;
}

TEST(CommandType, WholeLines) {
  // "(" in the first column ends no word.
  for (const auto& [strLine, evType] : {std::pair{"    MOVEABS(10,20.5)", eCmd_MoveAbs}, {"'$EndSeq(4)", eCmd_EndSeq},
                                        {"cadseq12: MOVE(1,2)", eCmd_Label}, {"(1,2)", eCmdUnknown}})
    EXPECT_EQ(CommandTypeOfLine(strLine), evType) << strLine;
  EXPECT_EQ(CommandWordFromString("  MOVE (1,2)"), "MOVE");
  EXPECT_EQ(CommandWordFromString("(MOVE"), "(MOVE");
}

TEST(CommandType, WordsFromKinds) {
  const char* expected[] = {"'Unknown Command!!!", "'", ":", "BASE", "MOVEABS", "MOVE",
                            "MOVECIRC", "MHELICAL", "MOVEABSSP", "MOVESP", "MOVECIRCSP",
                            "'Unknown Command!!!"};
  for (int i = 0; i <= 11; ++i) EXPECT_EQ(CommandWordFromType(i), expected[i]) << i;
  EXPECT_EQ(CommandWordFromType(99), "'Unknown Command!!!");
}

TEST(Parameters, SplittingCorners) {
  struct Case {
    const char* line;
    TStringList params;
  } cases[] = {
      {"MOVEABS(offset_x+10,offset_y+20)", {"10", "20"}},
      {"MOVE()", {}},
      {"MOVE(5)", {"5"}},
      {"MOVE 5", {}},
      {"MOVE(", {}},
      {"MOVE(1,)", {"1"}},
      {"MOVE(1,2", {"1"}},
      {"MOVE(1,2) trailing(3,4)", {"1", "2) trailing(3", "4"}},
      {"  MOVE( 1 , 2 )  ", {" 1 ", " 2 "}},
      {"MOVECIRC(10,0,5,0,1)", {"10", "0", "5", "0", "1"}},
      {"MOVE(1.5e+3,a+b+2)", {"1.5e+3", "b+2"}},
      {"MOVE(+5,-2E+1)", {"5", "-2E+1"}},
  };
  TStringList out;
  for (const auto& c : cases) {
    ExtractParameterString(c.line, out);
    EXPECT_EQ(out, c.params) << c.line;
    // The first ones only, when fewer are wanted: the same first ones.
    for (size_t nMax : {size_t{0}, size_t{1}, size_t{2}}) {
      ExtractParameterString(c.line, out, nMax);
      EXPECT_EQ(out, TStringList(c.params.begin(), c.params.begin() + std::min(nMax, c.params.size()))) << c.line;
    }
  }
}

TEST(Parameters, ExponentSignIsNotAnOffsetTerm) {
  for (const auto& [strIn, strOut] : {std::pair{"1e+5", "1e+5"}, {".5E+2", ".5E+2"}, {"offset_e+5", "5"}, {"x1e+5", "5"}})
    EXPECT_EQ(ReduceParameter(strIn), strOut) << strIn;
  EXPECT_DOUBLE_EQ(StrToFloat(ReduceParameter("1e+5")), 1e5);
}

TEST(Labels, ScanRules) {
  const std::pair<const char*, bool> lines[] = {{"cadseq12:", true},  {"cadseq12: MOVE(1,2)", true},
                                                {":", true},          {"  app_seq9:  ", true},
                                                {"GOTO x:", false},   {"'$StartSeq(1)", false},
                                                {"cadseq3 :", false}, {"cadseq3", false},
                                                {"", false}};
  for (const auto& [strLine, bLabel] : lines) EXPECT_EQ(IsProgramLabel(strLine), bLabel) << strLine;
  EXPECT_TRUE(IsComment("  :x"));
  EXPECT_FALSE(IsComment("x:"));
  EXPECT_EQ(CommandTypeFromString(":x"), eCmd_Label);  // the label test comes first
}

TEST(Separators, ExactSet) {
  std::set<int> expected = {0, ' ', '!', '&', '(', ')', '*', '+', ',', '-', '/', ';', '<', '=', '>', '|'};
  for (int c = 0; c < 256; ++c)
    EXPECT_EQ(IsBASICSeperator(static_cast<char>(c)), expected.count(c) == 1) << c;
}

TEST(ReplaceWord, WholeWordsOnly) {
  TStringList l = {"GOTO cadseq1", "GOTO cadseq12", "cadseq1:", "x=cadseq1+1", "cadseq1cadseq1",
                   "IF a THEN GOSUB cadseq1"};
  ReplaceWordInStatements("cadseq1", "appseq4", l);
  EXPECT_EQ(l, (TStringList{"GOTO appseq4", "GOTO cadseq12", "cadseq1:", "x=appseq4+1",
                            "cadseq1cadseq1", "IF a THEN GOSUB appseq4"}));
  TStringList grow = {"a a a"};
  ReplaceWordInStatements("a", "aa", grow);  // a replacement containing the word terminates
  EXPECT_EQ(grow[0], "aa aa aa");
  ReplaceWordInStatements("GOTO", "goto", l);
  EXPECT_EQ(l[0], "goto appseq4");
}

TEST(PointValues, CircularAndStraight) {
  EXPECT_DOUBLE_EQ(GetPointValueX("    MOVEABS(offset_x+10,offset_y+20)"), 10);
  EXPECT_DOUBLE_EQ(GetPointValueY("    MOVEABS(offset_x+10,offset_y+20)"), 20);
  EXPECT_DOUBLE_EQ(GetPointValueX("MOVECIRC(10,0,5,-2.5,1)"), 5);
  EXPECT_DOUBLE_EQ(GetPointValueY("MOVECIRCSP(10,0,5,-2.5,1)"), -2.5);
  EXPECT_EQ(GetCircleDir("  MOVECIRC(10,0,5,0,1)"), 1);
  EXPECT_EQ(GetCircleDir("MOVECIRC(10,0,5,0,0)"), 0);
  EXPECT_THROW(GetCircleDir("MOVE(1,2)"), EConvertError);
  EXPECT_THROW(GetPointValueY("MOVE(1)"), EConvertError);
  EXPECT_THROW(GetPointValueX("MOVE(x,2)"), EConvertError);
  EXPECT_EQ(GetPointValueX("movecirc(1,2,3,4,1)"), 1);  // lower case is not circular
  EXPECT_EQ(LastPos('\\', "C:\\a\\b.bas"), 5);
  EXPECT_EQ(LastPos('x', "abc"), 0);
  EXPECT_EQ(MaxDoubleNumber(1, 2), 2);
}

TEST(Normaliser, Examples) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"ma(1,2)", "MOVEABS(1,2)"},
      {"Move(X, y)", "MOVE(x, y)"},
      {"speed=100", "SPEED=100"},
      {"Cadseq1:", "cadseq1:"},
      {"'$StartSeq(1)", "'$StartSeq(1)"},
      {"  ' Mixed Case comment", "  ' Mixed Case comment"},
      {"dpos axis(0)", "DPOS AXIS(0)"},
      {"x=1.5E3", "x=1.5e3"},
      {"Offset_X", "offset_x"},
      {"co", "CONNECT"},
      {"cos(a)", "COS(a)"},
      {"\tmo(1,2)", "\tMOVE(1,2)"},
      {"", ""},
      {"print \"Hello World\"", "PRINT \"hello world\""},
      {"next i", "NEXT i"},
      {"mircostep=1", "MIRCOSTEP=1"},
      {"a  ,, b", "a  ,, b"},
      {"get# 5", "GET# 5"},
      {"get#5", "get#5"},
  };
  TBASICParser parser;
  for (const auto& c : cases) {
    std::string s = c.in;
    parser.ParseLine(s);
    EXPECT_EQ(s, c.out) << c.in;
  }
}

TEST(Normaliser, LongLinesAreProcessedWhole) {
  std::string s;
  for (int i = 0; i < 200; ++i) s += "ma(1,2) ";
  TBASICParser().ParseLine(s);
  EXPECT_EQ(s.find("ma("), std::string::npos);
  EXPECT_EQ(s.substr(s.size() - 13), "MOVEABS(1,2) ");
}

TEST(Normaliser, TablesAsListed) {
  EXPECT_STREQ(c_CommandList.front().Command, "MOVE");
  EXPECT_STREQ(c_CommandList[2].Command, "MOVECIRC");
  EXPECT_STREQ(c_CommandList.back().Command, "VP_SPEED");
  int nNext = 0, nOn = 0;
  for (size_t i = 0; i < c_CommandList.size(); ++i) {
    EXPECT_EQ(c_CommandList[i].nArguments, i < 3 ? 2 : -1);
    nNext += std::string(c_CommandList[i].Command) == "NEXT";
    nOn += std::string(c_CommandList[i].Command) == "ON";
  }
  EXPECT_EQ(nNext, 2);
  EXPECT_EQ(nOn, 4);  // the table as listed holds ON four times
  EXPECT_STREQ(c_EquivList[11].NormalCommand, "RAPIDSTOP");
}

TEST(IntList, GrowthRuleAndErrors) {
  TIntList l;
  std::vector<int> caps;
  for (int i = 0; i < 40; ++i) {
    EXPECT_EQ(l.Add(i * 3), i);
    caps.push_back(l.Capacity());
  }
  EXPECT_EQ(caps[0], 4);
  EXPECT_EQ(caps[4], 8);   // 4 -> 8
  EXPECT_EQ(caps[8], 16);  // 8 -> 16
  EXPECT_EQ(caps[16], 32);
  EXPECT_EQ(l.Get(39), 117);
  l.Delete(0);
  EXPECT_EQ(l.Count(), 39);
  EXPECT_EQ(l.Get(0), 3);
  try {
    l.Get(39);
    FAIL();
  } catch (const EListError& e) {
    EXPECT_STREQ(e.what(), "List index out of bounds (39)");
  }
  EXPECT_THROW(l.Get(-1), EListError);
  try {
    l.SetCapacity(2);
    FAIL();
  } catch (const EListError& e) {
    EXPECT_STREQ(e.what(), "List capacity out of bounds (2)");
  }
  EXPECT_THROW(l.SetCount(-1), EListError);
  EXPECT_THROW(l.SetCount(TIntList::c_nMaxListSize), EListError);
  l.SetCount(50);
  EXPECT_EQ(l.Get(49), 0);
  l.SetCount(2);
  l.SetCount(5);
  EXPECT_EQ(l.Get(4), 0);  // slots grown again are zero
  l.Clear();
  EXPECT_EQ(l.Count(), 0);
  EXPECT_EQ(l.Capacity(), 0);
}

// Wide programs: known byte sequences of "A€😀" in each form (a character beyond the
// 16-bit plane included), recognised with and without a byte-order mark, and random text
// through every form and back.
TEST(WideText, KnownBytesAndRoundTrips) {
  const std::string text = "A\xE2\x82\xAC\xF0\x9F\x98\x80";
  struct TCase {
    EWideForm evForm;
    std::string strBytes;
  };
  const TCase cases[] = {
      {EWideForm::eUtf16LE, std::string("\x41\x00\xAC\x20\x3D\xD8\x00\xDE", 8)},
      {EWideForm::eUtf16BE, std::string("\x00\x41\x20\xAC\xD8\x3D\xDE\x00", 8)},
      {EWideForm::eUtf32LE, std::string("\x41\x00\x00\x00\xAC\x20\x00\x00\x00\xF6\x01\x00", 12)},
      {EWideForm::eUtf32BE, std::string("\x00\x00\x00\x41\x00\x00\x20\xAC\x00\x01\xF6\x00", 12)},
  };
  const std::string boms[] = {"\xFF\xFE", "\xFE\xFF", std::string("\xFF\xFE\x00\x00", 4), std::string("\x00\x00\xFE\xFF", 4)};
  for (size_t i = 0; i < std::size(cases); ++i) {
    const TCase& c = cases[i];
    for (const bool bBom : {false, true}) {
      const TWideText f{c.evForm, bBom};
      const std::string bytes = (bBom ? boms[i] : std::string()) + c.strBytes;
      EXPECT_EQ(Utf8ToWide(text, f), bytes) << f.Name() << bBom;
      EXPECT_EQ(WideToUtf8(bytes, f), text) << f.Name() << bBom;
      // Without a mark the form is seen from the ASCII characters a program begins with.
      const TWideText seen = RecogniseWideText(bBom ? bytes : Utf8ToWide("MOVE(1,2)" + text, f));
      EXPECT_EQ(seen.evForm, c.evForm) << f.Name() << bBom;
      EXPECT_EQ(seen.bByteOrderMark, bBom) << f.Name();
    }
  }
  EXPECT_FALSE(RecogniseWideText("MOVE(1,2)\r\n").Wide());
  EXPECT_FALSE(RecogniseWideText("\xEF\xBB\xBFMOVE(1,2)").Wide());
  // A lone surrogate and a cut unit become U+FFFD, never bytes that are no UTF-8.
  EXPECT_EQ(WideToUtf8(std::string("\x3D\xD8\x41\x00\x42", 5), {EWideForm::eUtf16LE, false}),
            "\xEF\xBF\xBD" "A\xEF\xBF\xBD");
  std::mt19937 rng(9122026);
  for (int n = 0; n < 3000; ++n) {
    std::string s;
    const int nChars = static_cast<int>(rng() % 40);
    for (int k = 0; k < nChars; ++k) {
      uint32_t c = rng() % 4 == 0 ? 0x10000 + rng() % 0x100000 : 1 + rng() % 0xD7FF;
      if (c < 0x80) s += static_cast<char>(c);
      else if (c < 0x800) s += {static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F))};
      else if (c < 0x10000)
        s += {static_cast<char>(0xE0 | (c >> 12)), static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
              static_cast<char>(0x80 | (c & 0x3F))};
      else
        s += {static_cast<char>(0xF0 | (c >> 18)), static_cast<char>(0x80 | ((c >> 12) & 0x3F)),
              static_cast<char>(0x80 | ((c >> 6) & 0x3F)), static_cast<char>(0x80 | (c & 0x3F))};
    }
    const TWideText f{static_cast<EWideForm>(1 + n % 4), n % 3 == 0};
    EXPECT_EQ(WideToUtf8(Utf8ToWide(s, f), f), s) << f.Name();
  }
}

// The normaliser looks keywords up by their upper-case spelling; a plain walk through the
// tables in their order, word by word, gives the same lines (every keyword in random
// letter case, words of neither table, separators, comments).
TEST(Normaliser, LookUpGivesWhatTheTablesInOrderGive) {
  auto plain = [](std::string line) {
    size_t i = 0;
    std::string out;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) out += line[i++];
    if (i < line.size() && line[i] == '\'') return out + line.substr(i);
    while (i < line.size()) {
      const size_t start = i;
      while (i < line.size() && !IsBASICSeperator(line[i])) ++i;
      const std::string word = line.substr(start, i - start);
      if (!word.empty()) {
        const char* r = nullptr;
        for (const auto& row : c_EquivList)
          if (!r && SameText(word, row.Command)) r = row.NormalCommand;
        for (const auto& row : c_CommandList)
          if (!r && SameText(word, row.Command)) r = row.Command;
        out += r ? std::string(r) : LowerCase(word);
      }
      if (i < line.size()) out += line[i++];
    }
    return out;
  };
  std::vector<std::string> words;
  for (const auto& row : c_EquivList) words.push_back(row.Command);
  for (const auto& row : c_CommandList) words.push_back(row.Command);
  for (const char* w : {"cadseq1:", "offset_x", "x", "1.5E3", "MOVEABSX", "Ab", "", "ZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZ"})
    words.push_back(w);
  const std::string seps = " (),=+-*/<>:\t";
  std::mt19937 rng(10122026);
  TBASICParser parser;
  for (int n = 0; n < 20000; ++n) {
    std::string line = n % 50 == 0 ? "  '" : "";
    const int nWords = 1 + static_cast<int>(rng() % 6);
    for (int k = 0; k < nWords; ++k) {
      std::string w = words[rng() % words.size()];
      for (char& c : w)
        if (rng() % 2) c = LowerChar(c);
      line += w + seps[rng() % seps.size()];
    }
    std::string fast = line;
    parser.ParseLine(fast);
    EXPECT_EQ(fast, plain(line)) << line;
  }
}
