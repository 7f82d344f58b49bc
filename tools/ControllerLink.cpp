// The controller link.
#include "tools/ControllerLink.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "model/FilePath.h"
#include "settings/VLTRegistry.h"

namespace veltrane {

std::string ParityName(char c) {
  switch (c) {
    case 'o': return "odd";
    case 'e': return "even";
    case 'm': return "mark";
    case 's': return "space";
    default: return "none";
  }
}

void ParseLinkParameters(const std::string& strType, const std::string& s, TLinkFields& f) {
  if (strType == "Serial") {
    const size_t colon = s.find(':');
    if (colon == std::string::npos) {
      f.strPort = "1";
      return;
    }
    f.strPort = s.substr(0, colon);
    const std::string rest = s.substr(colon + 1);
    const size_t c1 = rest.find(',');
    if (c1 == std::string::npos) return;  // the rest keep their defaults
    f.strBaud = rest.substr(0, c1);
    const size_t c2 = rest.find(',', c1 + 1);
    if (c2 == std::string::npos) return;
    f.strDataBits = rest.substr(c1 + 1, c2 - c1 - 1);
    const size_t c3 = rest.find(',', c2 + 1);
    if (c3 == std::string::npos) return;
    f.strParity = ParityName(c2 + 1 < rest.size() ? rest[c2 + 1] : '\0');
    const std::string stop = rest.substr(c3 + 1);
    f.strStopBits = stop.empty() ? "2" : stop;
  } else if (strType == "USB") {
    f.strUSBChannel = s.empty() ? "0" : s;
  } else if (strType == "PCI") {
    f.strPCIBoard = s.empty() ? "0" : s;
  } else if (strType == "Ethernet") {
    const size_t colon = s.find(':');
    if (colon == std::string::npos) {
      f.strHost = c_sDefaultControllerHost;
      f.strTcpPort = "23";
      return;
    }
    f.strHost = s.substr(0, colon);
    const std::string rest = s.substr(colon + 1);
    const std::string port = rest.substr(0, rest.find(','));
    f.strTcpPort = port.empty() ? "23" : port;
  }
}

std::string BuildLinkParameters(const TLinkFields& f) {
  if (f.strLinkType == "Serial") {
    // The parity is stored as its first letter; the empty entry has none.
    const std::string parity = f.strParity.empty() ? "" : f.strParity.substr(0, 1);
    return f.strPort + ":" + f.strBaud + "," + f.strDataBits + "," + parity + "," + f.strStopBits;
  }
  if (f.strLinkType == "USB") return f.strUSBChannel;
  if (f.strLinkType == "PCI") return f.strPCIBoard;
  if (f.strLinkType == "Ethernet") return f.strHost + ":" + f.strTcpPort;
  return "";
}

TLinkFields ReadLinkFields(TVLTRegistry& R) {
  TLinkFields f;
  f.strLoader = R.LoaderExeFile();
  f.strLinkType = R.CommLinkType();
  if (f.strLinkType.empty()) f.strLinkType = "Serial";
  f.bLoadWhileRunning = R.LoadWhileRunning();
  ParseLinkParameters(f.strLinkType, R.CommsParameters(), f);
  return f;
}

void WriteLinkFields(TVLTRegistry& R, const TLinkFields& f) {
  R.SetLoaderExeFile(f.strLoader);
  R.SetCommLinkType(f.strLinkType);
  R.SetCommsParameters(BuildLinkParameters(f));
  R.SetLoadWhileRunning(f.bLoadWhileRunning);
}

TStringList LinkFileLines(const std::string& strType, const std::string& strParams, bool bLoadWhileRunning,
                          bool bTable, const std::string& strFile) {
  TStringList out{c_sLinkFileHeader};
  // The parameters are one line of the loader's file: control characters (a line break
  // from a hand-edited setting) would add commands of their own.
  std::string strParamLine;
  for (char c : strParams)
    if (static_cast<unsigned char>(c) >= 32 && c != 127) strParamLine += c;
  std::string link;
  if (strType == "Serial")
    link = "COMMLINK COM" + (strParamLine.empty() ? std::string("1:9600,7,e,2") : strParamLine);
  else if (strType == "USB" || strType == "PCI" || strType == "Ethernet")
    link = "COMMLINK " + strType + ":" + (strParamLine.empty() ? std::string("0") : strParamLine);
  else
    return out;
  if (bLoadWhileRunning) out.push_back("ALLOWPROGRAMLOADWHILERUNNING");
  out.push_back(link);
  out.push_back((bTable ? "LOADTABLE " : "LOADPROGRAM ") + strFile);
  return out;
}

TSendOutcome SendToController(TVLTRegistry& R, const std::string& strFile, bool bTable, bool bCsv) {
  TSendOutcome o;
  if (strFile.empty()) {
    o.strMessage = c_sMustBeSaved;
    return o;
  }
  if (bCsv) {
    o.strMessage = c_sNoCsvDownload;
    return o;
  }
  // A file name is the rest of one line of the loader's file.
  if (strFile.find_first_of("\r\n") != std::string::npos) {
    o.strMessage = "The file name contains a line break; the loader cannot be given it.";
    return o;
  }
  std::error_code ec;
  if (!std::filesystem::exists(FsPath(strFile), ec)) {
    o.strMessage = "File " + strFile + " does not exist!";
    return o;
  }
  const std::string strLoader = R.LoaderExeFile();
  if (strLoader.empty() || !std::filesystem::is_regular_file(FsPath(strLoader), ec)) {
    // Nothing would happen at all: say why instead of staying silent.
    o.strMessage = strLoader.empty()
                       ? "No loader program is configured: choose one under Controller Link > Configuration."
                       : "The loader program " + strLoader + " does not exist!";
    return o;
  }
  if (!CreateTempFile(kszFilePrefix, o.strLinkFile)) {
    o.strMessage = "No link file could be made in the temporary folder.";
    return o;
  }
  {
    std::ofstream out(FsPath(o.strLinkFile), std::ios::binary | std::ios::trunc);
    for (const std::string& l : LinkFileLines(R.CommLinkType(), R.CommsParameters(), R.LoadWhileRunning(),
                                              bTable, strFile))
      out << l << "\r\n";
    if (!out.flush()) {
      o.strMessage = "The link file " + o.strLinkFile + " could not be written.";
      return o;
    }
  }
  std::string strError;
  if (!StartDetachedProcess(strLoader, {o.strLinkFile}, strError)) {
    o.strMessage = "The loader program " + strLoader + " could not be started: " + strError;
    return o;
  }
  o.bStarted = true;
  // The loader works on its own from here: say that it was started and with what.
  o.strMessage = "The loader program " + strLoader + " was started to send " + strFile + " to the controller.";
  return o;
}

#ifdef _WIN32

bool CreateTempFile(const std::string& strPrefix, std::string& strPath) {
  wchar_t folder[MAX_PATH + 1], name[MAX_PATH + 1];
  const DWORD n = GetTempPathW(MAX_PATH, folder);
  if (n == 0 || n > MAX_PATH) return false;
  if (GetTempFileNameW(folder, Widen(strPrefix).c_str(), 0, name) == 0) return false;
  strPath = Narrow(name);
  return true;
}

namespace {

// One argument as the C runtime's command-line splitter reads it back: quoted, with
// backslashes doubled where they come before a quote.
std::wstring QuoteArgument(const std::wstring& a) {
  std::wstring out = L"\"";
  size_t nSlashes = 0;
  for (wchar_t c : a) {
    if (c == L'\\') {
      ++nSlashes;
      continue;
    }
    out.append(c == L'"' ? 2 * nSlashes + 1 : nSlashes, L'\\');
    nSlashes = 0;
    out += c;
  }
  out.append(2 * nSlashes, L'\\');
  return out + L"\"";
}

}  // namespace

bool StartDetachedProcess(const std::string& strExecutable, const std::vector<std::string>& Arguments,
                          std::string& strError) {
  const std::wstring exe = Widen(strExecutable);
  std::wstring cmd = QuoteArgument(exe);
  for (const std::string& a : Arguments) cmd += L" " + QuoteArgument(Widen(a));
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  std::vector<wchar_t> line(cmd.begin(), cmd.end());
  line.push_back(L'\0');
  // The program is named on its own too, so that a folder with blanks in its name is
  // never split into a program and arguments.
  if (!CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr, nullptr,
                      &si, &pi)) {
    strError = SystemMessage(GetLastError());
    return false;
  }
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return true;
}

