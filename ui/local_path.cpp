#include "ui/local_path.h"

namespace {

constexpr char16_t kEscapeBase = 0xDC00;

// Length of the valid UTF-8 sequence at `p` (at most `left` bytes), 0 when it is not one.
int Utf8SequenceLength(const unsigned char* p, qsizetype left) {
  const unsigned char c = p[0];
  if (c < 0x80) return 1;
  int length = 0;
  uint32_t code = 0, minimum = 0;
  if ((c & 0xE0) == 0xC0) length = 2, code = c & 0x1F, minimum = 0x80;
  else if ((c & 0xF0) == 0xE0) length = 3, code = c & 0x0F, minimum = 0x800;
  else if ((c & 0xF8) == 0xF0) length = 4, code = c & 0x07, minimum = 0x10000;
  else return 0;
  if (left < length) return 0;
  for (int i = 1; i < length; ++i) {
    if ((p[i] & 0xC0) != 0x80) return 0;
    code = code << 6 | (p[i] & 0x3F);
  }
  // Overlong forms, surrogates and values past U+10FFFF are not valid UTF-8.
  if (code < minimum || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) return 0;
  return length;
}

}  // namespace

QString PathFromLocalBytes(const QByteArray& bytes) {
  QString path;
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
  const qsizetype size = bytes.size();
  for (qsizetype i = 0; i < size;) {
    const int length = Utf8SequenceLength(p + i, size - i);
    if (length == 0) {
      path += QChar(static_cast<char16_t>(kEscapeBase + p[i]));
      ++i;
    } else {
      path += QString::fromUtf8(reinterpret_cast<const char*>(p + i), length);
      i += length;
    }
  }
  return path;
}

QByteArray LocalPathBytes(const QString& path) {
  QByteArray bytes;
  const qsizetype size = path.size();
  for (qsizetype i = 0; i < size; ++i) {
    const char16_t c = path[i].unicode();
    if (QChar::isHighSurrogate(c) && i + 1 < size && QChar::isLowSurrogate(path[i + 1].unicode())) {
      bytes += path.mid(i, 2).toUtf8();
      ++i;
    } else if (c >= kEscapeBase + 0x80 && c <= kEscapeBase + 0xFF) {
      bytes += static_cast<char>(c - kEscapeBase);
    } else {
      bytes += QString(QChar(c)).toUtf8();
    }
  }
  return bytes;
}
