#pragma once

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

// File and folder names go to the engine as the file system spells them.
inline std::string ToFileSystemName(const QString &name) {
  return QFile::encodeName(name).toStdString();
}

inline QString FromFileSystemName(const std::string &name) {
  return QFile::decodeName(QByteArray::fromStdString(name));
}

} // namespace verdalia::app
