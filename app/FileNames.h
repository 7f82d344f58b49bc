// File names between the window's strings and the core. The core takes UTF-8 on Windows
// (it opens files through the wide-character calls) and the file system's own bytes
// elsewhere (which Qt's file name encoding gives, undecodable bytes included).
#pragma once

#include <QFile>
#include <QString>
#include <string>

namespace veltrane {

inline std::string CoreFileName(const QString& s) {
#ifdef _WIN32
  return s.toStdString();
#else
  const QByteArray b = QFile::encodeName(s);
  return std::string(b.constData(), static_cast<size_t>(b.size()));
#endif
}

inline QString WindowFileName(const std::string& s) {
#ifdef _WIN32
  return QString::fromStdString(s);
#else
  return QFile::decodeName(QByteArray(s.data(), static_cast<qsizetype>(s.size())));
#endif
}

}  // namespace veltrane
