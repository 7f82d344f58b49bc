// The text encoding of the program in the window. The core keeps a program's lines as the
// file's bytes; the window decodes them for the editor with the file's encoding and
// encodes what is typed back with the same one, so an untouched line is saved byte for
// byte. UTF-8 is taken when a file's bytes are valid UTF-8 (a byte order mark is kept),
// otherwise the legacy code page chosen in the settings.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringDecoder>
#include <QStringEncoder>
#include <memory>
#include <string>

#include "model/Records.h"

namespace veltrane {

class TVLTRegistry;

class TTextCodec {
 public:
  explicit TTextCodec(const QByteArray& strName = "UTF-8");
  TTextCodec(const TTextCodec& o) : TTextCodec(o.m_strName) { m_bBom = o.m_bBom; }
  // A converter is made afresh rather than moved: the system's converters do not move.
  TTextCodec& operator=(const TTextCodec& o);

  const QByteArray& Name() const { return m_strName; }
  bool IsUtf8() const { return m_strName == "UTF-8"; }
  bool Bom() const { return m_bBom; }
  void SetBom(bool b) { m_bBom = b; }
  // "UTF-8", "UTF-8 with BOM", "GB18030", ...
  QString Caption() const;

  QString Decode(const std::string& strBytes) const;
  // Every ASCII byte decodes to its own character.
  bool AsciiCompatible() const { return m_bAsciiCompatible; }
  // False, with the first character it cannot hold in *pBad, when the text does not fit.
  bool Encode(const QString& strText, std::string& strBytes, QString* pBad = nullptr) const;
  bool CanEncode(const QString& strText, QString* pBad = nullptr) const;

 private:
  QByteArray m_strName;
  bool m_bBom = false;
  bool m_bAsciiCompatible = true;
  // Windows' own conversion for a legacy code page Qt cannot convert there (a Qt without
  // ICU knows only the Unicode encodings and Latin-1 by name); 0: Qt's converters.
  unsigned m_nCodePage = 0;
  void Make();
  bool EncodeOne(const QString& strText, QByteArray& out) const;
  std::unique_ptr<QStringDecoder> m_pDecoder;
  std::unique_ptr<QStringEncoder> m_pEncoder;
};

// The legacy code pages offered, as (name, caption).
struct TEncodingChoice {
  const char* strName;
  const char* strCaption;
};
const TEncodingChoice* LegacyEncodings(size_t& nCount);

// The legacy code page from the settings, or GB18030 when the system or the chosen
// language is Chinese and Windows-1252 otherwise.
QByteArray LegacyEncoding(TVLTRegistry& Registry, bool bChineseLanguage);

// True when the user chose the legacy code page (File > Text Encoding), rather than the
// window taking one from the language.
bool LegacyEncodingChosen(TVLTRegistry& Registry);

// The CJK code page the bytes of lines that are not UTF-8 are written in (GB18030 for
// GBK, Big5, Shift_JIS, Windows-949), recognised from the bytes; empty when the bytes do
// not tell one for sure.
QByteArray RecognisedEncoding(const TStringList& Lines);

// The encoding of a file's lines (a UTF-8 byte order mark is taken off the first line):
// UTF-8 when they are valid UTF-8; else, unless the legacy code page is the user's own
// choice, the CJK code page the bytes are recognised to be in; else the legacy one when
// every line reads back byte for byte in it, else ISO-8859-1, which holds any byte.
TTextCodec DetectEncoding(TStringList& Lines, const QByteArray& strLegacy, bool bLegacyChosen = true);

// The text as the codec's bytes: lines from another encoding brought into this one.
// False (nothing changed), with the first character that does not fit, when some line
// cannot be held.
bool Recode(TStringList& Lines, const TTextCodec& From, const TTextCodec& To, QString* pBad = nullptr);

// "“中” (U+4E2D)"
QString CharacterName(const QString& strCharacter);

}  // namespace veltrane
