// Sequence structure: current sequence, extraction and return, copying, numbering,
// renumbering of appended text, reordering and deleting, on programs with odd markup.
#include <gtest/gtest.h>

#include <tuple>

#include "model/ProgramDocument.h"
#include "model/SequenceMarkup.h"
#include "model/Text.h"

using namespace veltrane;

namespace {

// A program as translation writes it: a header, one layer, three sequences.
TStringList ThreeSequences() {
  return {"' header", "'$Layer0:WALLS", "'$StartSeq(1)", "cadseq1:", "    MOVEABS(0,0)", "    MOVE(10,0)",
          "'$EndSeq(1)", "", "'$StartSeq(2)", "cadseq2:", "    MOVEABS(20,0)", "    MOVE(0,10)",
          "    MOVE(-5,0)", "'$EndSeq(2)", "", "'$StartSeq(3)", "cadseq3:", "    MOVEABS(30,5)",
          "    MOVECIRC(10,0,5,0,1)", "'$EndSeq(3)", "'$EndLayer0:WALLS", ""};
}

struct THookLog : IDocumentHooks {
  int nUndo = 0, nBegin = 0, nEnd = 0;
  void SaveForUndo() override { ++nUndo; }
  void BeginBulkEdit() override { ++nBegin; }
  void EndBulkEdit() override { ++nEnd; }
};

class Sequences : public ::testing::Test {
 protected:
  void SetUp() override {
    doc.m_Program = ThreeSequences();
    doc.SetPrompts(&prompts);
    doc.SetHooks(&hooks);
  }
  int32_t CurrentAt(int32_t nLine) {
    doc.m_nCaretLine = nLine;
    return doc.CalculateCurrentSequence();
  }
  TProgramDocument doc;
  TScriptedPrompts prompts;
  THookLog hooks;
};

}  // namespace

// Per program, caret lines and the sequence each is in, asked in this order.
TEST_F(Sequences, CurrentSequenceFollowsTheCaret) {
  const std::vector<std::pair<TStringList, std::vector<std::pair<int32_t, int32_t>>>> cases = {
      // A start marker is judged by the lines above it (2), the label is in (3), the end marker
      // belongs to its sequence (6), the lines after it (7) and the next start marker (8) not.
      {ThreeSequences(), {{0, 0}, {2, 0}, {3, 1}, {6, 1}, {7, 0}, {8, 0}, {12, 2}, {-1, 0}, {1000, 0}}},
      {{"'$StartSeq(5)", "x", "'$startseq(6) lower", "y"}, {{1, 5}, {1, 5}, {0, 0}, {3, 6}}},
      // Indented markers are not seen here (1); ten characters hold no closing bracket and no
      // integer (5).
      {{"  '$StartSeq(5)", "x", "'$StartSeq(abc)", "y", "'$StartSeq(99999999999)", "z"}, {{1, 0}, {3, 0}, {5, 0}}},
  };
  for (const auto& [program, carets] : cases) {
    doc.m_Program = program;
    for (const auto& [nLine, nSequence] : carets)
      EXPECT_EQ(CurrentAt(nLine), nSequence) << program[0] << ", line " << nLine;
  }
}

TEST_F(Sequences, TakeOutAndPutBack) {
  doc.m_EndPointList.resize(doc.m_Program.size());
  for (size_t i = 0; i < doc.m_EndPointList.size(); ++i)
    doc.m_EndPointList[i].nPixelLength = static_cast<int32_t>(i);
  TStringList before = doc.m_Program;
  ASSERT_TRUE(doc.GetSequenceFromProgram(2));
  EXPECT_EQ(doc.m_nTransformationInsertLine, 10);
  EXPECT_EQ(doc.m_TransformationList,
            (TStringList{"    MOVEABS(20,0)", "    MOVE(0,10)", "    MOVE(-5,0)"}));
  ASSERT_EQ(doc.m_TransformationEndPointList.size(), 3u);
  EXPECT_EQ(doc.m_TransformationEndPointList[2].nPixelLength, 12);
  EXPECT_EQ(doc.m_Program[9], "cadseq2:");
  EXPECT_EQ(doc.m_Program[10], "'$EndSeq(2)");  // only markers and label are left
  doc.ReturnSequenceToProgram();
  EXPECT_EQ(doc.m_Program, before);
  EXPECT_TRUE(doc.m_TransformationList.empty());
  EXPECT_EQ(std::tie(hooks.nBegin, hooks.nEnd), std::make_tuple(1, 1));
}

