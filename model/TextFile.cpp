// Text files: read once into memory and split; written through a temporary file that
// is flushed to disk and renamed over the target.
#include "model/TextFile.h"

#include "model/FilePath.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace veltrane {

namespace {

std::string TooLarge(const std::string& strFileName, uint64_t nBytes) {
  return strFileName + " is " + SizeText(nBytes) + "; the limit is " + SizeText(c_nMaxFileBytes);
}

const char* const c_sNotRegular = "it is not a regular file (a pipe, device or socket)";

}  // namespace

std::string SizeText(uint64_t nBytes) {
  if (nBytes < 1024) return std::to_string(nBytes) + " bytes";
  const char* units[] = {"KB", "MB", "GB", "TB"};
  double f = static_cast<double>(nBytes) / 1024.0;
  int u = 0;
  while (f >= 1024.0 && u < 3) {
    f /= 1024.0;
    ++u;
  }
  char buf[32];
  std::snprintf(buf, sizeof buf, f >= 100.0 ? "%.0f %s" : "%.1f %s", f, units[u]);
  return buf;
}

std::string InputFileProblem(const std::string& strFileName, const std::string& strWhat) {
  const std::string strCannot = "cannot open " + strWhat + " " + strFileName + ": ";
  std::error_code ec;
  const std::filesystem::path path = FsPath(strFileName);
  const auto st = std::filesystem::status(path, ec);
  if (ec) return strCannot + ec.message();
  if (std::filesystem::is_directory(st)) return strCannot + std::strerror(EISDIR);
  if (!std::filesystem::is_regular_file(st)) return strCannot + c_sNotRegular;
  const uint64_t n = std::filesystem::file_size(path, ec);
  if (!ec && n > c_nMaxFileBytes) return TooLarge(strFileName, n);
  return {};
}

bool SameFile(const std::string& strA, const std::string& strB) {
  std::error_code ec;
  return std::filesystem::equivalent(FsPath(strA), FsPath(strB), ec) && !ec;
}

TStringList SplitLines(std::string_view text) {
  // Counted first: a list grown by doubling holds up to twice the room it needs.
  size_t nBreaks = 0;
  for (char c : text) nBreaks += c == '\n' || c == '\r';
  TStringList lines;
  lines.reserve(nBreaks + 1);
  size_t i = 0, start = 0;
  while (i < text.size()) {
    char c = text[i];
    if (c == '\n' || c == '\r') {
      lines.emplace_back(text.substr(start, i - start));
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      start = ++i;
    } else {
      ++i;
    }
  }
  if (start < text.size()) lines.emplace_back(text.substr(start));
  return lines;
}

#ifdef _WIN32

