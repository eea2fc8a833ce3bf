// Texts are stored as Windows-1252 bytes (the files' code page); these convert at the Qt boundary.
#pragma once

#include <QString>
#include <QValidator>

#include <string>

QString FromCp1252(const std::string& bytes);
std::string ToCp1252(const QString& text);

// True when every character of `text` has a Windows-1252 byte, so it survives the files unchanged.
bool FitsCp1252(const QString& text);

// For boxes whose text goes into the files (comment, song part, song information): characters the
// code page cannot store are left out as they are typed or pasted, so what the box shows is what
// is saved.
class Cp1252Validator : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& input, int& pos) const override;
  // Removes what does not fit, moving `pos` back over removed characters before it.
  static void Strip(QString& input, int& pos);
};
