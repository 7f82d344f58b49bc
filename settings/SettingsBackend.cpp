// Chooses the settings store of the platform: the registry on Windows, a file elsewhere.
#include "settings/SettingsBackend.h"

#include <cstdlib>
#include <cstring>

#include "model/FilePath.h"
#include "settings/FileSettingsBackend.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace veltrane {

std::string DefaultSettingsFileName() {
  if (const std::string p = EnvironmentValue("VELTRANE_SETTINGS"); !p.empty()) return p;
  std::string base;
  if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x == '/') {
    base = x;
  } else if (const char* h = std::getenv("HOME"); h && *h) {
    base = h;
    base += "/.config";
  } else {
    base = ".";
  }
  base += "/veltrane/settings.conf";
  return base;
}

#ifdef _WIN32
namespace {

// The per-user registry, through the wide-character calls: names and strings are UTF-8
// here and UTF-16 there. Key paths begin with a backslash, which the API does not want.
class TWin32RegistryBackend : public ISettingsBackend {
 public:
  explicit TWin32RegistryBackend(std::string strRoot) : m_strRoot(std::move(strRoot)) {}
  std::optional<TRegValue> Read(const std::string& strKeyPath, const std::string& strName) override {
    HKEY hKey = Open(strKeyPath);
    if (!hKey) return std::nullopt;
    const std::wstring name = Widen(strName);
    DWORD dwType = 0, dwSize = 0;
    std::optional<TRegValue> result;
    if (RegQueryValueExW(hKey, name.c_str(), nullptr, &dwType, nullptr, &dwSize) == ERROR_SUCCESS) {
      std::string data(dwSize, '\0');
      if (RegQueryValueExW(hKey, name.c_str(), nullptr, &dwType, reinterpret_cast<BYTE*>(data.data()),
                           &dwSize) == ERROR_SUCCESS) {
        data.resize(dwSize);
        if (dwType == REG_SZ || dwType == REG_EXPAND_SZ) {
          std::wstring w(data.size() / sizeof(wchar_t), L'\0');
          std::memcpy(w.data(), data.data(), w.size() * sizeof(wchar_t));
          while (!w.empty() && w.back() == L'\0') w.pop_back();
          result = TRegValue{ERegValueType::eString, Narrow(w)};
        } else {
          result = TRegValue{static_cast<ERegValueType>(dwType), data};
        }
      }
    }
    RegCloseKey(hKey);
    return result;
  }
  void Write(const std::string& strKeyPath, const std::string& strName, const TRegValue& v) override {
    HKEY hKey = Open(strKeyPath);
    if (!hKey) return;
    std::string data = v.strData;
    if (v.evType == ERegValueType::eString) {
      const std::wstring w = Widen(v.strData);
      data.assign(reinterpret_cast<const char*>(w.c_str()), (w.size() + 1) * sizeof(wchar_t));
    }
    RegSetValueExW(hKey, Widen(strName).c_str(), 0, static_cast<DWORD>(v.evType),
                   reinterpret_cast<const BYTE*>(data.data()), static_cast<DWORD>(data.size()));
    RegCloseKey(hKey);
  }
  void Delete(const std::string& strKeyPath, const std::string& strName) override {
    HKEY hKey = Open(strKeyPath);
    if (!hKey) return;
    RegDeleteValueW(hKey, Widen(strName).c_str());
    RegCloseKey(hKey);
  }

 private:
  HKEY Open(const std::string& strKeyPath) const {
    std::string path = m_strRoot + strKeyPath;
    if (!path.empty() && path[0] == '\\') path.erase(0, 1);
    HKEY hKey = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, Widen(path).c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr,
                        &hKey, nullptr) != ERROR_SUCCESS)
      return nullptr;
    return hKey;
  }
  std::string m_strRoot;
};

}  // namespace

std::unique_ptr<ISettingsBackend> CreateRegistrySettingsBackend(const std::string& strRoot) {
  return std::make_unique<TWin32RegistryBackend>(strRoot);
}

std::unique_ptr<ISettingsBackend> CreatePlatformSettingsBackend() {
  if (const std::string p = EnvironmentValue("VELTRANE_SETTINGS"); !p.empty())
    return std::make_unique<TFileSettingsBackend>(p);
  return CreateRegistrySettingsBackend("");
}
#else
std::unique_ptr<ISettingsBackend> CreatePlatformSettingsBackend() {
  return std::make_unique<TFileSettingsBackend>(DefaultSettingsFileName());
}
#endif

}  // namespace veltrane
