#include "ui/cp1252.h"

#include <algorithm>
#include <array>

#include "common/cp1252.h"

QString FromCp1252(const std::string& bytes) {
  QString out;
  out.reserve(static_cast<qsizetype>(bytes.size()));
  for (unsigned char c : bytes) {
    if (c >= 0x80 && c <= 0x9F)
      out.append(QChar(kCp1252High[c - 0x80]));
    else
      out.append(QChar(c));
  }
  return out;
}

std::string ToCp1252(const QString& text) {
  std::string out;
  out.reserve(static_cast<std::size_t>(text.size()));
  for (QChar ch : text) {
    char16_t u = ch.unicode();
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
      out.push_back(static_cast<char>(u));
      continue;
    }
    char mapped = '?';  // not representable in the files' code page
    for (std::size_t i = 0; i < kCp1252High.size(); ++i)
      if (kCp1252High[i] == u) mapped = static_cast<char>(0x80 + i);
    out.push_back(mapped);
  }
  return out;
}

bool FitsCp1252(const QString& text) {
  for (QChar ch : text) {
    char16_t u = ch.unicode();
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) continue;
    if (std::find(kCp1252High.begin(), kCp1252High.end(), u) == kCp1252High.end()) return false;
  }
  return true;
}

void Cp1252Validator::Strip(QString& input, int& pos) {
  if (FitsCp1252(input)) return;
  QString kept;
  kept.reserve(input.size());
  int keptPos = pos;
  for (qsizetype i = 0; i < input.size(); ++i) {
    if (FitsCp1252(QString(input[i])))
      kept.append(input[i]);
    else if (i < pos)
      --keptPos;
  }
  input = kept;
  pos = std::max(keptPos, 0);
}

QValidator::State Cp1252Validator::validate(QString& input, int& pos) const {
  Strip(input, pos);
  return Acceptable;
}
