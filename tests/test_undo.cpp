// Undo: keyboard edit records with their merge rules, snapshots, and the combined history.
#include <gtest/gtest.h>

#include "model/UndoList.h"

using namespace veltrane;

namespace {

// A text with a selection, as the editor shows it; line breaks are CR LF.
class TTextModel : public IEditorText {
 public:
  explicit TTextModel(std::string s = "") : text(std::move(s)) {}
  int32_t SelStart() const override { return start; }
  int32_t SelLength() const override { return length; }
  std::string SelText() const override { return text.substr(static_cast<size_t>(start), static_cast<size_t>(length)); }
  void SetSelection(int32_t s, int32_t l) override {
    start = s;
    length = l;
  }
  void ReplaceSelection(const std::string& t) override {
    text.replace(static_cast<size_t>(start), static_cast<size_t>(length), t);
    start += static_cast<int32_t>(t.size());
    length = 0;
  }
  char CharAt(int32_t p) const override {
    return p >= 0 && p < static_cast<int32_t>(text.size()) ? text[static_cast<size_t>(p)] : 0;
  }
  std::string text;
  int32_t start = 0, length = 0;
};

// Types like a keyboard: KeyDown, then the editor's own change, then KeyPress.
void Type(TEditUndo& u, TTextModel& t, const std::string& s) {
  for (char c : s) {
    int vk = c == ' ' ? 32 : (c >= 'a' && c <= 'z') ? c - 32 : c;
    u.KeyDown(vk, false, false, t);
    t.ReplaceSelection(std::string(1, c));
    u.KeyPress(c);
  }
}

void Key(TEditUndo& u, TTextModel& t, int vk) {
  u.KeyDown(vk, false, false, t);
  if (vk == 8 || vk == 46) t.ReplaceSelection("");
  if (vk == 13) t.ReplaceSelection("\r\n");
}

// The combined history over a program's snapshots and the editor's keyboard records.
class UndoHistory : public ::testing::Test {
 protected:
  TStringList program;
  TTextModel t;
  TEditUndo memo;
  TStringSnapshotList snaps{&program};
  TUndoList history{&memo, &t, &snaps};
};

}  // namespace

TEST(EditUndo, TypedWordIsOneRecord) {
  TTextModel t;
  TEditUndo u;
  Type(u, t, "speed");
  EXPECT_EQ(u.UndosRemaining(), 1u);
  EXPECT_EQ(u.Records()[0].strInsert, "speed");
  EXPECT_TRUE(u.Undo(t));
  EXPECT_EQ(t.text, "");
  EXPECT_FALSE(u.Undo(t));
}

TEST(EditUndo, CharactersBeyondAsciiAreRecordedWholeAndMeasuredAsTheEditorDoes) {
  // The caret moves by characters, as in the editor, not by bytes.
  struct TCharModel : TTextModel {
    void ReplaceSelection(const std::string& s) override {
      text += s;
      start += EditorLength(s);
      length = 0;
    }
  } t;
  TEditUndo u;
  Type(u, t, "a");
  for (const char* c : {"中", "文", "é"}) {
    u.KeyDown(0x41, false, false, t);  // a key that types
    t.ReplaceSelection(c);
    u.KeyPress(std::string(c));
  }
  ASSERT_EQ(u.UndosRemaining(), 1u);
  EXPECT_EQ(u.Records()[0].strInsert, "a中文é");
  // Positions count characters as the editor does: one each, two beyond 16 bits.
  for (auto [s, n] : {std::pair{"abc", 3}, std::pair{"中文", 2}, std::pair{"é\t", 2}, std::pair{"\xF0\x9F\x98\x80", 2},
                      std::pair{"", 0}})
    EXPECT_EQ(EditorLength(s), n) << s;
}

TEST(EditUndo, CaretMovementStartsANewRecord) {
  TTextModel t;
  TEditUndo u;
  Type(u, t, "ab");
  u.KeyDown(37, false, false, t);  // left arrow
  t.SetSelection(1, 0);
  u.KeyDown(16, false, false, t);  // shift changes nothing
  Type(u, t, "x");
  EXPECT_EQ(t.text, "axb");
  EXPECT_EQ(u.UndosRemaining(), 2u);
  u.Undo(t);
  EXPECT_EQ(t.text, "ab");
  u.Undo(t);
  EXPECT_EQ(t.text, "");
}

TEST(EditUndo, BackspaceAndDeleteTakeWholeLineBreaks) {
  TTextModel t("ab\r\ncd");
  TEditUndo u;
  t.SetSelection(4, 0);  // start of the second line
  Key(u, t, 8);
  EXPECT_EQ(t.text, "abcd");
  EXPECT_EQ(u.Records().back().strDelete, "\r\n");
  u.KeyPress(8);  // the backspace character is no text
  EXPECT_EQ(u.Records().back().strInsert, "");
  u.Undo(t);
  EXPECT_EQ(t.text, "ab\r\ncd");
  t.SetSelection(2, 0);
  Key(u, t, 46);
  EXPECT_EQ(t.text, "abcd");
  u.Undo(t);
  EXPECT_EQ(t.text, "ab\r\ncd");
  // Enter continues a typed run.
  TTextModel e;
  TEditUndo v;
  Type(v, e, "x");
  Key(v, e, 13);
  Type(v, e, "y");
  EXPECT_EQ(v.UndosRemaining(), 1u);
  EXPECT_EQ(v.Records()[0].strInsert, "x\r\ny");
}

