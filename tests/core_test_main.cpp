// The core tests' main. ctest runs the tests as parallel processes: each gets a settings
// file of its own beside the suite's (the name given, with the process's number), so that
// a test writing settings and reading them back never sees another test's, and the file
// goes when the process ends.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <system_error>

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

#include "model/FilePath.h"

int main(int argc, char** argv) {
  std::string file = veltrane::EnvironmentValue("VELTRANE_SETTINGS");
  if (!file.empty()) {
#ifdef _WIN32
    const long nProcess = _getpid();
#else
    const long nProcess = getpid();
#endif
    file += '.';
    file += std::to_string(nProcess);
    veltrane::SetEnvironmentValue("VELTRANE_SETTINGS", file);
  }
  ::testing::InitGoogleTest(&argc, argv);
  const int rc = RUN_ALL_TESTS();
  if (!file.empty()) {
    std::error_code e;
    std::filesystem::remove(veltrane::FsPath(file), e);
    std::filesystem::remove(veltrane::FsPath(file + ".lock"), e);
  }
  return rc;
}
