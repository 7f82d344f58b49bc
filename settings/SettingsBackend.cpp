// Chooses the settings store of the platform: the registry on Windows, a file elsewhere.
#include "settings/SettingsBackend.h"

#include <cstdlib>

#include "settings/FileSettingsBackend.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace veltrane {

std::string DefaultSettingsFileName() {
  if (const char* p = std::getenv("VELTRANE_SETTINGS"); p && *p) return p;
  std::string base;
  if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x == '/') {
    base = x;
  } else if (const char* h = std::getenv("HOME"); h && *h) {
    base = std::string(h) + "/.config";
  } else {
    base = ".";
  }
  return base + "/veltrane/settings.conf";
}

#ifdef _WIN32
namespace {

// The per-user registry. Key paths begin with a backslash, which the API does not want.
class TWin32RegistryBackend : public ISettingsBackend {
 public:
  std::optional<TRegValue> Read(const std::string& strKeyPath, const std::string& strName) override {
    HKEY hKey = Open(strKeyPath);
    if (!hKey) return std::nullopt;
    DWORD dwType = 0, dwSize = 0;
    std::optional<TRegValue> result;
    if (RegQueryValueExA(hKey, strName.c_str(), nullptr, &dwType, nullptr, &dwSize) == ERROR_SUCCESS) {
      std::string data(dwSize, '\0');
      if (RegQueryValueExA(hKey, strName.c_str(), nullptr, &dwType,
                           reinterpret_cast<BYTE*>(data.data()), &dwSize) == ERROR_SUCCESS) {
        data.resize(dwSize);
        if (dwType == REG_SZ && !data.empty() && data.back() == '\0') data.pop_back();
        result = TRegValue{static_cast<ERegValueType>(dwType), data};
      }
    }
    RegCloseKey(hKey);
    return result;
  }
  void Write(const std::string& strKeyPath, const std::string& strName, const TRegValue& v) override {
    HKEY hKey = Open(strKeyPath);
    if (!hKey) return;
    std::string data = v.strData;
    if (v.evType == ERegValueType::eString) data.push_back('\0');
    RegSetValueExA(hKey, strName.c_str(), 0, static_cast<DWORD>(v.evType),
                   reinterpret_cast<const BYTE*>(data.data()), static_cast<DWORD>(data.size()));
    RegCloseKey(hKey);
  }
  void Delete(const std::string& strKeyPath, const std::string& strName) override {
    HKEY hKey = Open(strKeyPath);
    if (!hKey) return;
    RegDeleteValueA(hKey, strName.c_str());
    RegCloseKey(hKey);
  }

 private:
  static HKEY Open(const std::string& strKeyPath) {
    std::string path = strKeyPath;
    if (!path.empty() && path[0] == '\\') path.erase(0, 1);
    HKEY hKey = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr,
                        &hKey, nullptr) != ERROR_SUCCESS)
      return nullptr;
    return hKey;
  }
};

}  // namespace

std::unique_ptr<ISettingsBackend> CreatePlatformSettingsBackend() {
  if (const char* p = std::getenv("VELTRANE_SETTINGS"); p && *p)
    return std::make_unique<TFileSettingsBackend>(p);
  return std::make_unique<TWin32RegistryBackend>();
}
#else
std::unique_ptr<ISettingsBackend> CreatePlatformSettingsBackend() {
  return std::make_unique<TFileSettingsBackend>(DefaultSettingsFileName());
}
#endif

}  // namespace veltrane
