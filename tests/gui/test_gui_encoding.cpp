// Programs and drawings in Chinese: a program opens with its characters as written, in
// UTF-8 or in the legacy code page, saves byte for byte where it was not edited, takes
// typed Chinese in either, and refuses (or converts for) characters its encoding lacks;
// Chinese layer names reach the layer dialog and the layer markers.
#include <QAction>
#include <QStringEncoder>
#include <QKeyEvent>
#include <QTest>

#include "app/TextCodec.h"
#include "gui/GuiFixture.h"

namespace veltrane::test {
namespace {

const char* const c_Program[] = {"' 切割程序 第一层", "'$StartSeq(1)", "cadseq1:", "    MOVEABS(0,0)",
                                 "    MOVE(10,0) ' 第一刀", "'$EndSeq(1)"};

// Through the window's codec: Qt's converters know no legacy code page on Windows.
QByteArray Encoded(const QString& s, const char* strEncoding) {
  std::string b;
  TTextCodec(strEncoding).Encode(s, b);
  return QByteArray::fromStdString(b);
}

QString Text() {
  QStringList l;
  for (const char* s : c_Program) l << QString::fromUtf8(s);
  return l.join('\n');
}

QByteArray FileBytes(const char* strEncoding, const QByteArray& prefix = {}) {
  return prefix + Encoded(Text(), strEncoding).replace('\n', "\r\n") + "\r\n";
}

// Characters typed as a keyboard (or an input method's key events) types them.
void Type(QWidget& w, const QString& s) {
  for (QChar c : s) {
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
    QApplication::sendEvent(&w, &press);
    QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
    QApplication::sendEvent(&w, &release);
  }
}

class EncodingTest : public WindowTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(EncodingTest, OpensShowsTakesTypedChineseAndSavesByteForByte) {
  const char* enc = GetParam();
  const bool bUtf8 = std::string(enc) == "UTF-8";
  TVLTRegistry().SetLegacyEncoding("GB18030");
  const QByteArray bytes = FileBytes(enc);
  Open(WriteFile("chinese.bas", bytes));
  EXPECT_EQ(Editor().toPlainText(), Text());
  EXPECT_EQ(Frm().FileStatus()->PanelText(2), bUtf8 ? "UTF-8" : "GB18030");
  // Saved after an edit elsewhere, the other lines keep their bytes.
  const QString saved = Path("saved.bas");
  Editor().MoveCaret(TRichEditPlus::EMove::eEnd);
  QTest::keyClick(&Editor(), Qt::Key_Return);
  QTest::keyClicks(&Editor(), "' end");
  ASSERT_TRUE(Frm().SaveFile(saved));
  EXPECT_EQ(ReadFile(saved), bytes + "' end\r\n");
  // Chinese typed into the first comment is written in the program's encoding.
  ClickLine(0);
  Editor().MoveCaret(TRichEditPlus::EMove::eEndOfLine);
  Type(Editor(), QString::fromUtf8("中文"));
  ASSERT_TRUE(Frm().SaveFile(saved));
  const QByteArray first = ReadFile(saved).left(ReadFile(saved).indexOf("\r\n"));
  EXPECT_EQ(first, Encoded(QString::fromUtf8("' 切割程序 第一层中文"), enc));
  EXPECT_TRUE(m_Prompts.Scripted.Questions.empty());
  // Undo takes the typed characters back as they were typed.
  Frm().Undo();
  EXPECT_EQ(Editor().toPlainText().split('\n').front(), QString::fromUtf8(c_Program[0]));
  TVLTRegistry().SetLegacyEncoding("");
}

INSTANTIATE_TEST_SUITE_P(Encodings, EncodingTest, ::testing::Values("UTF-8", "GB18030"));

TEST_F(WindowTest, AMessageQuotingALineShowsItsCharacters) {
  TVLTRegistry().SetLegacyEncoding("GB18030");
  const QString text = QString::fromUtf8("'$StartSeq(1)\ncadseq1:\n    MOVEABS(0,0)\n    MOVE(x,0) ' 第一刀\n'$EndSeq(1)\n");
  Open(WriteFile("bad.bas", Encoded(text, "GB18030")));
  ClickLine(2);
  Frm().Action("mniReverse")->trigger();
  ASSERT_EQ(m_Prompts.Messages.size(), 1u);
  EXPECT_NE(m_Prompts.Messages[0].second.find("MOVE(x,0) ' 第一刀"), std::string::npos) << m_Prompts.Messages[0].second;
  TVLTRegistry().SetLegacyEncoding("");
}

// A program in UTF-16 or UTF-32 opens with its characters, shows its form and is saved in
// it again, byte for byte; converting it to UTF-8 writes UTF-8.
TEST_F(WindowTest, WideProgramsAreSavedInTheirOwnForm) {
  struct TCase {
    const char* strFile;
    QStringConverter::Encoding evEncoding;
    bool bBom;
    const char* strShown;
  };
  for (const TCase& c : {TCase{"le.bas", QStringConverter::Utf16LE, true, "UTF-16LE with BOM"},
                         TCase{"be.bas", QStringConverter::Utf16BE, false, "UTF-16BE"},
                         TCase{"u32.bas", QStringConverter::Utf32LE, true, "UTF-32LE with BOM"}}) {
    QStringEncoder enc(c.evEncoding, c.bBom ? QStringConverter::Flag::WriteBom : QStringConverter::Flag::Default);
    QString text = Text();
    text.replace('\n', "\r\n");
    const QByteArray bytes = enc.encode(text + "\r\n");
    Open(WriteFile(c.strFile, bytes));
    EXPECT_EQ(Frm().FileStatus()->PanelText(2), c.strShown);
    EXPECT_EQ(Line(0), c_Program[0]);
    EXPECT_EQ(Line(4), c_Program[4]);
    ASSERT_TRUE(Frm().SaveFile(Path("wide-saved.bas")));
    EXPECT_EQ(ReadFile(Path("wide-saved.bas")), bytes) << c.strShown;
  }
  Frm().ConvertProgramToUtf8();
  ASSERT_TRUE(Frm().SaveFile(Path("wide-saved.bas")));
  EXPECT_EQ(ReadFile(Path("wide-saved.bas")), FileBytes("UTF-8"));
}

TEST_F(WindowTest, AByteOrderMarkIsKeptAndLatin1BytesStayWhatTheyWere) {
  const QByteArray bom = FileBytes("UTF-8", "\xEF\xBB\xBF");
  Open(WriteFile("bom.bas", bom));
  EXPECT_EQ(Frm().FileStatus()->PanelText(2), "UTF-8 with BOM");
  EXPECT_EQ(Line(0), c_Program[0]);  // the mark is not part of the program's first line
  ASSERT_TRUE(Frm().SaveFile(Path("bom-saved.bas")));
  EXPECT_EQ(ReadFile(Path("bom-saved.bas")), bom);
  // Bytes that no legacy code page reads back exactly are kept as Latin-1.
  TVLTRegistry().SetLegacyEncoding("GB18030");
  const QByteArray odd("' \x81\r\n    MOVE(1,0)\r\n");
  Open(WriteFile("odd.bas", odd));
  EXPECT_EQ(Frm().FileStatus()->PanelText(2), "ISO-8859-1");
  ASSERT_TRUE(Frm().SaveFile(Path("odd-saved.bas")));
  EXPECT_EQ(ReadFile(Path("odd-saved.bas")), odd);
  TVLTRegistry().SetLegacyEncoding("");
}

TEST_F(WindowTest, ACharacterTheCodePageLacksIsRefusedOrTheProgramConverted) {
  TVLTRegistry().SetLegacyEncoding("windows-1252");
  const QByteArray western("' caf\xE9\r\n    MOVE(1,0)\r\n");
  Open(WriteFile("western.bas", western));
  EXPECT_EQ(Frm().FileStatus()->PanelText(2), "windows-1252");
  EXPECT_EQ(Editor().toPlainText(), QString::fromUtf8("' café\n    MOVE(1,0)"));
  ClickLine(0);
  Editor().MoveCaret(TRichEditPlus::EMove::eEndOfLine);
  m_Prompts.Scripted.Answers = {EAnswer::eNo};
  Type(Editor(), QString::fromUtf8("中"));
  ASSERT_EQ(m_Prompts.Scripted.Questions.size(), 1u) << Editor().toPlainText().toStdString() << " " << Editor().isReadOnly();
  EXPECT_NE(m_Prompts.Scripted.Questions[0].find("The character \u201c中\u201d (U+4E2D) cannot be written in windows-1252"),
            std::string::npos)
      << m_Prompts.Scripted.Questions[0];
  EXPECT_EQ(Editor().toPlainText(), QString::fromUtf8("' café\n    MOVE(1,0)"));  // refused, nothing lost
  ASSERT_TRUE(Frm().SaveFile(Path("western-saved.bas")));
  EXPECT_EQ(ReadFile(Path("western-saved.bas")), western);
  // Agreeing converts the program to UTF-8, and the character goes in.
  m_Prompts.Scripted.Answers = {EAnswer::eYes};
  Type(Editor(), QString::fromUtf8("中"));
  EXPECT_EQ(Frm().FileStatus()->PanelText(2), "UTF-8");
  ASSERT_TRUE(Frm().SaveFile(Path("western-saved.bas")));
  EXPECT_EQ(ReadFile(Path("western-saved.bas")), QByteArray("' caf\xC3\xA9\xE4\xB8\xAD\r\n    MOVE(1,0)\r\n"));
  // The dialog shows the choices and stores them.
  m_Prompts.EncodingAnswer = TTextEncodingFields{"", "GB18030", true, false};
  Frm().Action("mniTextEncoding")->trigger();
  EXPECT_EQ(m_Prompts.ShownEncoding.strCurrent, "UTF-8");
  EXPECT_EQ(m_Prompts.ShownEncoding.strLegacy, "windows-1252");
  EXPECT_EQ(TVLTRegistry().LegacyEncoding(), "GB18030");
  EXPECT_TRUE(TVLTRegistry().NewFilesLegacy());
  Frm().Action("mniNew")->trigger();
  EXPECT_EQ(Frm().FileStatus()->PanelText(2), "GB18030");
  TVLTRegistry().SetNewFilesLegacy(false);
  TVLTRegistry().SetLegacyEncoding("");
}

class ChineseDrawingTest : public WindowTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(ChineseDrawingTest, LayerNamesReachTheDialogAndTheMarkers) {
  m_Prompts.DrawingNames = {std::string(VELTRANE_SOURCE_DIR "/tests/data/ezdxf/chinese_") + GetParam() + ".dxf"};
  m_Prompts.Layers = TStringList{"切割", "孔Ǽ"};
  Frm().Action("mniImportDXF")->trigger();
  EXPECT_NE(std::find(m_Prompts.ShownLayers.begin(), m_Prompts.ShownLayers.end(), "外形"), m_Prompts.ShownLayers.end());
  ASSERT_FALSE(Frm().Document().m_Program.empty());
  EXPECT_EQ(Line(0), "'$Layer0:切割");
  const auto& p = Frm().Document().m_Program;
  EXPECT_NE(std::find(p.begin(), p.end(), "'$Layer1:孔Ǽ"), p.end());
  EXPECT_EQ(Frm().FileStatus()->PanelText(2), "UTF-8");
  EXPECT_TRUE(Editor().toPlainText().startsWith(QString::fromUtf8("'$Layer0:切割")));
}

INSTANTIATE_TEST_SUITE_P(Versions, ChineseDrawingTest, ::testing::Values("r2000", "r2018"));

}  // namespace
}  // namespace veltrane::test
