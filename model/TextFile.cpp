// Text files: read once into memory and split; written through a temporary file that
// is flushed to disk and renamed over the target.
#include "model/TextFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#ifdef _WIN32
#include <io.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace veltrane {

TStringList SplitLines(std::string_view text) {
  TStringList lines;
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

std::string ReadWholeFile(const std::string& strFileName) {
  std::ifstream in(strFileName, std::ios::binary);
  if (!in) throw EFileError("Cannot open file " + strFileName + ": " + std::strerror(errno));
  std::ostringstream ss;
  ss << in.rdbuf();
  if (in.bad()) throw EFileError("Error reading file " + strFileName);
  return ss.str();
}

TStringList LoadLines(const std::string& strFileName) {
  return SplitLines(ReadWholeFile(strFileName));
}

void WriteFileAtomically(const std::string& strFileName, const std::string& strContents) {
#ifdef _WIN32
  std::string tmp = strFileName + ".tmp";
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    out.write(strContents.data(), static_cast<std::streamsize>(strContents.size()));
    out.flush();
    if (!out) throw EFileError("Error saving file " + strFileName);
  }
  std::remove(strFileName.c_str());
  if (std::rename(tmp.c_str(), strFileName.c_str()) != 0)
    throw EFileError("Error saving file " + strFileName);
#else
  std::string tmpl = strFileName + ".XXXXXX";
  int fd = mkstemp(tmpl.data());
  if (fd < 0) throw EFileError("Error creating file " + strFileName + ": " + std::strerror(errno));
  const char* p = strContents.data();
  size_t left = strContents.size();
  bool bOk = true;
  while (left > 0) {
    ssize_t w = ::write(fd, p, left);
    if (w < 0) {
      if (errno == EINTR) continue;
      bOk = false;
      break;
    }
    p += w;
    left -= static_cast<size_t>(w);
  }
  int savedErrno = errno;
  if (bOk && ::fsync(fd) != 0) bOk = false;
  // Keep the usual permissions of a new file rather than mkstemp's 0600.
  mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(fd, 0666 & ~mask);
  if (::close(fd) != 0) bOk = false;
  if (!bOk || std::rename(tmpl.c_str(), strFileName.c_str()) != 0) {
    if (bOk) savedErrno = errno;
    ::unlink(tmpl.c_str());
    throw EFileError("Error saving file " + strFileName + ": " + std::strerror(savedErrno));
  }
#endif
}

void SaveLines(const std::string& strFileName, const TStringList& Lines, const char* strLineEnd) {
  std::string text;
  size_t n = 0;
  for (const auto& l : Lines) n += l.size() + 2;
  text.reserve(n);
  for (const auto& l : Lines) {
    text += l;
    text += strLineEnd;
  }
  WriteFileAtomically(strFileName, text);
}

}  // namespace veltrane
