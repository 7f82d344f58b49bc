// A registry in a file: keys, value names and typed values in a readable text form.
// Writes are atomic (temporary file and rename) and serialised between processes by
// a lock file; a file that cannot be parsed reads as empty and is kept aside, never
// overwritten, the next time something is written.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "settings/SettingsBackend.h"

namespace veltrane {

class TFileSettingsBackend : public ISettingsBackend {
 public:
  explicit TFileSettingsBackend(std::string strFileName);

  std::optional<TRegValue> Read(const std::string& strKeyPath, const std::string& strName) override;
  void Write(const std::string& strKeyPath, const std::string& strName, const TRegValue& Value) override;
  void Delete(const std::string& strKeyPath, const std::string& strName) override;

  const std::string& FileName() const { return m_strFileName; }

  // The file's contents: keys in order, each with its values in order.
  struct TKey {
    std::string strPath;
    std::vector<std::pair<std::string, TRegValue>> Values;
  };
  struct TContents {
    std::vector<TKey> Keys;
    TKey* FindKey(const std::string& strPath);
    TKey& FindOrAddKey(const std::string& strPath);
  };
  // Parses the text form; false when the text is not a settings file.
  static bool Parse(const std::string& strText, TContents& Contents);
  static std::string Format(const TContents& Contents);

 private:
  enum class ELoad { eMissing, eLoaded, eCorrupt };
  ELoad Load(TContents& Contents) const;
  // Runs a change under the lock: load, change, save. A corrupt file is moved aside first.
  template <class Change>
  void Modify(Change change);
  bool Save(const TContents& Contents) const;
  void KeepCorruptFileAside() const;

  std::string m_strFileName;
};

}  // namespace veltrane
