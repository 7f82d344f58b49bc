// The program tools: the program check (against the plain pairwise comparisons), the
// table export, automatic code insertion and the controller link up to the loader.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>
#include <tuple>
#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

#include "dxf/DXFIn.h"
#include "model/FilePath.h"
#include "model/Text.h"
#include "model/TextFile.h"
#include "settings/FileSettingsBackend.h"
#include "settings/VLTRegistry.h"
#include "tools/AutoCodeInsert.h"
#include "tools/ControllerLink.h"
#include "tools/ProgramCheck.h"
#include "tools/TableExport.h"

namespace veltrane {
namespace {

// ---------------------------------------------------------------- program check

TStringList Report(const TStringList& program, bool* pFound = nullptr) {
  TProgramCheck c(program);
  const bool b = c.Check();
  if (pFound) *pFound = b;
  return c.Report();
}

TEST(ProgramCheck, CleanProgramReportsEveryCheckOk) {
  bool bFound = true;
  EXPECT_EQ(Report({"    MOVE(1,2)", "PRINT 5"}, &bFound),
            (TStringList{"Checking Sequence Order", "  ..OK", "Checking for Duplicated Sequence Numbers", "  ..OK",
                         "Checking for Duplicated Labels", "  ..OK", "Checking Jump Destinations", "  ..OK"}));
  EXPECT_FALSE(bFound);
}

TEST(ProgramCheck, EachCheckReportsItsFirstFinding) {
  // A lower-case start marker counts; one whose number is no integer does not.
  for (const auto& [strLine, n] : {std::pair{"  '$startseq(12)", 12}, {"'$EndSeq(4)", -4}, {"'$StartSeq(x)", 0},
                                   {"'$StartSeq()", 0}})
    EXPECT_EQ(TProgramCheck::GetSequenceNumber(strLine), n) << strLine;
  bool bFound = false;
  TStringList r = Report({"'$StartSeq(3)", "'$EndSeq(4)", "'$EndSeq(9)", "'$StartSeq(7)", "'$EndSeq(7)",
                          "'$StartSeq(7)", "'$EndSeq(7)", "Loop1:", "LOOP1:", "GOTO", "GOSUB 1abc",
                          "GOTO nowhere ' a comment", "GOSUB Loop1"},
                         &bFound);
  EXPECT_TRUE(bFound);
  EXPECT_EQ(r, (TStringList{"Checking Sequence Order", " [1] - Sequence error ''$EndSeq(4)'",
                            "Checking for Duplicated Sequence Numbers", "  ..OK",
                            "Checking for Duplicated Labels", "   - Label 'LOOP1' used more than once",
                            "Checking Jump Destinations", " [9] - Blank label"}))
      << "the sequence list stops at the error: it holds 3 alone";
  r = Report({"'$StartSeq(7)", "'$EndSeq(7)", "'$StartSeq(2)", "'$EndSeq(2)", "'$StartSeq(7)", "'$EndSeq(7)"});
  EXPECT_EQ(r[1], "  ..OK");
  EXPECT_EQ(r[3], "   - Sequence '7' used more than once!");
}

TEST(ProgramCheck, JumpsAndLabels) {
  auto jumps = [](const TStringList& p) { return Report(p).back(); };
  EXPECT_EQ(jumps({"GOSUB 1abc"}), " [0] - Invalid label '1abc'");
  EXPECT_EQ(jumps({"start:", "  goto nowhere ' comment"}), " [1] - Label 'nowhere' not found");
  EXPECT_EQ(jumps({"Start_2:", "GOTO START_2 ' back"}), "  ..OK");
  EXPECT_EQ(TProgramCheck::GetLabel("  cadseq12: "), std::optional<std::string>("cadseq12"));
  EXPECT_EQ(TProgramCheck::GetLabel("12abc:"), std::nullopt);
  EXPECT_EQ(TProgramCheck::GetLabel("PRINT \"a:b\""), std::nullopt);
}

// The checks of duplicates as plainly written: every pair compared.
std::string PlainDuplicateSequence(const TIntList& s) {
  for (int32_t i = 0; i < s.Count(); ++i)
    for (int32_t j = i + 1; j < s.Count(); ++j)
      if (s.Get(i) == s.Get(j)) return "   - Sequence '" + std::to_string(s.Get(i)) + "' used more than once!";
  return "  ..OK";
}
std::string PlainDuplicateLabel(const TStringList& l) {
  for (size_t i = 0; i < l.size(); ++i)
    for (size_t j = i + 1; j < l.size(); ++j)
      if (UpperCase(l[i]) == UpperCase(l[j])) return "   - Label '" + l[j] + "' used more than once";
  return "  ..OK";
}

TEST(ProgramCheck, DuplicateSearchMatchesThePairwiseComparison) {
  std::mt19937 rng(11);
  for (int round = 0; round < 300; ++round) {
    TStringList p;
    const int n = 1 + static_cast<int>(rng() % 40);
    for (int i = 0; i < n; ++i) {
      const int k = 1 + static_cast<int>(rng() % 25);
      p.push_back("'$StartSeq(" + std::to_string(k) + ")");
      const char* names[] = {"a", "A", "b", "loop", "LOOP", "c_1", "C_1", "d"};
      p.push_back(std::string(names[rng() % 8]) + std::to_string(rng() % 4) + ":");
      p.push_back("'$EndSeq(" + std::to_string(k) + ")");
    }
    TProgramCheck c(p);
    const TStringList r = (c.Check(), c.Report());
    EXPECT_EQ(r[3], PlainDuplicateSequence(c.m_Sequences));
    EXPECT_EQ(r[5], PlainDuplicateLabel(c.m_Labels));
  }
}

// ---------------------------------------------------------------- table export

TTableFields Fields(ETableFormat f, bool bFixed, std::string strStart = "0", std::string strLength = "6") {
  TTableFields t;
  t.strMoCode = "0";
  t.strMaCode = "2";
  t.strMcCode = "3";
  t.strTableStart = std::move(strStart);
  t.bFixed = bFixed;
  t.strLength = std::move(strLength);
  t.evFormat = f;
  return t;
}

TEST(TableExport, AFirstStartBuildsWithTheStoredDefaults) {
  // Settings that hold no table fields yet: the first build must not fail on empty codes.
  const std::string strFile = testing::TempDir() + "/table-first-start.conf";
  std::remove(strFile.c_str());
  TVLTRegistry reg(std::make_unique<TFileSettingsBackend>(strFile));
  TTableFields f = ReadTableFields(reg);
  EXPECT_EQ(f.strMoCode + f.strMaCode + f.strMcCode + f.strTableStart + f.strLength, "01206");
  EXPECT_TRUE(BuildTable({"    MOVE(5,6)"}, f).strError.empty());
  std::remove(strFile.c_str());
}

TEST(TableExport, RecordsTakeTheirEntries) {
  TTableFields f = Fields(ETableFormat::eTableList, false, "100");
  TTableResult r = BuildTable({"    MOVEABS(1,2)", "    MOVEABSSP(3,4)"}, f);
  EXPECT_EQ(r.Lines, (TStringList{"100:2", "101:2", "102:1", "103:2", "104:2", "105:3", "106:4"}));
  // A length below 6 is raised; a relative move takes six entries, its last three 0.
  f = Fields(ETableFormat::eCsv, true, "0", "4");
  r = BuildTable({"    MOVE(5,6)", "    MOVE(7,8)"}, f);
  EXPECT_EQ(f.strLength, "6");
  EXPECT_EQ(r.Lines, (TStringList{"0,2", "1,0", "2,5", "3,6", "4,0", "5,0", "6,0", "7,0", "8,7", "9,8", "10,0",
                                  "11,0", "12,0"}));
  // BASIC: one statement per record; arcs in fixed 8 end with two zeros, in flexible
  // mode the next record starts six further on.
  f = Fields(ETableFormat::eBasic, true, "0", "8");
  r = BuildTable({"    MOVEABS(5,0)", "    MOVECIRC(1,2,3,4,1)"}, f);
  EXPECT_EQ(r.Lines, (TStringList{"TABLE(0,2)'The all points number", "TABLE(1,2,5,0,0,0,0,0,0)",
                                  "TABLE(9,3,1,2,3,4,1,0,0)"}));
  f = Fields(ETableFormat::eBasic, false);
  r = BuildTable({"    MOVECIRCSP(1,2,3,4,0)", "    MOVE(1,1)"}, f);
  EXPECT_EQ(r.Lines, (TStringList{"TABLE(0,2)'The all points number", "TABLE(1,3,1,2,3,4,0)", "TABLE(7,0,1,1)"}));
}

TEST(TableExport, WhatIsSkippedAndWhatStopsTheBuild) {
  TTableFields f = Fields(ETableFormat::eTableList, false);
  EXPECT_TRUE(BuildTable({"' only words", "    MHELICAL(1,2,3,4,5,6)", "BASE(0,1)", "    move(1,2)"}, f)
                  .Lines.empty());
  TTableResult r = BuildTable({"    MOVE(1,2)", "    MOVE(x,2)"}, f);
  EXPECT_TRUE(r.Lines.empty()) << "no half table";
  EXPECT_EQ(r.nErrorLine, 1);
  EXPECT_NE(r.strError.find("Line 1"), std::string::npos);
  EXPECT_NE(r.strError.find("MOVE(x,2)"), std::string::npos);
  f.strTableStart = "one";
  r = BuildTable({"    MOVE(1,2)"}, f);
  EXPECT_EQ(r.strError, "'one' is not a valid integer value");
  EXPECT_EQ(r.nErrorLine, -1);
}

// ---------------------------------------------------------------- automatic code

TAutoCodeTexts Texts() {
  TAutoCodeTexts t;
  t.strProgramStart = "' start 1\r\n' start 2";
  t.strProgramEnd = "' the end";
  for (int n = 0; n < 2; ++n) {
    auto& s = t.Layer[static_cast<size_t>(n)];
    const std::string k = std::to_string(n);
    s[eLayerStartCode] = "' layer start " + k;
    s[eLayerEndCode] = "' layer end " + k;
    s[eLayerEachCode] = "' each " + k;
    s[eSequenceStartCode] = "' seq start " + k;
    s[eSequenceInitialCode] = "' initial " + k + "\r\nOP(1,ON)";
    s[eSequenceEndCode] = "OP(1,OFF)";
  }
  return t;
}

TEST(AutoCode, TextsLandAroundLayersSequencesAndMoves) {
  const TStringList program{"'$Layer0:A", "'$StartSeq(1)", "cadseq1:", "    MOVEABS(0,0)", "    MOVE(1,0)",
                            "    MOVECIRC(1,1,0,1,0)", "'$EndSeq(1)", "'$EndLayer0:A", "'$Layer1:B",
                            "'$StartSeq(2)", "appseq2:", "    MOVEABS(5,5)", "    MOVE(1,0)", "'$EndSeq(2)",
                            "'$StartSeq(3)", "cadseq3:", "    MOVEABS(9,9)", "'$EndSeq(3)", "'$EndLayer1:B"};
  ASSERT_EQ(AutoCodeInsertProblem(program), "");
  EXPECT_EQ(InsertAutoCode(program, Texts()),
            (TStringList{"' start 1", "' start 2", "'$Layer0:A", "' layer start 0", "'$StartSeq(1)", "cadseq1:",
                         "' seq start 0", "    MOVEABS(0,0)", "' initial 0", "OP(1,ON)", "    MOVE(1,0)", "' each 0",
                         "    MOVECIRC(1,1,0,1,0)", "' each 0", "OP(1,OFF)", "'$EndSeq(1)", "' layer end 0",
                         "'$EndLayer0:A", "'$Layer1:B", "' layer start 1", "'$StartSeq(2)", "appseq2:",
                         // a label not made by the import: nothing until the next "cadseq" label
                         "    MOVEABS(5,5)", "    MOVE(1,0)", "'$EndSeq(2)", "'$StartSeq(3)", "cadseq3:",
                         "' seq start 1", "    MOVEABS(9,9)", "' initial 1", "OP(1,ON)", "OP(1,OFF)", "'$EndSeq(3)",
                         "' layer end 1", "'$EndLayer1:B", "' the end"}));
  // Empty texts change nothing; twice inserts twice.
  EXPECT_EQ(InsertAutoCode(program, TAutoCodeTexts{}), program);
  const TStringList once = InsertAutoCode(program, Texts());
  const TStringList twice = InsertAutoCode(once, Texts());
  EXPECT_EQ(std::count(twice.begin(), twice.end(), "' each 0"), 4);
  EXPECT_EQ(twice.front(), "' start 1");
  EXPECT_EQ(twice.back(), "' the end");
}

TEST(AutoCode, ProgramsWithoutASlotAreRefusedBeforeAnythingChanges) {
  TStringList seven;
  for (int i = 0; i < 7; ++i) {
    seven.push_back("'$Layer" + std::to_string(i) + ":L");
    seven.push_back("'$EndLayer" + std::to_string(i) + ":L");
  }
  EXPECT_NE(AutoCodeInsertProblem(seven).find("more than six layers (line 12"), std::string::npos);
  seven.resize(12);
  EXPECT_EQ(AutoCodeInsertProblem(seven), "");
  EXPECT_NE(AutoCodeInsertProblem({"'$StartSeq(1)", "cadseq1:", "    MOVEABS(0,0)", "'$EndSeq(1)"}).find("Line 1 "),
            std::string::npos);
}

TEST(AutoCode, ImportedMultiLayerDrawingAndStoredTexts) {
  TFixedImportAnswers answers(std::string(VELTRANE_SOURCE_DIR) + "/tests/data/ezdxf/bracket_r2000.dxf",
                              {"OUTLINE", "HOLES"});
  TDXFIn in(&answers, nullptr);
  TStringList program;
  TLayerContent layers;
  in.Import(program, layers);
  ASSERT_EQ(layers.nUseLayer, 2);
  ASSERT_EQ(AutoCodeInsertProblem(program), "");
  // Through the settings store, as the dialog leaves them: a file of its own, since the
  // suite's other tests write theirs at the same time.
  const std::string strFile = testing::TempDir() + "/autocode-texts.conf";
  std::remove(strFile.c_str());
  TVLTRegistry reg(std::make_unique<TFileSettingsBackend>(strFile));
  WriteAutoCodeTexts(reg, Texts(), 2);
  const TAutoCodeTexts back = ReadAutoCodeTexts(reg);
  EXPECT_EQ(back.strProgramStart, Texts().strProgramStart);
  EXPECT_EQ(back.Layer[1][eSequenceInitialCode], Texts().Layer[1][eSequenceInitialCode]);
  const TStringList out = InsertAutoCode(program, back);
  size_t nSequences = 0, nInitial = 0;
  for (const std::string& l : program) nSequences += l.rfind("'$StartSeq(", 0) == 0;
  for (const std::string& l : out) nInitial += l.rfind("' initial ", 0) == 0;
  EXPECT_EQ(nInitial, nSequences);
  EXPECT_EQ(std::count(out.begin(), out.end(), "' layer start 1"), 1);
  // Every move after a sequence's start move is followed by its layer's text.
  for (size_t i = 0; i + 1 < out.size(); ++i)
    if (out[i].rfind("    MOVE(", 0) == 0 || out[i].rfind("    MOVECIRC(", 0) == 0) {
      EXPECT_EQ(out[i + 1].rfind("' each ", 0), 0u) << i;
    }
  // An empty text deletes its value.
  TAutoCodeTexts none;
  WriteAutoCodeTexts(reg, none, 2);
  EXPECT_EQ(reg.ReadStringValue("ProgramStart"), "");
  EXPECT_EQ(reg.LayerEachText(1), "");
  std::remove(strFile.c_str());
}

// ---------------------------------------------------------------- controller link

TEST(ControllerLink, ParameterStringsReadAndBuild) {
  TLinkFields f;
  ParseLinkParameters("Serial", "3:", f);
  EXPECT_EQ(std::tie(f.strPort, f.strBaud, f.strParity), std::make_tuple("3", "9600", "even"));
  ParseLinkParameters("Serial", "2:38400,8,o,1", f);
  EXPECT_EQ(std::tie(f.strBaud, f.strDataBits, f.strParity, f.strStopBits), std::make_tuple("38400", "8", "odd", "1"));
  f.strLinkType = "Serial";
  EXPECT_EQ(BuildLinkParameters(f), "2:38400,8,o,1");
  TLinkFields e;
  ParseLinkParameters("Ethernet", "10.0.0.7:5000", e);
  EXPECT_EQ(std::tie(e.strHost, e.strTcpPort), std::make_tuple("10.0.0.7", "5000"));
  e.strLinkType = "Ethernet";
  EXPECT_EQ(BuildLinkParameters(e), "10.0.0.7:5000");
  ParseLinkParameters("Ethernet", "", e);
  EXPECT_EQ(std::tie(e.strHost, e.strTcpPort), std::make_tuple(c_sDefaultControllerHost, "23"));
  EXPECT_EQ(ParityName('x'), "none");
}

TEST(ControllerLink, LinkFileForEachLinkType) {
  EXPECT_EQ(LinkFileLines("Ethernet", "", false, false, "/p.bas"),
            (TStringList{"# Veltrane Load Link", "COMMLINK Ethernet:0", "LOADPROGRAM /p.bas"}));
  EXPECT_EQ(LinkFileLines("Serial", "", true, true, "/t.lst"),
            (TStringList{"# Veltrane Load Link", "ALLOWPROGRAMLOADWHILERUNNING", "COMMLINK COM1:9600,7,e,2",
                         "LOADTABLE /t.lst"}));
  EXPECT_EQ(LinkFileLines("USB", "2", false, false, "/p.bas")[1], "COMMLINK USB:2");
  EXPECT_EQ(LinkFileLines("PCI", "", false, false, "/p.bas")[1], "COMMLINK PCI:0");
  EXPECT_EQ(LinkFileLines("", "1:9600", true, false, "/p.bas"), TStringList{"# Veltrane Load Link"});
  // Parameters from a hand-edited setting cannot add lines of their own.
  EXPECT_EQ(LinkFileLines("USB", "2\r\nLOADPROGRAM /evil.bas\x01", false, false, "/p.bas"),
            (TStringList{"# Veltrane Load Link", "COMMLINK USB:2LOADPROGRAM /evil.bas", "LOADPROGRAM /p.bas"}));
}

TEST(ControllerLink, RefusalsNameTheirReason) {
  TVLTRegistry reg;
  EXPECT_EQ(SendToController(reg, "", false, false).strMessage, c_sMustBeSaved);
  EXPECT_EQ(SendToController(reg, "/x.csv", true, true).strMessage, c_sNoCsvDownload);
  EXPECT_EQ(SendToController(reg, "/no/such/file.bas", false, false).strMessage,
            "File /no/such/file.bas does not exist!");
  EXPECT_EQ(SendToController(reg, "/tmp/p.bas\nLOADPROGRAM /evil.bas", false, false).strMessage,
            "The file name contains a line break; the loader cannot be given it.");
}

// Waits for the stand-in loader's nth report line (the loader runs on its own).
std::string WaitForLog(const std::string& strLog, int n = 1) {
  for (int i = 0; i < 400; ++i) {
    std::ifstream in(FsPath(strLog));
    std::string line;
    int k = 0;
    while (in && std::getline(in, line))
      if (++k == n) return line;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return "";
}

// The loader is started in a folder with blanks in its name and gets the link file's
// name whole; the program's name keeps its blanks, quotes (where the system allows
// them) and characters beyond ASCII.
TEST(ControllerLink, SendsThroughTheLoaderWithBlanksAndQuotesIntact) {
  namespace fs = std::filesystem;
  const std::string strDir =
      Utf8Name(fs::temp_directory_path()) + "/veltrane send test " + std::to_string(::getpid());
  fs::create_directories(FsPath(strDir + "/loader folder"));
#ifdef _WIN32
  const std::string strProgram = strDir + "\\it's a 图纸 name; (1).bas";
  const std::string strLoader = strDir + "\\loader folder\\stand in loader.exe";
  fs::copy_file(VELTRANE_STAND_IN_LOADER, FsPath(strLoader));
#else
  const std::string strProgram = strDir + "/it's a \"quoted\" 图纸 name; rm -rf.bas";
  const std::string strLoader = strDir + "/loader folder/stand in loader";
  fs::copy_file(VELTRANE_STAND_IN_LOADER, FsPath(strLoader));
#endif
  SaveLines(strProgram, {"    MOVEABS(0,0)", "    MOVE(1,0)"});
  const std::string strLog = strDir + "/loader.log";
  SetEnvironmentValue("VELTRANE_LOADER_LOG", strLog);
  TVLTRegistry reg;
  reg.SetLoaderExeFile(strLoader);
  reg.SetCommLinkType("Ethernet");
  reg.SetCommsParameters("10.0.0.7:5000");
  reg.SetLoadWhileRunning(true);
  const TSendOutcome o = SendToController(reg, strProgram, false, false);
  ASSERT_TRUE(o.bStarted) << o.strMessage;
  EXPECT_EQ(o.strMessage, "The loader program " + strLoader + " was started to send " + strProgram + " to the controller.");
  EXPECT_EQ(Utf8Name(FsPath(o.strLinkFile).filename()).rfind("VLT", 0), 0u);
  EXPECT_EQ(WaitForLog(strLog), "would download program '" + strProgram + "' (" +
                                    std::to_string(fs::file_size(FsPath(strProgram))) +
                                    " bytes) over Ethernet:10.0.0.7:5000, load while running: yes");
  EXPECT_EQ(LoadLines(o.strLinkFile),
            (TStringList{"# Veltrane Load Link", "ALLOWPROGRAMLOADWHILERUNNING", "COMMLINK Ethernet:10.0.0.7:5000",
                         "LOADPROGRAM " + strProgram}));
  // Two sends make two link files.
  const TSendOutcome again = SendToController(reg, strProgram, false, false);
  EXPECT_NE(again.strLinkFile, o.strLinkFile);
  EXPECT_NE(WaitForLog(strLog, 2), "");
  // A loader that is not there is named.
  reg.SetLoaderExeFile(strDir + "/missing loader");
  EXPECT_NE(SendToController(reg, strProgram, false, false).strMessage.find("does not exist"), std::string::npos);
  SetEnvironmentValue("VELTRANE_LOADER_LOG", "");
  std::error_code ec;
  fs::remove(FsPath(o.strLinkFile), ec);
  fs::remove(FsPath(again.strLinkFile), ec);
  fs::remove_all(FsPath(strDir), ec);
}

}  // namespace
}  // namespace veltrane
