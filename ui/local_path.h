// File names are bytes on Linux and need not be valid UTF-8; QString cannot hold such bytes
// (QFile::decodeName turns each into U+FFFD, and the name is lost). These convert losslessly: valid
// UTF-8 as QFile::decodeName does, every other byte as a lone surrogate U+DC80..U+DCFF (as
// Python's "surrogateescape"), which LocalPathBytes turns back into that byte. So a name from the
// command line or a file dialog survives Open, the title and Save unchanged.
#pragma once

#include <QByteArray>
#include <QString>
#include <string>

QString PathFromLocalBytes(const QByteArray& bytes);
QByteArray LocalPathBytes(const QString& path);
inline std::string LocalPathString(const QString& path) { return LocalPathBytes(path).toStdString(); }