TEST_F(Sequences, CheckModeCopiesWithoutRemoving) {
  TStringList before = doc.m_Program;
  ASSERT_TRUE(doc.GetSequenceFromProgram(3, true));
  EXPECT_EQ(doc.m_Program, before);
  EXPECT_EQ(doc.m_TransformationList.size(), 2u);
  EXPECT_EQ(doc.m_nTransformationInsertLine, 17);
}

TEST_F(Sequences, ExtractionFailures) {
  doc.m_nTransformationInsertLine = 5;
  EXPECT_FALSE(doc.GetSequenceFromProgram(0));
  EXPECT_EQ(doc.m_nTransformationInsertLine, 5);  // below 1 nothing happens
  EXPECT_FALSE(doc.GetSequenceFromProgram(9));
  EXPECT_EQ(doc.m_nTransformationInsertLine, -1);
  doc.m_TransformationList = {"x"};
  TStringList before = doc.m_Program;
  doc.ReturnSequenceToProgram();  // nothing to return to
  EXPECT_EQ(doc.m_Program, before);
  // Label at the very end: the body would begin past the last line.
  doc.m_Program = {"'$StartSeq(1)", "cadseq1:"};
  EXPECT_FALSE(doc.GetSequenceFromProgram(1));
  // Indented marker is not found by extraction.
  doc.m_Program = {" '$StartSeq(1)", "cadseq1:", "MOVE(1,1)", "'$EndSeq(1)"};
  EXPECT_FALSE(doc.GetSequenceFromProgram(1));
}

TEST_F(Sequences, MissingLabelTakesBodyAfterNextColonLine) {
  doc.m_Program = {"'$StartSeq(1)", "    MOVEABS(0,0)", "x=1: y=2", "    MOVE(1,0)", "'$EndSeq(1)"};
  ASSERT_TRUE(doc.GetSequenceFromProgram(1));
  EXPECT_EQ(doc.m_TransformationList, TStringList{"    MOVE(1,0)"});
  // An empty body is found and returns nothing.
  doc.m_Program = {"'$StartSeq(1)", "cadseq1:", "'$EndSeq(1)"};
  ASSERT_TRUE(doc.GetSequenceFromProgram(1));
  EXPECT_TRUE(doc.m_TransformationList.empty());
  EXPECT_EQ(doc.m_nTransformationInsertLine, 2);
}

TEST_F(Sequences, LowerCaseMarkersFoundEverywhere) {
  doc.m_Program = {"'$startseq(3)", "cadseq3:", "    MOVEABS(1,2)", "'$endseq(3)", ""};
  EXPECT_TRUE(doc.GetSequenceFromProgram(3, true));
  EXPECT_TRUE(doc.GetSequenceStringFromProgram(3));
  EXPECT_EQ(doc.NextSequenceNumber(), 4);
  TStringList numbers;
  EXPECT_TRUE(GetSequenceNumberList(doc.m_Program, numbers, &prompts));
  EXPECT_EQ(numbers, TStringList{"3"});
  doc.DeleteSequence(3);
  EXPECT_TRUE(doc.m_Program.empty());
}

TEST_F(Sequences, CopyWholeSequence) {
  ASSERT_TRUE(doc.GetSequenceStringFromProgram(3));
  const TStringList three{"'$StartSeq(3)", "cadseq3:", "    MOVEABS(30,5)", "    MOVECIRC(10,0,5,0,1)", "'$EndSeq(3)"};
  EXPECT_EQ(doc.m_CopyList, three);
  EXPECT_EQ(doc.m_SeqStart, (TfPoint{30, 5}));
  EXPECT_FALSE(doc.GetSequenceStringFromProgram(8));
  EXPECT_EQ(doc.m_CopyList, three);  // a failed copy keeps the old one
}

TEST(SequenceNumbers, NextNumber) {
  EXPECT_EQ(NextSequenceNumber({}), 1);
  EXPECT_EQ(NextSequenceNumber({"MOVE(1,2)"}), 1);
  EXPECT_EQ(NextSequenceNumber({"'$StartSeq(4)", "  '$StartSeq(7)", "'$StartSeq(x)", "'$StartSeq(2)"}), 8);
  EXPECT_EQ(NextSequenceNumber({"'$StartSeq(-3)"}), 1);
}

