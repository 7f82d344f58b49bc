// What the operating system decides: saving over a file that another program holds
// open, names beyond the ANSI code page through the command line, the registry's value
// types, temporary link files. Run natively and, for Windows, under Wine.
#include <gtest/gtest.h>

#include <algorithm>

#include <filesystem>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "model/FilePath.h"
#include "model/TextFile.h"
#include "settings/SettingsBackend.h"
#include "settings/VLTRegistry.h"
#include "tools/ControllerLink.h"

using namespace veltrane;
namespace fs = std::filesystem;

namespace {

class Platform : public ::testing::Test {
 protected:
  void SetUp() override {
    strDir = Utf8Name(fs::temp_directory_path()) + "/veltrane platform 图纸 " +
             ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::error_code ec;
    fs::remove_all(FsPath(strDir), ec);
    fs::create_directories(FsPath(strDir));
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(FsPath(strDir), ec);
  }
  // The names in the folder other than those given.
  std::vector<std::string> Others(std::initializer_list<std::string> keep) const {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(FsPath(strDir))) {
      const std::string n = Utf8Name(e.path().filename());
      if (std::find(keep.begin(), keep.end(), n) == keep.end()) out.push_back(n);
    }
    return out;
  }
  std::string strDir;
};

// Runs a program to its end with the given arguments; its exit status.
int RunProgram(const std::string& strExe, const std::vector<std::string>& args) {
#ifdef _WIN32
  std::wstring cmd = L"\"" + Widen(strExe) + L"\"";
  for (const std::string& a : args) cmd += L" \"" + Widen(a) + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return -1;
  WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return static_cast<int>(code);
#else
  const pid_t pid = ::fork();
  if (pid == 0) {
    std::vector<std::string> all{strExe};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}

}  // namespace

// A drawing and a program whose names hold Chinese characters and blanks go through the
// command line and back whole.
TEST_F(Platform, NamesBeyondTheCodePageThroughTheCommandLine) {
  const std::string strDrawing = strDir + "/图纸 草稿.dxf", strProgram = strDir + "/输出 程序.bas";
  fs::copy_file(FsPath(std::string(VELTRANE_SOURCE_DIR) + "/examples/bracket.dxf"), FsPath(strDrawing));
  ASSERT_EQ(RunProgram(VELTRANE_CLI, {"import", strDrawing, "-o", strProgram, "--layers", "OUTLINE,HOLES"}), 0);
  EXPECT_EQ(LoadLines(strProgram), LoadLines(std::string(VELTRANE_SOURCE_DIR) + "/tests/golden/import_bracket.bas"));
  const std::string strReversed = strDir + "/反向.bas";
  ASSERT_EQ(RunProgram(VELTRANE_CLI, {"transform", strProgram, "--all", "reverse", "-o", strReversed}), 0);
  EXPECT_TRUE(fs::is_regular_file(FsPath(strReversed)));
  // A name that does not exist is named back whole, and nothing is written.
  EXPECT_EQ(RunProgram(VELTRANE_CLI, {"check", strDir + "/没有.bas"}), 1);
  // A rooted name written with a slash is a file, not an option (on Windows "/x" was
  // taken for an option and the program was "required").
  EXPECT_EQ(RunProgram(VELTRANE_CLI, {"check", "/veltrane-no-such-file.bas"}), 1);
  // A file in the current folder, named from the root of the current drive.
  const fs::path here = fs::current_path() / FsPath("veltrane rooted name.bas");
  fs::copy_file(FsPath(strProgram), here, fs::copy_options::overwrite_existing);
  std::string strRooted = Utf8Name(here.relative_path());
  std::replace(strRooted.begin(), strRooted.end(), '\\', '/');
  EXPECT_EQ(RunProgram(VELTRANE_CLI, {"stats", "/" + strRooted}), 0) << strRooted;
  fs::remove(here);
}

