// Typed reads and writes over the settings store. A value of the wrong type, a binary
// value that is not eight bytes long, or a store that cannot be opened reads as absent.
#include "settings/VLTRegistry.h"

#include <cstring>

namespace veltrane {

TVLTRegistry::TVLTRegistry() : m_pBackend(CreatePlatformSettingsBackend()) {}

TVLTRegistry::TVLTRegistry(std::unique_ptr<ISettingsBackend> pBackend)
    : m_pBackend(std::move(pBackend)) {}

std::string TVLTRegistry::KeyPath(const std::string& strSubKey) const {
  if (strSubKey.empty()) return m_strAppKey;
  if (strSubKey[0] == '\\') return m_strAppKey + strSubKey;
  return m_strAppKey + "\\" + strSubKey;
}

std::string TVLTRegistry::LayerSubkey(int nLayer) {
  return gc_sRegistryLayerSubkey + std::to_string(nLayer);
}

std::string TVLTRegistry::ReadStringValue(const std::string& strName, const std::string& strSubKey) {
  auto v = m_pBackend->Read(KeyPath(strSubKey), strName);
  return (v && v->evType == ERegValueType::eString) ? v->strData : std::string();
}

int32_t TVLTRegistry::ReadIntegerValue(const std::string& strName, const std::string& strSubKey) {
  auto v = m_pBackend->Read(KeyPath(strSubKey), strName);
  if (!v || v->evType != ERegValueType::eDword || v->strData.size() != 4) return 0;
  uint32_t n = 0;
  for (size_t b = 0; b < 4; ++b)
    n |= static_cast<uint32_t>(static_cast<unsigned char>(v->strData[b])) << (8 * b);
  return static_cast<int32_t>(n);
}

bool TVLTRegistry::HasValue(const std::string& strName, const std::string& strSubKey) {
  return m_pBackend->Read(KeyPath(strSubKey), strName).has_value();
}

double TVLTRegistry::ReadFloatValue(const std::string& strName, const std::string& strSubKey) {
  auto v = m_pBackend->Read(KeyPath(strSubKey), strName);
  if (!v || v->evType != ERegValueType::eBinary || v->strData.size() != sizeof(double)) return 0.0;
  double f = 0.0;
  std::memcpy(&f, v->strData.data(), sizeof f);
  return f;
}

bool TVLTRegistry::ReadBooleanValue(const std::string& strName, const std::string& strSubKey) {
  return ReadIntegerValue(strName, strSubKey) != 0;
}

void TVLTRegistry::WriteStringValue(const std::string& strValue, const std::string& strName,
                                    const std::string& strSubKey) {
  m_pBackend->Write(KeyPath(strSubKey), strName, TRegValue{ERegValueType::eString, strValue});
}

void TVLTRegistry::WriteIntegerValue(int32_t nValue, const std::string& strName,
                                     const std::string& strSubKey) {
  std::string data(4, '\0');
  uint32_t n = static_cast<uint32_t>(nValue);
  for (size_t b = 0; b < 4; ++b) data[b] = static_cast<char>((n >> (8 * b)) & 0xff);
  m_pBackend->Write(KeyPath(strSubKey), strName, TRegValue{ERegValueType::eDword, data});
}

void TVLTRegistry::WriteFloatValue(double fValue, const std::string& strName,
                                   const std::string& strSubKey) {
  std::string data(sizeof fValue, '\0');
  std::memcpy(data.data(), &fValue, sizeof fValue);
  m_pBackend->Write(KeyPath(strSubKey), strName, TRegValue{ERegValueType::eBinary, data});
}

void TVLTRegistry::WriteBooleanValue(bool bValue, const std::string& strName,
                                     const std::string& strSubKey) {
  WriteIntegerValue(bValue ? 1 : 0, strName, strSubKey);
}

void TVLTRegistry::DeleteValue(const std::string& strName, const std::string& strSubKey) {
  m_pBackend->Delete(KeyPath(strSubKey), strName);
}

#define VELTRANE_DEFINE_SETTING(Kind, Type, Name, ValueName, SubKey) \
  Type TVLTRegistry::Name() { return Read##Kind##Value(ValueName, SubKey); } \
  void TVLTRegistry::Set##Name(const Type& Value) { Write##Kind##Value(Value, ValueName, SubKey); }
VELTRANE_SETTINGS(VELTRANE_DEFINE_SETTING)
#undef VELTRANE_DEFINE_SETTING

#define VELTRANE_DEFINE_LAYER_SETTING(Name, ValueName)                                     \
  std::string TVLTRegistry::Name(int nLayer) {                                             \
    return ReadStringValue(ValueName, LayerSubkey(nLayer));                                \
  }                                                                                        \
  void TVLTRegistry::Set##Name(int nLayer, const std::string& Value) {                     \
    WriteStringValue(Value, ValueName, LayerSubkey(nLayer));                               \
  }                                                                                        \
  void TVLTRegistry::Delete##Name(int nLayer) { DeleteValue(ValueName, LayerSubkey(nLayer)); }
VELTRANE_LAYER_SETTINGS(VELTRANE_DEFINE_LAYER_SETTING)
#undef VELTRANE_DEFINE_LAYER_SETTING

}  // namespace veltrane
