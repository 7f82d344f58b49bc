// A registry in a file: keys, value names and typed values in a readable text form.
// Writes are atomic (temporary file and rename) and serialised between processes by
// a lock file; lines that cannot be parsed are skipped, and such a file is kept aside,
// never overwritten, the next time something is written.
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
  // Parses the text form; false when some line could not be read (those lines are left
  // out, the rest is in Contents).
  static bool Parse(const std::string& strText, TContents& Contents);
  static std::string Format(const TContents& Contents);

 private:
  enum class ELoad { eMissing, eLoaded, eCorrupt };
  ELoad Load(TContents& Contents) const;
  // Runs a change under the lock: load, change, save. A corrupt file is copied aside first.
  template <class Change>
  void Modify(Change change);
  bool Save(const TContents& Contents) const;
  bool KeepCorruptFileAside() const;

  std::string m_strFileName;
};

}  // namespace veltrane
