// The import's dialogs as logic: layer choice with its limit, options with the settings.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <tuple>

#include "dxf/DXFIn.h"
#include "dxf/ImportDialogs.h"
#include "settings/FileSettingsBackend.h"
#include "settings/VLTRegistry.h"
#include "tests/DXFText.h"

using namespace veltrane;

TEST(LayerDialog, AddRemoveAndTheLimit) {
  TLayerSelection s({"A", "B", "C", "D", "E", "F", "A"});
  TScriptedPrompts prompts;
  EXPECT_TRUE(s.Add(1, &prompts));  // B
  EXPECT_EQ(s.DrawingList(), (TStringList{"A", "C", "D", "E", "F", "A"}));
  EXPECT_TRUE(s.Add(0, &prompts));   // A
  EXPECT_FALSE(s.Add(4, &prompts));  // the second A: already chosen
  EXPECT_TRUE(s.Add(0, &prompts));   // C
  EXPECT_TRUE(s.Add(0, &prompts));   // D
  EXPECT_TRUE(s.Add(0, &prompts));   // E
  EXPECT_TRUE(prompts.Messages.empty());
  EXPECT_FALSE(s.Add(0, &prompts));  // a sixth
  ASSERT_EQ(prompts.Messages.size(), 1u);
  EXPECT_EQ(prompts.Messages[0].second, "Sorry, the selected layers have reached limit!");
  EXPECT_EQ(s.SelectedList(), (TStringList{"B", "A", "C", "D", "E"}));
  EXPECT_TRUE(s.Remove(0));
  EXPECT_EQ(s.DrawingList().back(), "B");
  EXPECT_FALSE(s.Remove(9));
  EXPECT_FALSE(s.Add(-1, &prompts));
}

class OptionsDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    file = (std::filesystem::temp_directory_path() / ("veltrane-opts-" + std::to_string(::getpid()))).string();
    std::filesystem::remove(file);
  }
  void TearDown() override { std::filesystem::remove(file); }
  TVLTRegistry Reg() { return TVLTRegistry(std::make_unique<TFileSettingsBackend>(file)); }
  std::string file;
};

TEST_F(OptionsDialog, NothingStoredShowsDefaultsAndStoresThemBack) {
  TVLTRegistry reg = Reg();
  TImportOptionsFields f = LoadImportOptions(reg);
  EXPECT_EQ(std::tie(f.evMatching, f.strRelativePercent, f.strAbsolute, f.strMovesPerSection, f.evConvertUnits,
                     f.bIncludePaperSpace),
            std::make_tuple(EImportMatching::eDefault, "       0.1", "     2e-05", "10", EDXFConvertUnits::eDrawing, false));
  ASSERT_TRUE(StoreImportOptions(f, reg, nullptr));
  EXPECT_EQ(reg.DXFInImportMatching(), "Default");
  EXPECT_DOUBLE_EQ(reg.DXFInImportRelativeMatch(), 0.001);
  EXPECT_DOUBLE_EQ(reg.DXFInImportAbsoluteMatch(), 2e-05);
  EXPECT_EQ(reg.SplineMovesPerSection(), 10);
  // The options beyond the original ones are stored and reach the importer.
  f.evConvertUnits = EDXFConvertUnits::eInches;
  f.bIncludePaperSpace = true;
  ASSERT_TRUE(StoreImportOptions(f, reg, nullptr));
  EXPECT_EQ(reg.DXFInConvertUnits(), 2);
  EXPECT_TRUE(reg.DXFInIncludePaperSpace());
  EXPECT_EQ(LoadImportOptions(reg).evConvertUnits, EDXFConvertUnits::eInches);
  veltrane::testing::TDXFText d({"P"});
  d.Add("LINE", {{8, "P"}, {67, "1"}, {10, "0"}, {20, "0"}, {11, "25.4"}, {21, "0"}});
  std::string text = d.Text();
  text.insert(0, "0\nSECTION\n2\nHEADER\n9\n$INSUNITS\n70\n4\n0\nENDSEC\n");
  TDXFIn in(nullptr, &reg);
  in.ReadBuffer(text);
  ASSERT_EQ(in.Records(0).size(), 1u);  // paper space included
  EXPECT_DOUBLE_EQ(in.Records(0)[0].fEndPoint.fX, 1.0);  // millimetres to inches
}

TEST_F(OptionsDialog, ModesByFirstLetterAndRefusedFields) {
  TVLTRegistry reg = Reg();
  reg.SetDXFInImportMatching("absolutely");
  EXPECT_EQ(LoadImportOptions(reg).evMatching, EImportMatching::eAbsolute);
  reg.SetDXFInImportMatching("xyz");
  EXPECT_EQ(LoadImportOptions(reg).evMatching, EImportMatching::eDefault);
  // The importer reads an unknown letter as relative matching with the stored value.
  reg.SetDXFInImportRelativeMatch(0.05);
  TDXFIn in(nullptr, &reg);
  EXPECT_FALSE(in.MatchAbsolute());
  EXPECT_DOUBLE_EQ(in.MatchTestValue(), 0.05);
  TImportOptionsFields f;
  f.evMatching = EImportMatching::eRelative;
  f.strRelativePercent = "2";
  f.strAbsolute = "abc";
  f.strMovesPerSection = "7";
  TScriptedPrompts prompts;
  EXPECT_FALSE(StoreImportOptions(f, reg, &prompts));
  EXPECT_DOUBLE_EQ(reg.DXFInImportRelativeMatch(), 0.02);  // stored before the bad field
  EXPECT_EQ(reg.SplineMovesPerSection(), 0);               // not reached
  ASSERT_EQ(prompts.Messages.size(), 1u);
  EXPECT_EQ(prompts.Messages[0].second, "'abc' is not a valid number for drawing units");
}

TEST_F(OptionsDialog, TextAsPathsIsOffUntilStoredAndReachesTheImporter) {
  TVLTRegistry reg = Reg();
  TImportOptionsFields f = LoadImportOptions(reg);
  EXPECT_FALSE(f.bTextAsPaths);
  EXPECT_EQ(f.strFontFolder, "");
  TDXFIn off(nullptr, &reg);
  veltrane::testing::TDXFText d({"T"});
  d.Add("TEXT", {{8, "T"}, {10, "0"}, {20, "0"}, {40, "2"}, {1, "A"}});
  off.ReadBuffer(d.Text());
  EXPECT_TRUE(off.Records(0).empty());
  f.bTextAsPaths = true;
  f.strFontFolder = " /opt/fonts ";
  ASSERT_TRUE(StoreImportOptions(f, reg, nullptr));
  EXPECT_TRUE(reg.DXFInTextAsPaths());
  EXPECT_EQ(reg.DXFInFontFolder(), "/opt/fonts");
  EXPECT_TRUE(LoadImportOptions(reg).bTextAsPaths);
#ifdef _WIN32
  GTEST_SKIP() << "LibreCAD's LFF fonts are looked for where LibreCAD installs itself on Windows";
#endif
  if (!std::filesystem::exists("/usr/share/librecad/fonts/standard.lff"))
    GTEST_SKIP() << "LibreCAD's LFF fonts are not installed (librecad-data)";
  TDXFIn on(nullptr, &reg);
  on.ReadBuffer(d.Text());
  EXPECT_EQ(on.Records(0).size(), 2u);  // the two legs of A and its bar
}