TEST(SequenceNumbers, RenumberAppendedText) {
  TStringList l = {"' appended", "'$StartSeq(1)", "cadseq1:", "    MOVEABS(0,0)", "    GOTO cadseq1",
                   "'$EndSeq(1)", "", "  '$StartSeq(2)", "cadseq2: MOVE(1,1)", "inner:", "    GOSUB inner",
                   "'$EndSeq(2)", "between:", "GOTO cadseq12"};
  RenumberSequences(8, l);
  EXPECT_EQ(l, (TStringList{"' appended", "'$StartSeq(8)", "appseq8:", "    MOVEABS(0,0)", "    GOTO appseq8",
                            "'$EndSeq(8)", "", "'$StartSeq(9)", "appseq9: MOVE(1,1)", "appseq9:",
                            "    GOSUB appseq9", "'$EndSeq(9)", "appseq10:", "GOTO cadseq12"}));
  TStringList plain = {"MOVE(1,2)", "label:"};
  RenumberSequences(3, plain);  // no markers: unchanged
  EXPECT_EQ(plain, (TStringList{"MOVE(1,2)", "label:"}));
}

TEST_F(Sequences, ReorderMovesBlocksWithTheirTrailingLines) {
  bool bChanged = doc.ReorderSequences([](TStringList& order) {
    EXPECT_EQ(order, (TStringList{"1", "2", "3"}));
    order = {"3", "1", "2"};
    return true;
  });
  ASSERT_TRUE(bChanged);
  EXPECT_EQ(hooks.nUndo, 1);
  const TStringList& p = doc.m_Program;
  ASSERT_EQ(p.size(), ThreeSequences().size());
  // The layer's end marker travels with sequence 3.
  for (const auto& [i, strLine] : std::vector<std::pair<size_t, const char*>>{
           {0, "' header"}, {1, "'$Layer0:WALLS"}, {2, "'$StartSeq(3)"}, {6, "'$EndSeq(3)"},
           {7, "'$EndLayer0:WALLS"}, {9, "'$StartSeq(1)"}, {15, "'$StartSeq(2)"}})
    EXPECT_EQ(p[i], strLine) << i;
  EXPECT_EQ(doc.m_nCaretLine, -1);
}

TEST_F(Sequences, ReorderRefusals) {
  TStringList before = doc.m_Program;
  EXPECT_FALSE(doc.ReorderSequences([](TStringList&) { return false; }));  // cancelled
  EXPECT_FALSE(doc.ReorderSequences([](TStringList&) { return true; }));   // same order
  EXPECT_FALSE(doc.ReorderSequences([](TStringList& o) { o = {"1", "2"}; return true; }));
  EXPECT_FALSE(doc.ReorderSequences([](TStringList& o) { o = {"1", "2", "4"}; return true; }));
  EXPECT_EQ(doc.m_Program, before);
  EXPECT_EQ(hooks.nUndo, 0);
  doc.m_Program[8] = "'$StartSeq(1)";
  EXPECT_FALSE(doc.ReorderSequences([](TStringList&) { return true; }));
  ASSERT_EQ(prompts.Messages.size(), 1u);
  EXPECT_EQ(prompts.Messages[0].second, "Sequence 1 occurs more than once");
  doc.m_Program[8] = "'$StartSeq(0)";
  prompts.Messages.clear();
  EXPECT_FALSE(doc.ReorderSequences([](TStringList&) { return true; }));
  ASSERT_EQ(prompts.Messages.size(), 1u);
  EXPECT_EQ(prompts.Messages[0].second, "Invalid sequence number 0 on line 9");
  EXPECT_EQ(prompts.Messages[0].first, EMessageKind::eError);
}

TEST_F(Sequences, ReorderByClicks) {
  bool bDone = false;
  EXPECT_TRUE(doc.ReorderByClick(3, bDone));  // 3 first
  EXPECT_FALSE(bDone);
  EXPECT_FALSE(doc.ReorderByClick(1, bDone));  // 1 already second
  EXPECT_FALSE(bDone);
  EXPECT_FALSE(doc.ReorderByClick(99, bDone));  // a click beside every sequence
  EXPECT_FALSE(doc.ReorderByClick(2, bDone));
  EXPECT_TRUE(bDone);
  EXPECT_EQ(doc.m_nReorderNum, 0);
  TStringList numbers;
  GetSequenceNumberList(doc.m_Program, numbers, nullptr);
  EXPECT_EQ(numbers, (TStringList{"3", "1", "2"}));
}

