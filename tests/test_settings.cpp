// The settings store: key paths, typed round trips, wrong types, missing keys, the file
// form, corrupt files and concurrent writers.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <process.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <thread>

#include "model/FilePath.h"
#include "model/TextFile.h"
#include "settings/FileSettingsBackend.h"
#include "settings/VLTRegistry.h"

using namespace veltrane;
namespace fs = std::filesystem;

namespace {

class Settings : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("veltrane-settings-" + std::to_string(::getpid()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    file = (dir / "sub" / "settings.conf").string();
  }
  void TearDown() override { fs::remove_all(dir); }
  TVLTRegistry Registry() { return TVLTRegistry(std::make_unique<TFileSettingsBackend>(file)); }
  std::string FileText() { return ReadWholeFile(file); }
  fs::path dir;
  std::string file;
};

}  // namespace

TEST_F(Settings, KeyPathRule) {
  TVLTRegistry r = Registry();
  EXPECT_EQ(r.KeyPath(""), "\\Software\\Harmark\\Veltrane");
  EXPECT_EQ(r.KeyPath("\\Loader"), "\\Software\\Harmark\\Veltrane\\Loader");
  EXPECT_EQ(r.KeyPath("Loader"), "\\Software\\Harmark\\Veltrane\\Loader");
  EXPECT_EQ(TVLTRegistry::LayerSubkey(5), "\\layer5");
  r.WriteStringValue("x", "V", "Loader");
  EXPECT_EQ(r.ReadStringValue("V", "\\Loader"), "x");
}

TEST_F(Settings, AbsentValuesAndKeyCreationOnRead) {
  TVLTRegistry r = Registry();
  EXPECT_EQ(r.LoaderExeFile(), "");
  EXPECT_EQ(r.SplineMovesPerSection(), 0);
  EXPECT_EQ(r.DXFInImportRelativeMatch(), 0.0);
  EXPECT_FALSE(r.LookAheadMove());
  EXPECT_EQ(r.SequenceEndText(3), "");
  std::string text = FileText();  // the reads created their keys
  EXPECT_NE(text.find("[\\Software\\Harmark\\Veltrane\\Loader]"), std::string::npos);
  EXPECT_NE(text.find("[\\Software\\Harmark\\Veltrane\\DXF in]"), std::string::npos);
  EXPECT_NE(text.find("[\\Software\\Harmark\\Veltrane\\layer3]"), std::string::npos);
}