#else

bool CreateTempFile(const std::string& strPrefix, std::string& strPath) {
  const char* tmp = std::getenv("TMPDIR");
  std::string folder = tmp && *tmp ? tmp : "/tmp";
  std::string templ = folder + "/" + strPrefix + "XXXXXX";
  std::vector<char> buf(templ.begin(), templ.end());
  buf.push_back('\0');
  const int fd = mkstemp(buf.data());
  if (fd < 0) return false;
  close(fd);
  strPath = buf.data();
  return true;
}

bool StartDetachedProcess(const std::string& strExecutable, const std::vector<std::string>& Arguments,
                          std::string& strError) {
  // Everything the children need is made before forking.
  std::vector<std::string> args{strExecutable};
  args.insert(args.end(), Arguments.begin(), Arguments.end());
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) {
    strError = std::strerror(errno);
    return false;
  }
  const pid_t child = fork();
  if (child < 0) {
    strError = std::strerror(errno);
    close(report[0]);
    close(report[1]);
    return false;
  }
  if (child == 0) {
    // The middle child starts the loader and leaves at once, so that the loader is not
    // this program's child and needs no waiting for.
    const pid_t loader = fork();
    if (loader == 0) {
      setsid();
      execv(argv[0], argv.data());
      const int e = errno;
      ssize_t w = write(report[1], &e, sizeof e);
      (void)w;
      _exit(127);
    }
    _exit(loader < 0 ? 1 : 0);
  }
  close(report[1]);
  int status = 0;
  waitpid(child, &status, 0);
  int e = 0;
  ssize_t got;
  do {
    got = read(report[0], &e, sizeof e);
  } while (got < 0 && errno == EINTR);
  close(report[0]);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    strError = "the process could not be made";
    return false;
  }
  if (got == static_cast<ssize_t>(sizeof e)) {
    strError = std::strerror(e);
    return false;
  }
  return true;
}

#endif

}  // namespace veltrane
