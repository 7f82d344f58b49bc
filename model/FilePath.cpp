#include "model/FilePath.h"

#include <cstdlib>

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#endif

namespace veltrane {

#ifdef _WIN32

std::wstring Widen(const std::string& s) {
  if (s.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  if (n <= 0) {
    // Not UTF-8 after all (a name typed in the ANSI code page): take it in that.
    const int m = MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(m), L'\0');
    MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), w.data(), m);
    return w;
  }
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
  return w;
}

std::string Narrow(const std::wstring& w) {
  if (w.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
  return s;
}

std::string SystemMessage(unsigned long nError) {
  wchar_t* buf = nullptr;
  const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                     FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, nError, 0, reinterpret_cast<wchar_t*>(&buf), 0, nullptr);
  std::string s = n && buf ? Narrow(std::wstring(buf, n)) : std::string();
  if (buf) LocalFree(buf);
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ' || s.back() == '.')) s.pop_back();
  return s.empty() ? "error " + std::to_string(nError) : s;
}

std::filesystem::path FsPath(const std::string& strUtf8) { return std::filesystem::path(Widen(strUtf8)); }

std::string Utf8Name(const std::filesystem::path& p) { return Narrow(p.wstring()); }

std::FILE* OpenFile(const std::string& strUtf8, const char* strMode) {
  return _wfopen(Widen(strUtf8).c_str(), Widen(strMode).c_str());
}

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
  int n = 0;
  wchar_t** w = CommandLineToArgvW(GetCommandLineW(), &n);
  if (!w || n != argc) {
    if (w) LocalFree(w);
    return std::vector<std::string>(argv, argv + argc);
  }
  std::vector<std::string> args;
  for (int i = 0; i < n; ++i) args.push_back(Narrow(w[i]));
  LocalFree(w);
  return args;
}

std::string EnvironmentValue(const char* strName) {
  const std::wstring name = Widen(strName);
  const DWORD n = GetEnvironmentVariableW(name.c_str(), nullptr, 0);
  if (n == 0) return {};
  std::wstring v(n, L'\0');
  const DWORD got = GetEnvironmentVariableW(name.c_str(), v.data(), n);
  v.resize(got < n ? got : 0);
  return Narrow(v);
}

void SetEnvironmentValue(const char* strName, const std::string& strValue) {
  // Both the system's block (for children) and the C library's copy (for getenv).
  const std::wstring name = Widen(strName), value = Widen(strValue);
  SetEnvironmentVariableW(name.c_str(), strValue.empty() ? nullptr : value.c_str());
  _wputenv_s(name.c_str(), value.c_str());
}

#else

std::filesystem::path FsPath(const std::string& strUtf8) { return std::filesystem::path(strUtf8); }

std::string Utf8Name(const std::filesystem::path& p) { return p.string(); }

std::FILE* OpenFile(const std::string& strUtf8, const char* strMode) { return std::fopen(strUtf8.c_str(), strMode); }

std::vector<std::string> Utf8Arguments(int argc, char** argv) { return std::vector<std::string>(argv, argv + argc); }

std::string EnvironmentValue(const char* strName) {
  const char* p = std::getenv(strName);
  return p ? p : "";
}

void SetEnvironmentValue(const char* strName, const std::string& strValue) {
  if (strValue.empty())
    ::unsetenv(strName);
  else
    ::setenv(strName, strValue.c_str(), 1);
}

#endif

}  // namespace veltrane