TEST_F(Settings, RoundTripsOfEveryType) {
  {
    TVLTRegistry r = Registry();
    r.SetLoaderExeFile("C:\\Program Files\\Loader \"x\"\\load.exe");
    r.SetCommsParameters("1:9600,7,e,2");
    r.SetLoadWhileRunning(true);
    r.SetSplineMovesPerSection(-7);
    r.SetXAxis(std::numeric_limits<int32_t>::min());
    r.SetYAxis(std::numeric_limits<int32_t>::max());
    r.SetDXFInImportAbsoluteMatch(2e-05);
    r.SetXspanLeft(-1234.5678);
    r.SetYspanTop(std::numeric_limits<double>::denorm_min());
    r.SetProgramStartText("line one\r\nline two\r\n\ttab \x01 bell é");
    r.SetLayerEachText(0, "layer zero");
    r.SetLayerEachText(5, "layer five");
    r.SetLookAheadMoveCirc(true);
  }
  TVLTRegistry r = Registry();  // a fresh instance reads what the first one wrote
  EXPECT_EQ(r.LoaderExeFile(), "C:\\Program Files\\Loader \"x\"\\load.exe");
  EXPECT_EQ(r.CommsParameters(), "1:9600,7,e,2");
  EXPECT_TRUE(r.LoadWhileRunning());
  EXPECT_EQ(r.SplineMovesPerSection(), -7);
  EXPECT_EQ(r.XAxis(), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(r.YAxis(), std::numeric_limits<int32_t>::max());
  EXPECT_EQ(r.DXFInImportAbsoluteMatch(), 2e-05);
  EXPECT_EQ(r.XspanLeft(), -1234.5678);
  EXPECT_EQ(r.YspanTop(), std::numeric_limits<double>::denorm_min());
  EXPECT_EQ(r.ProgramStartText(), "line one\r\nline two\r\n\ttab \x01 bell é");
  EXPECT_EQ(r.LayerEachText(0), "layer zero");
  EXPECT_EQ(r.LayerEachText(5), "layer five");
  EXPECT_EQ(r.LayerEachText(1), "");
  EXPECT_TRUE(r.LookAheadMoveCirc());
  EXPECT_FALSE(r.LookAheadMove());  // the look-ahead flags are independent
  EXPECT_FALSE(r.LookAheadStartSequence());
  r.DeleteLayerEachText(5);
  EXPECT_EQ(r.LayerEachText(5), "");
  r.SetLoadWhileRunning(false);
  EXPECT_FALSE(r.LoadWhileRunning());
}

TEST_F(Settings, WrongTypesReadAsAbsent) {
  TVLTRegistry r = Registry();
  r.WriteStringValue("0.5", "ImportRelativeMatch", "\\DXF in");
  EXPECT_EQ(r.DXFInImportRelativeMatch(), 0.0);
  r.WriteFloatValue(3.0, "XAxis");
  EXPECT_EQ(r.XAxis(), 0);
  EXPECT_FALSE(r.ReadBooleanValue("XAxis"));
  r.WriteIntegerValue(4, "LastBasicFile");
  EXPECT_EQ(r.LastBasicFile(), "");
  r.WriteIntegerValue(1, "EnableSpan");
  EXPECT_TRUE(r.EnableSpan());
  r.WriteIntegerValue(-9, "EnableSpan");
  EXPECT_TRUE(r.EnableSpan());  // any value but 0 is true
  // A binary value of the wrong length is no double.
  TFileSettingsBackend b(file);
  b.Write(r.KeyPath(""), "XspanRight", TRegValue{ERegValueType::eBinary, "1234"});
  EXPECT_EQ(r.XspanRight(), 0.0);
  // Names compare without regard to case, as in the registry.
  r.WriteStringValue("v", "MixedCase", "\\Loader");
  EXPECT_EQ(r.ReadStringValue("mixedcase", "\\LOADER"), "v");
}

TEST_F(Settings, FileFormParsesWhatItWrites) {
  TFileSettingsBackend::TContents c;
  c.FindOrAddKey("\\A").Values.emplace_back("n=\"1\"", TRegValue{ERegValueType::eString, "a\\b\"c\n"});
  c.FindOrAddKey("\\A").Values.emplace_back("d", TRegValue{ERegValueType::eDword, std::string("\x01\x00\x00\x80", 4)});
  c.FindOrAddKey("\\B").Values.emplace_back("h", TRegValue{ERegValueType::eBinary, ""});
  std::string text = TFileSettingsBackend::Format(c);
  EXPECT_NE(text.find("\"d\"=dword:80000001"), std::string::npos);
  TFileSettingsBackend::TContents back;
  ASSERT_TRUE(TFileSettingsBackend::Parse(text, back));
  ASSERT_EQ(back.Keys.size(), 2u);
  EXPECT_EQ(back.Keys[0].Values, c.Keys[0].Values);
  EXPECT_EQ(back.Keys[1].Values, c.Keys[1].Values);
  const char* bad[] = {"\"x\"=sz:\"1\"",              // a value outside any key
                       "[k]\n\"x\"=sz:\"1",           // unterminated text
                       "[k]\n\"x\"=dword:123",        // short DWORD
                       "[k]\n\"x\"=hex:0g",           // not hex
                       "[k]\n\"x\"=hex:00,",          // dangling comma
                       "[k]\nx=sz:\"1\"",             // unquoted name
                       "[k]\n\"x\"=qword:00",         // unknown type
                       "[k\n",                        // broken key line
                       "[k]\n\"x\"=sz:\"\\q\""};      // unknown escape
  for (const char* b : bad) EXPECT_FALSE(TFileSettingsBackend::Parse(b, back)) << b;
}

TEST_F(Settings, CorruptFileReadsAbsentAndIsKeptAside) {
  fs::create_directories(fs::path(file).parent_path());
  { std::ofstream(FsPath(file), std::ios::binary) << "garbage that is not a settings file\n"; }
  TVLTRegistry r = Registry();
  EXPECT_EQ(r.LoaderExeFile(), "");
  EXPECT_EQ(FileText(), "garbage that is not a settings file\n");  // reading changes nothing
  r.SetLoaderExeFile("new");
  EXPECT_EQ(r.LoaderExeFile(), "new");
  EXPECT_EQ(ReadWholeFile(file + ".corrupt"), "garbage that is not a settings file\n");
  // A second corrupt file does not replace the first backup.
  { std::ofstream(FsPath(file), std::ios::binary) << "more garbage\n"; }
  r.SetLoaderExeFile("newer");
  EXPECT_EQ(ReadWholeFile(file + ".corrupt"), "garbage that is not a settings file\n");
  EXPECT_EQ(ReadWholeFile(file + ".corrupt.1"), "more garbage\n");
}

// A line that cannot be read loses only itself: the values around it keep theirs, and
// the file as it was is kept aside before the next write.
TEST_F(Settings, UnreadableLinesAreSkippedOneByOne) {
  fs::create_directories(fs::path(file).parent_path());
  const std::string text =
      "; Veltrane settings\n[\\Software\\Harmark\\Veltrane]\n\"TableStart\"=sz:\"100\"\n"
      "\"Broken\"=dword:12\n[\\Broken\n\"Orphan\"=sz:\"x\"\n"
      "[\\Software\\Harmark\\Veltrane\\Loader]\n\"LoaderExe\"=sz:\"/bin/loader\"\n\"Cut\"=sz:\"trunc";
  { std::ofstream(FsPath(file), std::ios::binary) << text; }
  TVLTRegistry r = Registry();
  EXPECT_EQ(r.TableStart(), "100");
  EXPECT_EQ(r.LoaderExeFile(), "/bin/loader");
  r.SetTableStart("7");
  EXPECT_EQ(r.TableStart(), "7");
  EXPECT_EQ(r.LoaderExeFile(), "/bin/loader");
  EXPECT_EQ(ReadWholeFile(file + ".corrupt"), text);
  EXPECT_EQ(FileText().find("Orphan"), std::string::npos);
}

#ifndef _WIN32
// A settings file that is a link is updated through it; a read-only one is left alone
// (also for the superuser) and its writes are dropped.
TEST_F(Settings, LinkedAndReadOnlyFiles) {
  fs::create_directories(dir);
  const fs::path target = dir / "real.conf";
  Registry();  // makes the folder
  fs::create_directories(fs::path(file).parent_path());
  TVLTRegistry(std::make_unique<TFileSettingsBackend>(target.string())).SetTableStart("5");
  fs::create_symlink(target, file);
  TVLTRegistry r = Registry();
  EXPECT_EQ(r.TableStart(), "5");
  r.SetTableStart("6");
  EXPECT_TRUE(fs::is_symlink(file));
  EXPECT_EQ(TVLTRegistry(std::make_unique<TFileSettingsBackend>(target.string())).TableStart(), "6");
  fs::permissions(target, fs::perms::owner_read | fs::perms::group_read);
  const std::string before = ReadWholeFile(target.string());
  r.SetTableStart("8");
  EXPECT_EQ(r.TableStart(), "6");
  EXPECT_EQ(ReadWholeFile(target.string()), before);
  EXPECT_TRUE(fs::is_symlink(file));
}
#endif

TEST_F(Settings, UnwritableStoreIsSilent) {
  fs::create_directories(dir);
  { std::ofstream(dir / "blocker", std::ios::binary) << "x"; }
  std::string strBlocked = (dir / "blocker" / "settings.conf").string();  // parent is a file
  TVLTRegistry r(std::make_unique<TFileSettingsBackend>(strBlocked));
  r.SetLoaderExeFile("dropped");
  EXPECT_EQ(r.LoaderExeFile(), "");
}

// Writers in separate threads (each with its own store, as separate programs have) and,
// where there is fork, in separate processes take turns: no value is lost and the file
// is never seen half-written.
TEST_F(Settings, ConcurrentWritersLoseNothing) {
  constexpr int c_nWriters = 4, c_nValues = 40;
  const auto Writer = [&](int w, const std::string& strPrefix) {
    TVLTRegistry r = Registry();
    for (int i = 0; i < c_nValues; ++i)
      r.WriteIntegerValue(w * 1000 + i, strPrefix + std::to_string(w) + "_" + std::to_string(i), "\\Load");
  };
  const auto Check = [&](const std::string& strPrefix) {
    TVLTRegistry r = Registry();
    int nLost = 0;
    for (int w = 0; w < c_nWriters; ++w)
      for (int i = 0; i < c_nValues; ++i)
        nLost += r.ReadIntegerValue(strPrefix + std::to_string(w) + "_" + std::to_string(i), "\\Load") != w * 1000 + i;
    EXPECT_EQ(nLost, 0) << strPrefix;
    EXPECT_FALSE(fs::exists(FsPath(file + ".corrupt")));
  };
  {
    std::vector<std::thread> threads;
    for (int w = 0; w < c_nWriters; ++w) threads.emplace_back(Writer, w, "T");
    for (auto& t : threads) t.join();
  }
  Check("T");
#ifndef _WIN32
  std::vector<pid_t> children;
  for (int w = 0; w < c_nWriters; ++w) {
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      Writer(w, "W");
      ::_exit(0);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  Check("W");
#endif
  // No temporary file is left behind.
  for (const auto& e : fs::directory_iterator(fs::path(FsPath(file)).parent_path()))
    EXPECT_EQ(e.path().filename().string().find(".tmp"), std::string::npos) << e.path().string();
}

TEST_F(Settings, EnvironmentChoosesTheFile) {
  SetEnvironmentValue("VELTRANE_SETTINGS", file);
  EXPECT_EQ(DefaultSettingsFileName(), file);
  TVLTRegistry().SetTableStart("7");
  EXPECT_EQ(Registry().TableStart(), "7");
  SetEnvironmentValue("VELTRANE_SETTINGS", "");
#ifndef _WIN32
  ::setenv("XDG_CONFIG_HOME", "/tmp/xdg-test", 1);
  EXPECT_EQ(DefaultSettingsFileName(), "/tmp/xdg-test/veltrane/settings.conf");
  ::setenv("XDG_CONFIG_HOME", "relative", 1);  // not absolute: ignored
  ::setenv("HOME", "/home/u", 1);
  EXPECT_EQ(DefaultSettingsFileName(), "/home/u/.config/veltrane/settings.conf");
#endif
}