namespace {

struct THandle {
  HANDLE h;
  ~THandle() {
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
};

}  // namespace

std::string ReadWholeFile(const std::string& strFileName) {
  // Others may go on writing, renaming or deleting the file while it is read.
  THandle f{CreateFileW(Widen(strFileName).c_str(), GENERIC_READ,
                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_BACKUP_SEMANTICS, nullptr)};
  if (f.h == INVALID_HANDLE_VALUE)
    throw EFileError("Cannot open file " + strFileName + ": " + SystemMessage(GetLastError()));
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(f.h, &info))
    throw EFileError("Cannot open file " + strFileName + ": " + SystemMessage(GetLastError()));
  if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
    throw EFileError("Cannot open file " + strFileName + ": " + std::strerror(EISDIR));
  if (GetFileType(f.h) != FILE_TYPE_DISK)
    throw EFileError("Cannot open file " + strFileName + ": " + c_sNotRegular);
  const uint64_t nSize = (uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
  if (nSize > c_nMaxFileBytes) throw EFileError(TooLarge(strFileName, nSize));
  // One byte more than the file, so that the read that finds its end has room and the
  // buffer is not grown (and the whole file copied) only to learn that it ended.
  std::string text;
  text.reserve(static_cast<size_t>(nSize) + 1);
  text.resize(static_cast<size_t>(nSize) + 1);
  size_t nHave = 0;
  for (;;) {
    if (nHave == text.size()) {  // the file grew while it was read
      if (text.size() >= c_nMaxFileBytes) throw EFileError(TooLarge(strFileName, text.size() + 1));
      text.resize(text.size() + 65536);
    }
    DWORD got = 0;
    const DWORD want = static_cast<DWORD>(std::min<size_t>(text.size() - nHave, 1u << 30));
    if (!ReadFile(f.h, text.data() + nHave, want, &got, nullptr))
      throw EFileError("Error reading file " + strFileName + ": " + SystemMessage(GetLastError()));
    if (got == 0) break;
    nHave += got;
  }
  text.resize(nHave);
  return text;
}

void WriteFileAtomically(const std::string& strFileName, const TFilePieces& NextPiece) {
  const std::wstring target = Widen(strFileName);
  const DWORD attributes = GetFileAttributesW(target.c_str());
  const bool bExists = attributes != INVALID_FILE_ATTRIBUTES;
  if (bExists) {
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
      throw EFileError(strFileName + " is not a regular file (a device, pipe or socket)");
    if (attributes & FILE_ATTRIBUTE_READONLY) throw EFileError(strFileName + " is read-only");
  } else if (const DWORD e = GetLastError(); e != ERROR_FILE_NOT_FOUND && e != ERROR_PATH_NOT_FOUND) {
    throw EFileError("Error saving file " + strFileName + ": " + SystemMessage(e));
  }
  // A name of its own in the same folder, so that writers never share one and the
  // replace below stays on one volume.
  static std::atomic<unsigned> s_nCounter{0};
  std::wstring tmp;
  HANDLE h = INVALID_HANDLE_VALUE;
  for (int n = 0; n < 100 && h == INVALID_HANDLE_VALUE; ++n) {
    tmp = target + L"." + std::to_wstring(GetCurrentProcessId()) + L"." +
          std::to_wstring(GetTickCount64() % 100000) + L"." + std::to_wstring(++s_nCounter) + L".tmp";
    h = CreateFileW(tmp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                    FILE_ATTRIBUTE_NORMAL | (bExists ? (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE)) : 0),
                    nullptr);
    if (h == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS)
      break;
  }
  if (h == INVALID_HANDLE_VALUE)
    throw EFileError("Error creating file " + strFileName + ": " + SystemMessage(GetLastError()));
  DWORD nError = 0;
  std::string_view piece;
  while (!nError && NextPiece(piece)) {
    const char* p = piece.data();
    size_t left = piece.size();
    while (left > 0) {
      DWORD wrote = 0;
      const DWORD chunk = static_cast<DWORD>(std::min<size_t>(left, 1u << 30));
      if (!WriteFile(h, p, chunk, &wrote, nullptr)) {
        nError = GetLastError();
        break;
      }
      p += wrote;
      left -= wrote;
    }
  }
  if (!nError && !FlushFileBuffers(h)) nError = GetLastError();
  if (!CloseHandle(h) && !nError) nError = GetLastError();
  // One step: the old file stays whole until the new one replaces it, and stays when
  // the replace fails (another program holding it open without delete sharing).
  if (!nError && !MoveFileExW(tmp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    nError = GetLastError();
  if (nError) {
    DeleteFileW(tmp.c_str());
    throw EFileError("Error saving file " + strFileName + ": " + SystemMessage(nError));
  }
}

#else

std::string ReadWholeFile(const std::string& strFileName) {
  // Opened without blocking, so a pipe is refused rather than waited on.
  const int fd = ::open(strFileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) throw EFileError("Cannot open file " + strFileName + ": " + std::strerror(errno));
  struct TClose {
    int fd;
    ~TClose() { ::close(fd); }
  } closer{fd};
  struct stat st {};
  if (::fstat(fd, &st) != 0)
    throw EFileError("Cannot open file " + strFileName + ": " + std::strerror(errno));
  if (S_ISDIR(st.st_mode)) throw EFileError("Cannot open file " + strFileName + ": " + std::strerror(EISDIR));
  if (!S_ISREG(st.st_mode)) throw EFileError("Cannot open file " + strFileName + ": " + c_sNotRegular);
  if (static_cast<uint64_t>(st.st_size) > c_nMaxFileBytes)
    throw EFileError(TooLarge(strFileName, static_cast<uint64_t>(st.st_size)));
  // One byte more than the file, so that the read that finds its end has room and the
  // buffer is not grown (and the whole file copied) only to learn that it ended.
  std::string text;
  text.reserve(static_cast<size_t>(st.st_size) + 1);
  text.resize(static_cast<size_t>(st.st_size) + 1);
  size_t nHave = 0;
  for (;;) {
    if (nHave == text.size()) {  // the file grew while it was read
      if (text.size() >= c_nMaxFileBytes) throw EFileError(TooLarge(strFileName, text.size() + 1));
      text.resize(text.size() + 65536);
    }
    const ssize_t r = ::read(fd, text.data() + nHave, text.size() - nHave);
    if (r < 0) {
      if (errno == EINTR) continue;
      throw EFileError("Error reading file " + strFileName + ": " + std::strerror(errno));
    }
    if (r == 0) break;
    nHave += static_cast<size_t>(r);
  }
  text.resize(nHave);
  return text;
}

namespace {

// The file a name finally reaches through symbolic links; a link to nothing yet names
// the file it will create.
std::string FollowLinks(const std::string& strFileName) {
  namespace fs = std::filesystem;
  fs::path p = strFileName;
  for (int n = 0; n < 40; ++n) {
    struct stat st {};
    if (::lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return p.string();
    std::error_code ec;
    const fs::path target = fs::read_symlink(p, ec);
    if (ec) throw EFileError("Error saving file " + strFileName + ": " + ec.message());
    p = target.is_absolute() ? target : p.parent_path() / target;
  }
  throw EFileError("Error saving file " + strFileName + ": " + std::strerror(ELOOP));
}

}  // namespace

void WriteFileAtomically(const std::string& strFileName, const TFilePieces& NextPiece) {
  const std::string strTarget = FollowLinks(strFileName);
  struct stat old {};
  const bool bExists = ::stat(strTarget.c_str(), &old) == 0;
  if (!bExists && errno != ENOENT)
    throw EFileError("Error saving file " + strFileName + ": " + std::strerror(errno));
  if (bExists) {
    if (!S_ISREG(old.st_mode))
      throw EFileError(strFileName + " is not a regular file (a device, pipe or socket)");
    // A file without write permission is the user's way of keeping it: the rename
    // below would replace it all the same (and root may write anything).
    if ((old.st_mode & 0222) == 0 || (::geteuid() != 0 && ::access(strTarget.c_str(), W_OK) != 0))
      throw EFileError(strFileName + " is read-only");
  }
  std::string tmpl = strTarget + ".XXXXXX";
  int fd = mkstemp(tmpl.data());
  if (fd < 0) throw EFileError("Error creating file " + strFileName + ": " + std::strerror(errno));
  bool bOk = true;
  int savedErrno = 0;
  std::string_view piece;
  while (bOk && NextPiece(piece)) {
    const char* p = piece.data();
    size_t left = piece.size();
    while (left > 0) {
      ssize_t w = ::write(fd, p, left);
      if (w < 0) {
        if (errno == EINTR) continue;
        bOk = false;
        savedErrno = errno;
        break;
      }
      p += w;
      left -= static_cast<size_t>(w);
    }
  }
  if (bOk && ::fsync(fd) != 0) {
    bOk = false;
    savedErrno = errno;
  }
  if (bExists) {
    // A replaced file keeps its permissions and, where we may, its owner.
    ::fchmod(fd, old.st_mode & 07777);
    if (old.st_uid != ::geteuid() || old.st_gid != ::getegid())
      if (::fchown(fd, old.st_uid, old.st_gid) != 0) ::fchmod(fd, old.st_mode & 0777);
  } else {
    // The usual permissions of a new file rather than mkstemp's 0600.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
  }
  if (::close(fd) != 0 && bOk) {
    bOk = false;
    savedErrno = errno;
  }
  if (!bOk || std::rename(tmpl.c_str(), strTarget.c_str()) != 0) {
    if (bOk) savedErrno = errno;
    ::unlink(tmpl.c_str());
    throw EFileError("Error saving file " + strFileName + ": " + std::strerror(savedErrno));
  }
  // The rename itself reaches the disk with the folder.
  const std::string strFolder = std::filesystem::path(strTarget).parent_path().string();
  const int dfd = ::open(strFolder.empty() ? "." : strFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    ::fsync(dfd);
    ::close(dfd);
  }
}

#endif

void WriteFileAtomically(const std::string& strFileName, const std::string& strContents) {
  bool bGiven = false;
  WriteFileAtomically(strFileName, [&](std::string_view& Piece) {
    if (bGiven) return false;
    Piece = strContents;
    bGiven = true;
    return true;
  });
}

TStringList LoadLines(const std::string& strFileName, TWideText* pForm) {
  std::string bytes = ReadWholeFile(strFileName);
  const TWideText form = RecogniseWideText(bytes);
  if (pForm) *pForm = form;
  if (form.Wide()) bytes = WideToUtf8(bytes, form);
  return SplitLines(bytes);
}

void SaveLines(const std::string& strFileName, const TStringList& Lines, const char* strLineEnd,
               const TWideText& Form) {
  if (Form.Wide()) {
    std::string text;
    size_t n = 0;
    for (const auto& l : Lines) n += l.size() + 2;
    text.reserve(n);
    for (const auto& l : Lines) {
      text += l;
      text += strLineEnd;
    }
    WriteFileAtomically(strFileName, Utf8ToWide(text, Form));
    return;
  }
  // The lines go out a buffer at a time: a big program is never held a second time as
  // one string.
  std::string buffer;
  size_t nNext = 0;
  WriteFileAtomically(strFileName, [&](std::string_view& Piece) {
    buffer.clear();
    while (nNext < Lines.size() && buffer.size() < c_nSaveBufferBytes) {
      buffer += Lines[nNext++];
      buffer += strLineEnd;
    }
    Piece = buffer;
    return !buffer.empty();
  });
}

}  // namespace veltrane
