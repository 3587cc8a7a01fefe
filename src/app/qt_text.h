#pragma once

#include <QDir>
#include <QFile>
#include <QString>

#include <string>
#include <string_view>

#include "common/windows1252.h"

namespace verdalia::app {

// The engine's texts are Windows-1252 bytes; the window shows them decoded.
inline QString FromCp1252(Cp1252View text) {
  return QString::fromStdString(Windows1252ToUtf8(text));
}

// File and folder names go to the engine as the file system spells them; on Windows the
// engine takes UTF-8 names and hands them to the system's wide calls (the ANSI code page
// would lose every name it cannot spell), with the backslashes a Windows user reads in the
// engine's messages ("...se guardo en el archivo C:\Datos\P202401.txt.err.fisico").
inline std::string ToFileSystemName(const QString &name) {
#ifdef Q_OS_WIN
  return QDir::toNativeSeparators(name).toStdString();
#else
  return QFile::encodeName(name).toStdString();
#endif
}

inline QString FromFileSystemName(const std::string &name) {
#ifdef Q_OS_WIN
  return QString::fromStdString(name);
#else
  return QFile::decodeName(QByteArray::fromStdString(name));
#endif
}

} // namespace verdalia::app
