// Texts are stored as Windows-1252 bytes (the files' code page); these convert at the Qt boundary.
#pragma once

#include <QString>

#include <string>

QString FromCp1252(const std::string& bytes);
std::string ToCp1252(const QString& text);

// True when every character of `text` has a Windows-1252 byte, so it survives the files unchanged.
bool FitsCp1252(const QString& text);
