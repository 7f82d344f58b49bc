// The settings file. Its form, one item a line:
//   ; comment                      (also the first line, which names the file)
//   [\Software\Harmark\Veltrane\Loader]
//   "LoaderExe"=sz:"C:\\Program Files\\loader.exe"
//   "XAxis"=dword:00000001
//   "XspanLeft"=hex:00,00,00,00,00,00,f0,3f
// Names and strings are quoted with \\, \", \r, \n, \t and \xHH escapes. Key paths and
// value names compare without regard to case, as in the registry.
#include "settings/FileSettingsBackend.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "model/FilePath.h"
#include "model/Text.h"
#include "model/TextFile.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace veltrane {

namespace {

constexpr const char* c_sHeader = "; Veltrane settings";

std::string Quote(const std::string& s) {
  static const char* hex = "0123456789abcdef";
  std::string out = "\"";
  for (char ch : s) {
    unsigned char c = static_cast<unsigned char>(ch);
    switch (ch) {
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 32 || c == 127) {
          out += "\\x";
          out += hex[c >> 4];
          out += hex[c & 15];
        } else {
          out += ch;
        }
    }
  }
  return out + "\"";
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads a quoted text at s[i]; leaves i after the closing quote.
bool Unquote(std::string_view s, size_t& i, std::string& out) {
  out.clear();
  if (i >= s.size() || s[i] != '"') return false;
  for (++i; i < s.size(); ++i) {
    char c = s[i];
    if (c == '"') {
      ++i;
      return true;
    }
    if (c != '\\') {
      out += c;
      continue;
    }
    if (++i >= s.size()) return false;
    switch (s[i]) {
      case '\\': out += '\\'; break;
      case '"': out += '"'; break;
      case 'r': out += '\r'; break;
      case 'n': out += '\n'; break;
      case 't': out += '\t'; break;
      case 'x': {
        if (i + 2 >= s.size()) return false;
        int h = HexDigit(s[i + 1]), l = HexDigit(s[i + 2]);
        if (h < 0 || l < 0) return false;
        out += static_cast<char>(h * 16 + l);
        i += 2;
        break;
      }
      default:
        return false;
    }
  }
  return false;
}

bool ParseValue(std::string_view s, TRegValue& v) {
  if (s.starts_with("sz:")) {
    size_t i = 3;
    v.evType = ERegValueType::eString;
    return Unquote(s, i, v.strData) && i == s.size();
  }
  if (s.starts_with("dword:")) {
    std::string_view h = s.substr(6);
    if (h.size() != 8) return false;
    uint32_t n = 0;
    for (char c : h) {
      int d = HexDigit(c);
      if (d < 0) return false;
      n = n * 16 + static_cast<uint32_t>(d);
    }
    v.evType = ERegValueType::eDword;
    v.strData.clear();
    for (int b = 0; b < 4; ++b) v.strData += static_cast<char>((n >> (8 * b)) & 0xff);
    return true;
  }
  if (s.starts_with("hex:")) {
    std::string_view h = s.substr(4);
    v.evType = ERegValueType::eBinary;
    v.strData.clear();
    if (h.empty()) return true;
    for (size_t i = 0;; i += 3) {
      if (i + 2 > h.size()) return false;
      int hi = HexDigit(h[i]), lo = HexDigit(h[i + 1]);
      if (hi < 0 || lo < 0) return false;
      v.strData += static_cast<char>(hi * 16 + lo);
      if (i + 2 == h.size()) return true;
      if (h[i + 2] != ',') return false;
    }
  }
  return false;
}

std::string FormatValue(const TRegValue& v) {
  char buf[16];
  switch (v.evType) {
    case ERegValueType::eString:
      return "sz:" + Quote(v.strData);
    case ERegValueType::eDword: {
      uint32_t n = 0;
      for (size_t b = 0; b < 4 && b < v.strData.size(); ++b)
        n |= static_cast<uint32_t>(static_cast<unsigned char>(v.strData[b])) << (8 * b);
      std::snprintf(buf, sizeof buf, "%08x", n);
      return std::string("dword:") + buf;
    }
    case ERegValueType::eBinary: {
      std::string out = "hex:";
      for (size_t i = 0; i < v.strData.size(); ++i) {
        std::snprintf(buf, sizeof buf, i ? ",%02x" : "%02x",
                      static_cast<unsigned>(static_cast<unsigned char>(v.strData[i])));
        out += buf;
      }
      return out;
    }
  }
  return "sz:\"\"";
}

// Holds an exclusive lock on the settings' lock file for the life of the object, so
// that writers in other processes (and other threads) take turns at reading, changing
// and writing the file.
class TFileLock {
 public:
#ifdef _WIN32
  explicit TFileLock(const std::string& strFileName) {
    m_h = CreateFileW(Widen(strFileName + ".lock").c_str(), GENERIC_READ | GENERIC_WRITE,
                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (m_h == INVALID_HANDLE_VALUE) return;
    OVERLAPPED o{};
    if (!LockFileEx(m_h, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &o)) {
      CloseHandle(m_h);
      m_h = INVALID_HANDLE_VALUE;
    }
  }
  ~TFileLock() {
    if (m_h == INVALID_HANDLE_VALUE) return;
    OVERLAPPED o{};
    UnlockFileEx(m_h, 0, 1, 0, &o);
    CloseHandle(m_h);
  }
#else
  explicit TFileLock(const std::string& strFileName) {
    m_fd = ::open((strFileName + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (m_fd >= 0)
      while (::flock(m_fd, LOCK_EX) != 0 && errno == EINTR) {
      }
  }
  ~TFileLock() {
    if (m_fd >= 0) ::close(m_fd);
  }
#endif
  TFileLock(const TFileLock&) = delete;
  TFileLock& operator=(const TFileLock&) = delete;

 private:
#ifdef _WIN32
  HANDLE m_h = INVALID_HANDLE_VALUE;
#else
  int m_fd = -1;
#endif
};

}  // namespace

TFileSettingsBackend::TKey* TFileSettingsBackend::TContents::FindKey(const std::string& strPath) {
  for (auto& k : Keys)
    if (SameText(k.strPath, strPath)) return &k;
  return nullptr;
}

TFileSettingsBackend::TKey& TFileSettingsBackend::TContents::FindOrAddKey(const std::string& strPath) {
  if (TKey* k = FindKey(strPath)) return *k;
  Keys.push_back(TKey{strPath, {}});
  return Keys.back();
}

bool TFileSettingsBackend::Parse(const std::string& strText, TContents& Contents) {
  Contents.Keys.clear();
  // A line that cannot be read is skipped on its own: the others keep their values. The
  // values under a key line that cannot be read belong to no known key and go with it.
  bool bAllRead = true;
  TKey* current = nullptr;
  for (const std::string& raw : SplitLines(strText)) {
    std::string_view line = TrimView(raw);
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      if (line.back() != ']' || line.size() < 2) {
        bAllRead = false;
        current = nullptr;
        continue;
      }
      current = &Contents.FindOrAddKey(std::string(line.substr(1, line.size() - 2)));
      continue;
    }
    size_t i = 0;
    std::string name;
    TRegValue v;
    if (!current || !Unquote(line, i, name) || i >= line.size() || line[i] != '=' ||
        !ParseValue(line.substr(i + 1), v)) {
      bAllRead = false;
      continue;
    }
    bool bReplaced = false;
    for (auto& nv : current->Values)
      if (SameText(nv.first, name)) {
        nv.second = v;
        bReplaced = true;
      }
    if (!bReplaced) current->Values.emplace_back(name, v);
  }
  return bAllRead;
}

std::string TFileSettingsBackend::Format(const TContents& Contents) {
  std::string out = std::string(c_sHeader) + "\n";
  for (const auto& k : Contents.Keys) {
    out += "\n[" + k.strPath + "]\n";
    for (const auto& nv : k.Values) out += Quote(nv.first) + "=" + FormatValue(nv.second) + "\n";
  }
  return out;
}

TFileSettingsBackend::TFileSettingsBackend(std::string strFileName)
    : m_strFileName(std::move(strFileName)) {}

TFileSettingsBackend::ELoad TFileSettingsBackend::Load(TContents& Contents) const {
  Contents.Keys.clear();
  std::string text;
  try {
    text = ReadWholeFile(m_strFileName);
  } catch (const EFileError&) {
    std::error_code ec;
    return std::filesystem::exists(FsPath(m_strFileName), ec) ? ELoad::eCorrupt : ELoad::eMissing;
  }
  return Parse(text, Contents) ? ELoad::eLoaded : ELoad::eCorrupt;
}

bool TFileSettingsBackend::Save(const TContents& Contents) const {
  try {
    WriteFileAtomically(m_strFileName, Format(Contents));
    return true;
  } catch (const EFileError&) {
    return false;  // a store that cannot be written drops the change silently
  }
}

bool TFileSettingsBackend::KeepCorruptFileAside() const {
  // Copied, not renamed: a settings file that is a link stays one, and a read-only one
  // is left as it is (its writes are then dropped).
  std::string text;
  try {
    text = ReadWholeFile(m_strFileName);
  } catch (const EFileError&) {
    return false;
  }
  std::error_code ec;
  for (int n = 0; n < 1000; ++n) {
    std::string strAside = m_strFileName + ".corrupt";
    if (n) strAside.append(".").append(std::to_string(n));
    if (std::filesystem::exists(std::filesystem::symlink_status(FsPath(strAside), ec))) continue;
    try {
      WriteFileAtomically(strAside, text);
      return true;
    } catch (const EFileError&) {
      return false;
    }
  }
  return false;
}

template <class Change>
void TFileSettingsBackend::Modify(Change change) {
  // The folder must exist before the lock file can be made in it.
  std::error_code ec;
  std::filesystem::path dir = FsPath(m_strFileName).parent_path();
  if (!dir.empty()) std::filesystem::create_directories(dir, ec);
  TFileLock lock(m_strFileName);
  TContents contents;
  ELoad load = Load(contents);
  if (load == ELoad::eCorrupt) {
    // The file as it was is kept; the new one holds every value that could be read.
    // When no copy could be made the file is left alone and the change dropped.
    if (!KeepCorruptFileAside()) return;
  }
  if (change(contents)) Save(contents);
}

std::optional<TRegValue> TFileSettingsBackend::Read(const std::string& strKeyPath,
                                                    const std::string& strName) {
  TContents contents;
  // A file with unreadable lines still gives the values it holds; reading never
  // writes it (it is kept aside at the next write).
  const ELoad load = Load(contents);
  if (TKey* k = contents.FindKey(strKeyPath)) {
    for (const auto& nv : k->Values)
      if (SameText(nv.first, strName)) return nv.second;
    return std::nullopt;
  }
  if (load == ELoad::eCorrupt) return std::nullopt;
  // Opening a key for reading creates it, as the registry does.
  Modify([&](TContents& c) {
    if (c.FindKey(strKeyPath)) return false;
    c.FindOrAddKey(strKeyPath);
    return true;
  });
  return std::nullopt;
}

void TFileSettingsBackend::Write(const std::string& strKeyPath, const std::string& strName,
                                 const TRegValue& Value) {
  Modify([&](TContents& c) {
    TKey& k = c.FindOrAddKey(strKeyPath);
    for (auto& nv : k.Values)
      if (SameText(nv.first, strName)) {
        nv.second = Value;
        return true;
      }
    k.Values.emplace_back(strName, Value);
    return true;
  });
}

void TFileSettingsBackend::Delete(const std::string& strKeyPath, const std::string& strName) {
  Modify([&](TContents& c) {
    bool bNewKey = c.FindKey(strKeyPath) == nullptr;  // the open creates it
    TKey& k = c.FindOrAddKey(strKeyPath);
    for (auto it = k.Values.begin(); it != k.Values.end(); ++it)
      if (SameText(it->first, strName)) {
        k.Values.erase(it);
        return true;
      }
    return bNewKey;
  });
}

}  // namespace veltrane
