// File names as the rest of the program holds them, in UTF-8, and as the file system
// takes them. On Windows every name goes to the wide-character calls, so that "图纸.bas"
// opens whatever the system's ANSI code page; elsewhere names are bytes and pass as
// they are. Every open, stat, rename and delete goes through these.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace veltrane {

// The file system's name for a UTF-8 file name, and back.
std::filesystem::path FsPath(const std::string& strUtf8);
std::string Utf8Name(const std::filesystem::path& p);

// std::fopen with a UTF-8 name.
std::FILE* OpenFile(const std::string& strUtf8, const char* strMode);

// The program's arguments in UTF-8: on Windows taken from the wide command line (the
// narrow argv has lost every character outside the ANSI code page), elsewhere argv.
std::vector<std::string> Utf8Arguments(int argc, char** argv);

// The value of an environment variable in UTF-8, or empty; and setting one (an empty
// value removes it).
std::string EnvironmentValue(const char* strName);
void SetEnvironmentValue(const char* strName, const std::string& strValue);

#ifdef _WIN32
std::wstring Widen(const std::string& strUtf8);
std::string Narrow(const std::wstring& strWide);
// The system's own words for an error code ("The process cannot access the file
// because it is being used by another process."), without the line end.
std::string SystemMessage(unsigned long nError);
#endif

}  // namespace veltrane
