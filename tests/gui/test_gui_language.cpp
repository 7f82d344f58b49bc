// The language switch over every dialog: with Chinese chosen, no caption is left in
// English but names. With VELTRANE_SCREENSHOTS set to a folder, each dialog is also
// saved there as a picture in both languages (scripts/screenshots).
#include <QAbstractButton>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTabBar>
#include <QTableWidget>

#include "app/Dialogs.h"
#include "app/Language.h"
#include "app/PathDialogs.h"
#include "app/StatsDialog.h"
#include "app/ToolDialogs.h"
#include "dxf/DXFRecords.h"
#include "model/TextFile.h"
#include "gui/GuiFixture.h"
#include "settings/VLTRegistry.h"
#include "transform/PathCommands.h"
#include "transform/TransformCommands.h"

namespace veltrane::test {
namespace {

// Every dialog of the window, made as the window makes it, with its file name stem.
std::vector<std::pair<std::string, std::unique_ptr<QDialog>>> AllDialogs(TVLTRegistry& reg, IUserPrompts* p) {
  std::vector<std::pair<std::string, std::unique_ptr<QDialog>>> d;
  const TStringList program = LoadLines(VELTRANE_SOURCE_DIR "/examples/bracket.bas");
  TLayerContent layers;
  layers.nUseLayer = 2;
  layers.sLayerName[0] = "OUTLINE";
  layers.sLayerName[1] = "HOLES";
  d.emplace_back("plot-options", std::make_unique<TfrmPlotOptions>());
  d.emplace_back("sequence-order", std::make_unique<TfrmSequenceOrder>());
  d.emplace_back("layers", std::make_unique<TfrmLayer>(TStringList{"OUTLINE", "HOLES", "TEXT"}, p));
  d.emplace_back("import-options", std::make_unique<TfrmImportOptions>(reg, p));
  d.emplace_back("enter-value", std::make_unique<TfrmEnterValue>());
  d.emplace_back("shift", std::make_unique<TfrmShift>());
  d.emplace_back("axis", std::make_unique<TfrmAxis>());
  d.emplace_back("range-limits", std::make_unique<TfrmSpan>(TRangeLimits{}, p));
  d.emplace_back("text-encoding", std::make_unique<TfrmTextEncoding>(TTextEncodingFields{"UTF-8", "GB18030", false, false}));
  d.emplace_back("about", std::make_unique<TfrmAbout>());
  d.emplace_back("compensation", std::make_unique<TfrmCompensation>(p));
  d.emplace_back("fillet", std::make_unique<TfrmFilletCorners>(p));
  d.emplace_back("lead-in-out", std::make_unique<TfrmLeadInOut>(p));
  d.emplace_back("add-end", std::make_unique<TfrmAddEnd>());
  d.emplace_back("batch-copy", std::make_unique<TBatCopy>(p));
  d.emplace_back("tabs", std::make_unique<TfrmAddTabs>(p, TTabRequest{}));
  d.emplace_back("program-statistics",
                 std::make_unique<TfrmProgramStats>(program, "bracket.bas", reg, p, [](int32_t) {}));
  d.emplace_back("program-check", std::make_unique<TfrmProgramCheck>());
  d.emplace_back("code-insertion", std::make_unique<TfrmAutoCodeInsert>(layers, reg));
  d.emplace_back("controller-link", std::make_unique<TfrmControllerLink>(TLinkFields{}));
  return d;
}

// The texts a user reads in the dialog.
QStringList Captions(QWidget* root) {
  QStringList out;
  std::vector<QWidget*> all{root};
  for (QWidget* w : root->findChildren<QWidget*>()) all.push_back(w);
  for (QWidget* w : all) {
    if (w->isWindow()) out << w->windowTitle();
    out << w->toolTip();
    if (auto* l = qobject_cast<QLabel*>(w)) out << l->text();
    if (auto* b = qobject_cast<QAbstractButton*>(w)) out << b->text();
    if (auto* g = qobject_cast<QGroupBox*>(w)) out << g->title();
    if (auto* e = qobject_cast<QLineEdit*>(w)) out << e->placeholderText();
    if (auto* t = qobject_cast<QTabBar*>(w))
      for (int i = 0; i < t->count(); ++i) out << t->tabText(i);
    if (auto* t = qobject_cast<QTableWidget*>(w))
      for (int i = 0; i < t->columnCount(); ++i)
        if (QTableWidgetItem* h = t->horizontalHeaderItem(i)) out << h->text();
  }
  out.removeAll(QString());
  return out;
}

// A caption still in English: a word of two or more Latin letters that is not a name
// (of the program, a file, a file format, an encoding, an axis, a layer, a unit or a
// statement) or a date.
bool StillEnglish(QString s) {
  static const QRegularExpression names(
      "Veltrane|DXF|CSV|BASIC|UTF-8|GB18030|GBK|Windows-\\d+|OUTLINE|HOLES|TEXT|\\S+\\.bas|"
      "[A-Z][a-z]{2} +\\d+ \\d{4}|"  // the build date
      "MOVE\\w*|SPEED|ACCEL|DECEL|WA|PCI|USB|COM|IP|TCP|mm|\\(&[A-Z0-9]\\)|&[A-Za-z]|Qt|"
      "[A-Z][A-Z0-9]?\\b");
  s.remove(names);
  return s.contains(QRegularExpression("[A-Za-z]{2,}"));
}

TEST(Language, EveryDialogIsInChineseWhenChosenAndInEnglishOtherwise) {
  TVLTRegistry reg;
  TScriptedPrompts prompts;
  const QString strShots = qEnvironmentVariable("VELTRANE_SCREENSHOTS");
  for (bool bChinese : {false, true}) {
    SetChineseTexts(bChinese);
    for (auto& [strName, pDialog] : AllDialogs(reg, &prompts)) {
      const QStringList english = Captions(pDialog.get());
      if (!bChinese && qEnvironmentVariableIsSet("VELTRANE_DUMP_CAPTIONS"))
        for (const QString& c : english) std::printf("CAPTION\t%s\n", c.toUtf8().constData());
      LocaliseWidgets(pDialog.get());
      const QStringList shown = Captions(pDialog.get());
      if (!bChinese) {
        EXPECT_EQ(shown, english) << strName;  // English stays exactly as written
      } else {
        for (const QString& s : shown) EXPECT_FALSE(StillEnglish(s)) << strName << ": " << s.toStdString();
      }
      if (!strShots.isEmpty()) {
        QDir().mkpath(strShots);
        pDialog->show();
        QApplication::processEvents();
        pDialog->grab().save(strShots + "/dialog-" + QString::fromStdString(strName) + (bChinese ? "-zh" : "-en") +
                             ".png");
      }
    }
  }
  SetChineseTexts(false);
}

// Messages: exact texts and texts with names and numbers in them.
TEST(Language, MessagesWithNamesAndNumbers) {
  SetChineseTexts(true);
  EXPECT_EQ(Localised(std::string("Warning! Moves are outside machine limits!")), "警告！有移动超出机床范围！");
  EXPECT_EQ(Localised(std::string("File /a b/c.bas does not exist!")), "文件 /a b/c.bas 不存在！");
  EXPECT_EQ(Localised(std::string("Line 12: 1e999 is beyond the range of numbers; the plot leaves it out")),
            "第 12 行：1e999 超出了数的范围；绘图不含它");
  EXPECT_EQ(Localised(std::string("something nobody wrote down")), "something nobody wrote down");
  // Messages as the core puts them together: the reason in them is looked up on its own.
  const std::pair<std::string, std::string> composed[] = {
      {c_sUnableToTransform + std::string("2: the offset path would cross itself"), "无法对序列 2 进行此变换：偏置路径会自相交"},
      {TransformErrorMessage(ETransformError(4, "MHELICAL(1,2,3)", "helical moves (MHELICAL) cannot be transformed")),
       "第 5 行无法变换：螺旋移动 (MHELICAL) 无法变换\nMHELICAL(1,2,3)"},
      {EDXFError("Block insertions would create more than 100 elements; the drawing is not imported", 7).what(),
       "块插入会产生超过 100 个图元；图纸未导入 (第 7 行)"},
      {"skipped 2 LINE elements (zero length) at lines 4, 9", "跳过 2 LINE elements (长度为零)，在第 4, 9 行"},
      {"Cannot open file /x/y.dxf: it is not a regular file (a pipe, device or socket)",
       "无法打开文件 /x/y.dxf：它不是普通文件 (是管道、设备或套接字)"},
      {"2 tabs of length 5 do not fit a path of length 8", "2 个长度为 5 的连接点放不进长度为 8 的路径"}};
  for (const auto& [strEnglish, strChinese] : composed) EXPECT_EQ(Localised(strEnglish), strChinese) << strEnglish;
  SetChineseTexts(false);
  EXPECT_EQ(Localised(std::string("File x does not exist!")), "File x does not exist!");
}

// The Language menu switches the dialogs and messages with the main window; with
// VELTRANE_SCREENSHOTS set, the window and its toolbar are saved in both languages.
TEST_F(WindowTest, TheLanguageMenuSwitchesTheDialogsToo) {
  OpenExample();
  const QString strShots = qEnvironmentVariable("VELTRANE_SCREENSHOTS");
  for (bool bChinese : {false, true}) {
    Frm().Action(bChinese ? "mniChinese" : "mniEnglish")->trigger();
    EXPECT_EQ(ChineseTexts(), bChinese);
    EXPECT_EQ(QString::fromStdString(Localised(std::string("Save program changes?"))),
              bChinese ? QString("保存程序的修改吗？") : QString("Save program changes?"));
    if (!strShots.isEmpty()) {
      QDir().mkpath(strShots);
      Frm().resize(1100, 720);
      Frm().show();
      Frm().ZoomExtents();
      QApplication::processEvents();
      const QString strLang = bChinese ? "-zh" : "-en";
      Frm().grab().save(strShots + "/main-window" + strLang + ".png");
      Frm().findChild<QWidget*>("ToolBar")->grab().save(strShots + "/toolbar" + strLang + ".png");
    }
  }
  Frm().Action("mniEnglish")->trigger();
}

}  // namespace
}  // namespace veltrane::test