TEST(EditUndo, TypingOverASelectionAndTheLimit) {
  TTextModel t("hello");
  TEditUndo u;
  t.SetSelection(0, 5);
  Type(u, t, "bye");
  EXPECT_EQ(u.UndosRemaining(), 2u);  // the replacing key does not merge, the rest does
  u.Undo(t);
  u.Undo(t);
  EXPECT_EQ(t.text, "hello");
  TEditUndo many;
  TTextModel m;
  for (int i = 0; i < 100; ++i) {
    Type(many, m, "a");
    many.KeyDown(37, false, false, m);  // break the chain each time
  }
  EXPECT_EQ(many.UndosRemaining(), TEditUndo::c_nMaxRecords);
  EXPECT_EQ(many.RecordsMade(), 100u);
}

TEST_F(UndoHistory, SnapshotsEditsAndTheirOrder) {
  program = {"MOVE(1,0)"};
  EXPECT_FALSE(history.Undo());  // empty: nothing happens
  for (int i = 0; i < 7; ++i) {
    history.AddTransformation();
    program.push_back("MOVE(" + std::to_string(i) + ",0)");
  }
  EXPECT_EQ(snaps.Count(), 6u);
  for (int i = 0; i < 6; ++i) EXPECT_TRUE(history.Undo());
  EXPECT_EQ(program.size(), 2u);  // back to the state before the second transformation
  EXPECT_EQ(history.Count(), 1);
  EXPECT_TRUE(history.Undo());    // the seventh finds no snapshot: the history empties
  EXPECT_EQ(history.Count(), 0);
  EXPECT_EQ(program.size(), 2u);
  // An edit after a transformation is undone first.
  history.AddTransformation();
  program.push_back("extra");
  Type(memo, t, "abc");
  history.TestAddEdit();
  EXPECT_EQ(history.Count(), 2);
  EXPECT_TRUE(history.Undo());
  EXPECT_EQ(t.text, "");
  EXPECT_EQ(program.size(), 3u);
  EXPECT_TRUE(history.Undo());
  EXPECT_EQ(program.size(), 2u);
}

TEST_F(UndoHistory, EditsBeyondTheEditorsLimitStillCount) {
  for (int i = 0; i < 70; ++i) {
    Type(memo, t, "a");
    memo.KeyDown(37, false, false, t);
    history.TestAddEdit();
  }
  EXPECT_EQ(history.Count(), TUndoList::c_nMaxEntries);
  for (int i = 0; i < 50; ++i) history.Undo();
  EXPECT_EQ(t.text.size(), 20u);  // the fifty newest edits are taken back
}

// Redo makes again, in order, what Undo took back, edits and transformations alike, and
// brings the text back to what it was before the undos.
TEST_F(UndoHistory, RedoMakesAgainWhatUndoTookBack) {
  program = {"MOVE(1,0)"};
  EXPECT_FALSE(history.Redo());  // nothing undone: nothing happens
  Type(memo, t, "abc");
  history.TestAddEdit();
  history.AddTransformation();
  program.push_back("MOVE(2,0)");
  memo.KeyDown(37, false, false, t);  // a caret move: the next typing is an edit of its own
  Type(memo, t, "de");
  history.TestAddEdit();
  const TStringList after = program;
  ASSERT_EQ(history.Count(), 3);
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(history.Undo());
  EXPECT_EQ(t.text, "");
  EXPECT_EQ(program, TStringList{"MOVE(1,0)"});
  EXPECT_EQ(history.RedoCount(), 3u);
  EXPECT_TRUE(history.Redo());
  EXPECT_EQ(t.text, "abc");
  EXPECT_EQ(program, TStringList{"MOVE(1,0)"});
  EXPECT_TRUE(history.Redo());
  EXPECT_EQ(program, after);
  EXPECT_TRUE(history.Redo());
  EXPECT_EQ(t.text, "abcde");
  EXPECT_FALSE(history.Redo());
  EXPECT_EQ(history.Count(), 3);
  // Redone changes are undone again like any other.
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(history.Undo());
  EXPECT_EQ(t.text, "");
  EXPECT_EQ(program, TStringList{"MOVE(1,0)"});
  EXPECT_EQ(memo.UndosRemaining(), 0u);
}

// A new change, typed or a command, ends what could be redone; typing after a redo starts
// a record of its own.
TEST_F(UndoHistory, ANewChangeEndsRedo) {
  Type(memo, t, "ab");
  history.TestAddEdit();
  history.Undo();
  EXPECT_TRUE(history.CanRedo());
  history.TestAddEdit();  // the undo's own change of the text is no new edit
  EXPECT_TRUE(history.CanRedo());
  Type(memo, t, "x");
  history.TestAddEdit();
  EXPECT_FALSE(history.CanRedo());
  EXPECT_FALSE(history.Redo());
  EXPECT_EQ(t.text, "x");
  history.Undo();
  history.AddTransformation();
  EXPECT_FALSE(history.CanRedo());
  history.Undo();
  EXPECT_TRUE(history.Redo());  // the transformation
  t.SetSelection(0, 0);
  Type(memo, t, "ab");
  history.TestAddEdit();
  ASSERT_TRUE(history.Undo());
  EXPECT_TRUE(history.Redo());
  Type(memo, t, "c");  // right after the redone text: not merged into it
  history.TestAddEdit();
  history.Undo();
  EXPECT_EQ(t.text, "ab");
  history.ClearAll();
  EXPECT_FALSE(history.CanRedo());
}

TEST_F(UndoHistory, TextFingerprintTellsTextsApart) {
  EXPECT_EQ(TextFingerprint({"a", "b"}), TextFingerprint({"a", "b"}));
  EXPECT_NE(TextFingerprint({"a", "b"}), TextFingerprint({"ab"}));
  EXPECT_NE(TextFingerprint({"a", ""}), TextFingerprint({"a"}));
  EXPECT_NE(TextFingerprint({}), TextFingerprint({""}));
  EXPECT_NE(TextFingerprint({"MOVE(1,0)"}), TextFingerprint({"MOVE(0,1)"}));
}
