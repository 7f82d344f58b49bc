// The place settings live: the per-user registry on Windows, a per-user file elsewhere.
// Each call opens the store, does one thing and closes it again; nothing is cached.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace veltrane {

// Value types, numbered as the registry numbers them.
enum class ERegValueType : int32_t { eString = 1, eBinary = 3, eDword = 4 };

struct TRegValue {
  ERegValueType evType = ERegValueType::eString;
  std::string strData;  // the string, or the raw bytes (a DWORD is 4 bytes, little-endian)
  bool operator==(const TRegValue&) const = default;
};

class ISettingsBackend {
 public:
  virtual ~ISettingsBackend() = default;
  // Opens the key with creation allowed and reads one value; nullopt when the key cannot
  // be opened or the value does not exist.
  virtual std::optional<TRegValue> Read(const std::string& strKeyPath, const std::string& strName) = 0;
  // Writes one value; a key that cannot be opened or created drops the write silently.
  virtual void Write(const std::string& strKeyPath, const std::string& strName, const TRegValue& Value) = 0;
  // Removes the value when it exists.
  virtual void Delete(const std::string& strKeyPath, const std::string& strName) = 0;
};

// The store of this platform for the current user.
std::unique_ptr<ISettingsBackend> CreatePlatformSettingsBackend();

#ifdef _WIN32
// The registry under HKEY_CURRENT_USER, each key path below strRoot (empty for the
// real place; tests keep to a root of their own).
std::unique_ptr<ISettingsBackend> CreateRegistrySettingsBackend(const std::string& strRoot);
#endif

// The settings file used on platforms without a registry: $VELTRANE_SETTINGS when set,
// otherwise veltrane/settings.conf under $XDG_CONFIG_HOME (default ~/.config).
std::string DefaultSettingsFileName();

}  // namespace veltrane