TEST(SequenceSplit, ReverseKeepsTheHeaderFirst) {
  TSplitList split;
  ASSERT_TRUE(SplitProgramIntoSequences(ThreeSequences(), split, nullptr));
  ASSERT_EQ(split.size(), 4u);
  EXPECT_EQ(split[0], (TStringList{"' header", "'$Layer0:WALLS"}));
  ReverseSequenceOrder(split);
  TStringList p;
  CombineSplitSequencesIntoProgram(split, p);
  EXPECT_EQ(p[2], "'$StartSeq(3)");
  EXPECT_EQ(p.back(), "");
  // A program without sequences splits into its header alone.
  ASSERT_TRUE(SplitProgramIntoSequences({"a", "b"}, split, nullptr));
  EXPECT_EQ(split.size(), 1u);
}

TEST(SequenceSplit, ResortNeedsEveryNumber) {
  TSplitList split = {{"h"}, {"a"}, {"b"}};
  EXPECT_FALSE(ResortSequences({"1", "2"}, {"1", "1"}, split));
  EXPECT_FALSE(ResortSequences({"1", "2"}, {"2"}, split));
  EXPECT_TRUE(ResortSequences({"1", "2"}, {"2", "1"}, split));
  EXPECT_EQ(split, (TSplitList{{"h"}, {"b"}, {"a"}}));
}

TEST_F(Sequences, DeleteRemovesTrailingEmptyLinesButNotTheLayerEnd) {
  doc.m_OriginalList = ThreeSequences();
  doc.DeleteSequence(1);
  EXPECT_EQ(doc.m_Program[2], "'$StartSeq(2)");
  EXPECT_EQ(doc.m_OriginalList[2], "'$StartSeq(2)");
  EXPECT_EQ(hooks.nUndo, 1);
  doc.DeleteSequence(3);
  EXPECT_EQ(doc.m_Program.back(), "");
  EXPECT_EQ(doc.m_Program[doc.m_Program.size() - 2], "'$EndLayer0:WALLS");
  doc.DeleteSequence(42);  // missing: nothing happens, nothing saved
  EXPECT_EQ(hooks.nUndo, 2);
  doc.m_Program = {"'$StartSeq(1)", "cadseq1:", "MOVE(1,1)"};  // no end marker
  doc.DeleteSequence(1);
  EXPECT_TRUE(doc.m_Program.empty());
}

TEST_F(Sequences, ParallelCopies) {
  doc.m_ListWithoutCmp = ThreeSequences();
  doc.m_OriginalList = ThreeSequences();
  ASSERT_TRUE(doc.GetFromListWithoutCmp(1, true));
  EXPECT_EQ(doc.m_ListWithoutCmp.size(), ThreeSequences().size());
  ASSERT_TRUE(doc.GetFromListWithoutCmp(1, false));
  EXPECT_EQ(doc.m_ListWithoutCmp.size(), ThreeSequences().size() - 2);
  EXPECT_EQ(doc.m_TransformationList.size(), 2u);
  doc.m_nTransformationInsertLine = 77;
  ASSERT_TRUE(doc.GetSequenceFromOriginalProgram(2));
  EXPECT_EQ(doc.m_TransformationList.size(), 3u);
  EXPECT_EQ(doc.m_OriginalList.size(), ThreeSequences().size());
  EXPECT_EQ(doc.m_nTransformationInsertLine, 77);  // the copies never set the insert line
}

// A marker of sequence n: the marker's text in any case, the number, ")" (what follows does
// not matter), as a line starting with the marker made for n.
TEST(SequenceNumbers, MarkerOfANumber) {
  const std::pair<const char*, bool> lines[] = {
      {"'$StartSeq(12)", true},  {"'$STARTSEQ(12) note", true}, {"'$StartSeq(123)", false},
      {"'$StartSeq(1)", false},  {"'$StartSeq(12", false},      {" '$StartSeq(12)", false},
      {"'$EndSeq(12)", false},   {"'$StartSeq(-12)", false}};
  for (const auto& [strLine, bIs] : lines) {
    EXPECT_EQ(IsStartMarkerOf(strLine, 12), bIs) << strLine;
    EXPECT_EQ(IsStartMarkerOf(strLine, 12), StartsWithText(strLine, StartMarker(12)));
  }
  EXPECT_TRUE(IsEndMarkerOf("'$endseq(7)", 7));
  EXPECT_TRUE(IsStartMarkerOf("'$StartSeq(-3)", -3));
  EXPECT_FALSE(IsEndMarkerOf("'$EndSeq(70)", 7));
}