// A failed save keeps the old file and leaves no temporary file; the message says why.
TEST_F(Platform, AFailedSaveKeepsTheOldFileAndSaysWhy) {
  const std::string strFile = strDir + "/程序.bas";
  WriteFileAtomically(strFile, "old\r\n");
  try {
    WriteFileAtomically(strDir + "/no such folder/x.bas", "new");
    ADD_FAILURE() << "saved into a folder that does not exist";
  } catch (const EFileError& e) {
    const std::string s = e.what();
    EXPECT_GT(s.size(), std::string("Error creating file " + strDir + "/no such folder/x.bas: ").size()) << s;
  }
#ifdef _WIN32
  // Held open without delete sharing: the replace cannot happen, the old text stays.
  HANDLE h = CreateFileW(Widen(strFile).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_THROW(WriteFileAtomically(strFile, "new\r\n"), EFileError);
  CloseHandle(h);
  EXPECT_EQ(ReadWholeFile(strFile), "old\r\n");
  // A read-only file is refused by name.
  SetFileAttributesW(Widen(strFile).c_str(), FILE_ATTRIBUTE_READONLY);
  try {
    WriteFileAtomically(strFile, "new\r\n");
    ADD_FAILURE() << "saved over a read-only file";
  } catch (const EFileError& e) {
    EXPECT_EQ(std::string(e.what()), strFile + " is read-only");
  }
  SetFileAttributesW(Widen(strFile).c_str(), FILE_ATTRIBUTE_NORMAL);
#endif
  EXPECT_EQ(ReadWholeFile(strFile), "old\r\n");
  EXPECT_EQ(Others({"程序.bas"}), std::vector<std::string>{});
}

// Another program (an indexer, a virus scanner, an editor) holds the file open and allows
// deleting it: a save never leaves nothing behind. Either the new text is there whole, or
// the save failed and the old text is.
TEST_F(Platform, SaveOverAFileHeldOpenWithDeleteSharing) {
  const std::string strFile = strDir + "/held.bas";
  WriteFileAtomically(strFile, "old\r\n");
  const std::string strNew(100000, 'n');
#ifdef _WIN32
  HANDLE h = CreateFileW(Widen(strFile).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
#else
  std::FILE* h = OpenFile(strFile, "rb");
  ASSERT_NE(h, nullptr);
#endif
  bool bSaved = true;
  try {
    WriteFileAtomically(strFile, strNew);
  } catch (const EFileError&) {
    bSaved = false;
  }
#ifdef _WIN32
  CloseHandle(h);
#else
  std::fclose(h);
#endif
  ASSERT_TRUE(fs::exists(FsPath(strFile))) << "the file is gone";
  EXPECT_EQ(ReadWholeFile(strFile), bSaved ? strNew : "old\r\n");
  EXPECT_EQ(Others({"held.bas"}), std::vector<std::string>{});
  RecordProperty("saved while held", bSaved ? "yes" : "no (old file kept)");
}

// Link files are made in the temporary folder, each with a name of its own.
TEST_F(Platform, TemporaryLinkFiles) {
  std::string a, b;
  ASSERT_TRUE(CreateTempFile("VLT", a));
  ASSERT_TRUE(CreateTempFile("VLT", b));
  EXPECT_NE(a, b);
  EXPECT_TRUE(fs::is_regular_file(FsPath(a)));
  EXPECT_EQ(Utf8Name(FsPath(a).filename()).rfind("VLT", 0), 0u);
  std::string strTemp = Utf8Name(fs::temp_directory_path());
  while (strTemp.size() > 1 && (strTemp.back() == '/' || strTemp.back() == '\\')) strTemp.pop_back();
  EXPECT_EQ(a.rfind(strTemp, 0), 0u) << a << " is not in " << strTemp;
  fs::remove(FsPath(a));
  fs::remove(FsPath(b));
}

#ifdef _WIN32
// The registry keeps strings as REG_SZ (in UTF-16, any character), integers and
// booleans as REG_DWORD and floats as their eight bytes (REG_BINARY), and reads back what
// was written.
TEST_F(Platform, RegistryValueTypes) {
  const std::string strRoot = "\\Software\\Veltrane tests";
  RegDeleteTreeW(HKEY_CURRENT_USER, Widen(strRoot.substr(1)).c_str());
  {
    TVLTRegistry r(CreateRegistrySettingsBackend(strRoot));
    r.WriteStringValue("D:\\图纸\\零件 1.dxf", "LastFile", "\\Load");
    r.WriteIntegerValue(-7, "Count", "\\Load");
    r.WriteBooleanValue(true, "On", "\\Load");
    r.WriteFloatValue(0.1, "Span", "\\Load");
    EXPECT_EQ(r.ReadStringValue("LastFile", "\\Load"), "D:\\图纸\\零件 1.dxf");
    EXPECT_EQ(r.ReadIntegerValue("Count", "\\Load"), -7);
    EXPECT_TRUE(r.ReadBooleanValue("On", "\\Load"));
    EXPECT_EQ(r.ReadFloatValue("Span", "\\Load"), 0.1);
  }
  HKEY hKey = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, Widen(strRoot.substr(1) + "\\Software\\Harmark\\Veltrane\\Load").c_str(), 0,
                          KEY_READ, &hKey),
            ERROR_SUCCESS);
  const auto Type = [&](const wchar_t* name) {
    DWORD dwType = 0;
    return RegQueryValueExW(hKey, name, nullptr, &dwType, nullptr, nullptr) == ERROR_SUCCESS ? dwType : DWORD{0};
  };
  EXPECT_EQ(Type(L"LastFile"), DWORD{REG_SZ});
  EXPECT_EQ(Type(L"Count"), DWORD{REG_DWORD});
  EXPECT_EQ(Type(L"On"), DWORD{REG_DWORD});
  EXPECT_EQ(Type(L"Span"), DWORD{REG_BINARY});
  wchar_t text[64] = {};
  DWORD dwSize = sizeof text;
  RegQueryValueExW(hKey, L"LastFile", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &dwSize);
  EXPECT_EQ(std::wstring(text), L"D:\\图纸\\零件 1.dxf");
  RegCloseKey(hKey);
  RegDeleteTreeW(HKEY_CURRENT_USER, Widen(strRoot.substr(1)).c_str());
}
#endif
