// The program's text encoding in the window.
#include "app/TextCodec.h"

#ifdef VELTRANE_HAVE_UCHARDET
#include <uchardet.h>
#endif

#include <QLocale>
#include <algorithm>
#include <utility>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

#include "model/Text.h"
#include "settings/VLTRegistry.h"

namespace veltrane {

namespace {

constexpr char c_Bom[] = "\xEF\xBB\xBF";

constexpr TEncodingChoice c_Legacy[] = {
    {"GB18030", "GB18030 / GBK (Chinese, simplified)"},
    {"Big5", "Big5 (Chinese, traditional)"},
    {"windows-1252", "Windows-1252 (Western European)"},
    {"ISO-8859-1", "ISO-8859-1 (Latin-1)"},
    {"windows-1250", "Windows-1250 (Central European)"},
    {"windows-1251", "Windows-1251 (Cyrillic)"},
    {"Shift_JIS", "Shift_JIS (Japanese)"},
    {"windows-949", "Windows-949 (Korean)"},
};

#ifdef _WIN32
// The Windows code pages of the legacy encodings, for a Qt that cannot convert them.
unsigned WindowsCodePage(const QByteArray& strName) {
  // The program's legacy code pages, and those the drawings name ($DWGCODEPAGE).
  static constexpr std::pair<const char*, unsigned> c_Pages[] = {
      {"GB18030", 54936},     {"GBK", 936},           {"Big5", 950},          {"Shift_JIS", 932},
      {"windows-949", 949},   {"windows-874", 874},   {"windows-1250", 1250}, {"windows-1251", 1251},
      {"windows-1252", 1252}, {"windows-1253", 1253}, {"windows-1254", 1254}, {"windows-1255", 1255},
      {"windows-1256", 1256}, {"windows-1257", 1257}, {"windows-1258", 1258},
  };
  for (const auto& [name, page] : c_Pages)
    if (strName == name) {
      // Where the system lacks GB18030 (older Wine) its two-byte part, GBK, stands in.
      if (page == 54936 && !IsValidCodePage(54936)) return 936;
      return page;
    }
  return 0;
}

// Strict first, so that bytes the code page does not define are noticed by the
// round trip; then as Windows reads them.
QString WindowsDecode(unsigned nCodePage, const std::string& s) {
  if (s.empty()) return QString();
  const int n = static_cast<int>(s.size());
  for (DWORD flags : {static_cast<DWORD>(MB_ERR_INVALID_CHARS), static_cast<DWORD>(0)}) {
    const int w = MultiByteToWideChar(nCodePage, flags, s.data(), n, nullptr, 0);
    if (w <= 0) continue;
    std::wstring out(static_cast<size_t>(w), L'\0');
    MultiByteToWideChar(nCodePage, flags, s.data(), n, out.data(), w);
    return QString::fromWCharArray(out.data(), w);
  }
  return QString(static_cast<qsizetype>(s.size()), QChar::ReplacementCharacter);
}

// False when a character has no exact counterpart in the code page.
bool WindowsEncode(unsigned nCodePage, const QString& strText, QByteArray& out) {
  out.clear();
  if (strText.isEmpty()) return true;
  const std::wstring w = strText.toStdWString();
  const int n = static_cast<int>(w.size());
  // GB18030 holds every character but a lone surrogate, and takes no flags.
  const bool bUnicode = nCodePage == 54936;
  if (bUnicode)
    for (qsizetype i = 0; i < strText.size(); ++i) {
      const QChar c = strText.at(i);
      if (c.isHighSurrogate() && i + 1 < strText.size() && strText.at(i + 1).isLowSurrogate())
        ++i;
      else if (c.isSurrogate())
        return false;
    }
  const DWORD flags = bUnicode ? 0 : WC_NO_BEST_FIT_CHARS;
  BOOL bDefault = FALSE;
  BOOL* pDefault = bUnicode ? nullptr : &bDefault;
  const int b = WideCharToMultiByte(nCodePage, flags, w.data(), n, nullptr, 0, nullptr, pDefault);
  if (b <= 0 || bDefault) return false;
  out.resize(b);
  WideCharToMultiByte(nCodePage, flags, w.data(), n, out.data(), b, nullptr, pDefault);
  return !bDefault;
}
#endif

}  // namespace

TTextCodec::TTextCodec(const QByteArray& strName) : m_strName(strName) { Make(); }

void TTextCodec::Make() {
  m_pDecoder = std::make_unique<QStringDecoder>(m_strName.constData(), QStringConverter::Flag::Stateless);
  m_pEncoder = std::make_unique<QStringEncoder>(m_strName.constData(), QStringConverter::Flag::Stateless);
  m_nCodePage = 0;
#ifdef _WIN32
  if (!m_pDecoder->isValid() || !m_pEncoder->isValid()) m_nCodePage = WindowsCodePage(m_strName);
#endif
  if (m_nCodePage == 0 && (!m_pDecoder->isValid() || !m_pEncoder->isValid())) {
    // A name the converter does not know: Latin-1 holds any byte.
    m_strName = "ISO-8859-1";
    m_pDecoder = std::make_unique<QStringDecoder>(QStringConverter::Latin1, QStringConverter::Flag::Stateless);
    m_pEncoder = std::make_unique<QStringEncoder>(QStringConverter::Latin1, QStringConverter::Flag::Stateless);
  }
  // Whether every ASCII byte stands for its own character, so that an ASCII line needs no
  // decoding.
  std::string ascii(128, '\0');
  for (int i = 0; i < 128; ++i) ascii[static_cast<size_t>(i)] = static_cast<char>(i);
  const QString decoded = Decode(ascii);
  m_bAsciiCompatible = decoded.size() == 128;
  for (int i = 0; m_bAsciiCompatible && i < 128; ++i) m_bAsciiCompatible = decoded[i].unicode() == i;
}

TTextCodec& TTextCodec::operator=(const TTextCodec& o) {
  if (this != &o) {
    m_strName = o.m_strName;
    m_bBom = o.m_bBom;
    Make();
  }
  return *this;
}

QString TTextCodec::Caption() const {
  return QString::fromLatin1(m_strName) + (m_bBom ? " with BOM" : "");
}

QString TTextCodec::Decode(const std::string& s) const {
#ifdef _WIN32
  if (m_nCodePage) return WindowsDecode(m_nCodePage, s);
#endif
  m_pDecoder->resetState();
  return m_pDecoder->decode(QByteArrayView(s.data(), static_cast<qsizetype>(s.size())));
}

bool TTextCodec::EncodeOne(const QString& strText, QByteArray& out) const {
#ifdef _WIN32
  if (m_nCodePage) return WindowsEncode(m_nCodePage, strText, out);
#endif
  m_pEncoder->resetState();
  out = m_pEncoder->encode(strText);
  return !m_pEncoder->hasError();
}

bool TTextCodec::Encode(const QString& strText, std::string& out, QString* pBad) const {
  QByteArray b;
  const bool bOk = EncodeOne(strText, b);
  if (bOk) {
    out.assign(b.constData(), static_cast<size_t>(b.size()));
  } else if (pBad) {
    // The first character that does not go through on its own.
    for (qsizetype i = 0; i < strText.size(); ++i) {
      const qsizetype n = strText.at(i).isHighSurrogate() && i + 1 < strText.size() ? 2 : 1;
      const QString c = strText.mid(i, n);
      QByteArray ignored;
      if (!EncodeOne(c, ignored)) {
        *pBad = c;
        break;
      }
      i += n - 1;
    }
  }
  return bOk;
}

bool TTextCodec::CanEncode(const QString& strText, QString* pBad) const {
  std::string ignored;
  return Encode(strText, ignored, pBad);
}

const TEncodingChoice* LegacyEncodings(size_t& nCount) {
  nCount = std::size(c_Legacy);
  return c_Legacy;
}

QByteArray LegacyEncoding(TVLTRegistry& R, bool bChineseLanguage) {
  const std::string s = R.LegacyEncoding();
  if (!s.empty() && TTextCodec(QByteArray::fromStdString(s)).Name() == QByteArray::fromStdString(s))
    return QByteArray::fromStdString(s);
  const bool bChinese = bChineseLanguage || QLocale::system().language() == QLocale::Chinese;
  return bChinese ? "GB18030" : "windows-1252";
}

bool LegacyEncodingChosen(TVLTRegistry& R) {
  const std::string s = R.LegacyEncoding();
  return !s.empty() && TTextCodec(QByteArray::fromStdString(s)).Name() == QByteArray::fromStdString(s);
}

QByteArray RecognisedEncoding(const TStringList& Lines) {
  // Only the lines with bytes beyond ASCII tell anything; a megabyte of them is plenty.
  constexpr size_t c_nMaxBytes = 1 << 20;
  std::string sample;
  for (const std::string& l : Lines) {
    if (std::all_of(l.begin(), l.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) continue;
    sample += l;
    sample += '\n';
    if (sample.size() >= c_nMaxBytes) break;
  }
  if (sample.empty()) return {};
  QByteArray strFound;
#ifdef VELTRANE_HAVE_UCHARDET
  uchardet_t d = uchardet_new();
  if (uchardet_handle_data(d, sample.data(), sample.size()) == 0) {
    uchardet_data_end(d);
    strFound = QByteArray(uchardet_get_charset(d)).toUpper();
  }
  uchardet_delete(d);
#endif
  // The CJK code pages only: the single-byte Western ones cannot be told apart this way.
  QByteArray strName;
  if (strFound == "GB18030" || strFound == "GBK" || strFound == "GB2312")
    strName = "GB18030";
  else if (strFound == "BIG5" || strFound == "BIG5-HKSCS")
    strName = "Big5";
  else if (strFound == "SHIFT_JIS" || strFound == "CP932" || strFound == "WINDOWS-31J")
    strName = "Shift_JIS";
  else if (strFound == "EUC-KR" || strFound == "UHC" || strFound == "CP949")
    strName = "windows-949";
  if (strName.isEmpty()) return {};
  // Every line must read back byte for byte in it.
  const TTextCodec codec(strName);
  if (codec.Name() != strName) return {};
  std::string back;
  for (const std::string& l : Lines)
    if (!codec.Encode(codec.Decode(l), back) || back != l) return {};
  return strName;
}

TTextCodec DetectEncoding(TStringList& Lines, const QByteArray& strLegacy, bool bLegacyChosen) {
  bool bBom = false;
  if (!Lines.empty() && Lines[0].compare(0, 3, c_Bom) == 0) {
    Lines[0].erase(0, 3);
    bBom = true;
  }
  bool bUtf8 = true;
  for (const std::string& l : Lines)
    if (!IsValidUtf8(l)) {
      bUtf8 = false;
      break;
    }
  if (bUtf8 || bBom) {
    TTextCodec c("UTF-8");
    c.SetBom(bBom);
    if (bUtf8) return c;
  }
  if (!bLegacyChosen)
    if (const QByteArray strFound = RecognisedEncoding(Lines); !strFound.isEmpty()) return TTextCodec(strFound);
  TTextCodec legacy(strLegacy);
  std::string back;
  for (const std::string& l : Lines)
    if (!legacy.Encode(legacy.Decode(l), back) || back != l) return TTextCodec("ISO-8859-1");
  return legacy;
}

bool Recode(TStringList& Lines, const TTextCodec& From, const TTextCodec& To, QString* pBad) {
  if (From.Name() == To.Name()) return true;
  TStringList out;
  out.reserve(Lines.size());
  for (const std::string& l : Lines) {
    std::string b;
    if (!To.Encode(From.Decode(l), b, pBad)) return false;
    out.push_back(std::move(b));
  }
  Lines = std::move(out);
  return true;
}

QString CharacterName(const QString& c) {
  const char32_t u = c.size() == 2 ? QChar::surrogateToUcs4(c.at(0), c.at(1)) : c.at(0).unicode();
  return QString::fromUtf8("\u201c") + c + QString::fromUtf8("\u201d (U+") +
         QString::number(static_cast<uint>(u), 16).toUpper().rightJustified(4, '0') + ")";
}

}  // namespace veltrane
