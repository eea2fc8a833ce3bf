#include "files/zip_writer.h"

#include <zlib.h>

#include <cstdint>
#include <ctime>
#include <limits>
#include <new>

namespace {

constexpr uint64_t kZipLimit = std::numeric_limits<uint32_t>::max();

void Put16(std::string& out, uint32_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>((v >> 8) & 0xFF));
}

void Put32(std::string& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

struct DosTime {
  uint16_t Time = 0;
  uint16_t Date = (1 << 5) | 1;  // 1980-01-01, the earliest the format has
};

DosTime Now() {
  DosTime dos;
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (!localtime_r(&now, &local) || local.tm_year < 80) return dos;
  dos.Time = static_cast<uint16_t>((local.tm_hour << 11) | (local.tm_min << 5) | (local.tm_sec / 2));
  dos.Date = static_cast<uint16_t>(((local.tm_year - 80) << 9) | ((local.tm_mon + 1) << 5) | local.tm_mday);
  return dos;
}

// Raw deflate (no zlib header), as zip method 8 stores it, appended to `out`. The fastest level:
// a score's XML repeats itself so much that it still shrinks some fortyfold, at half the time of
// the default level on long songs.
bool AppendDeflated(std::string& out, std::string_view data, std::string& error) {
  z_stream stream{};
  if (deflateInit2(&stream, 1, Z_DEFLATED, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY) != Z_OK) {
    error = "the compressor could not be started";
    return false;
  }
  const std::size_t start = out.size();
  const uLong bound = deflateBound(&stream, static_cast<uLong>(data.size()));
  if (bound >= kZipLimit) {
    deflateEnd(&stream);
    error = "the song is too large for a compressed file";
    return false;
  }
  out.resize(start + bound);
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data() + start);
  stream.avail_out = static_cast<uInt>(out.size() - start);
  const int result = deflate(&stream, Z_FINISH);
  out.resize(start + stream.total_out);
  deflateEnd(&stream);
  if (result != Z_STREAM_END) {
    error = "the compressor failed";
    return false;
  }
  return true;
}

struct Written {
  uint32_t Crc, Compressed, Size, Offset;
  bool Deflate;
};

}  // namespace

bool ZipArchiveBytes(const std::vector<ZipEntry>& entries, std::string& out, std::string& error) {
  out.clear();
  try {
    const DosTime when = Now();
    std::vector<Written> written;
    for (const ZipEntry& entry : entries) {
      if (entry.Data.size() >= kZipLimit || out.size() >= kZipLimit) {
        error = "the song is too large for a compressed file";
        return false;
      }
      Written w{};
      w.Crc = static_cast<uint32_t>(crc32(crc32(0, nullptr, 0), reinterpret_cast<const Bytef*>(entry.Data.data()),
                                          static_cast<uInt>(entry.Data.size())));
      w.Size = static_cast<uint32_t>(entry.Data.size());
      w.Offset = static_cast<uint32_t>(out.size());
      w.Deflate = entry.Deflate;
      // The sizes are patched in once the data is written.
      Put32(out, 0x04034b50);
      Put16(out, 20);
      Put16(out, 0);
      Put16(out, entry.Deflate ? 8 : 0);
      Put16(out, when.Time);
      Put16(out, when.Date);
      Put32(out, w.Crc);
      const std::size_t sizesAt = out.size();
      Put32(out, 0);
      Put32(out, w.Size);
      Put16(out, static_cast<uint32_t>(entry.Name.size()));
      Put16(out, 0);
      out += entry.Name;
      const std::size_t dataAt = out.size();
      if (entry.Deflate) {
        if (!AppendDeflated(out, entry.Data, error)) return false;
      } else {
        out += entry.Data;
      }
      if (out.size() - dataAt >= kZipLimit) {
        error = "the song is too large for a compressed file";
        return false;
      }
      w.Compressed = static_cast<uint32_t>(out.size() - dataAt);
      std::string size;
      Put32(size, w.Compressed);
      out.replace(sizesAt, 4, size);
      written.push_back(w);
    }
    const uint64_t directoryAt = out.size();
    for (std::size_t i = 0; i < entries.size(); ++i) {
      const Written& w = written[i];
      Put32(out, 0x02014b50);
      Put16(out, (3 << 8) | 20);  // made by: Unix, zip 2.0
      Put16(out, 20);
      Put16(out, 0);
      Put16(out, w.Deflate ? 8 : 0);
      Put16(out, when.Time);
      Put16(out, when.Date);
      Put32(out, w.Crc);
      Put32(out, w.Compressed);
      Put32(out, w.Size);
      Put16(out, static_cast<uint32_t>(entries[i].Name.size()));
      Put16(out, 0);  // extra field
      Put16(out, 0);  // comment
      Put16(out, 0);  // disk
      Put16(out, 0);  // internal attributes
      Put32(out, 0100644u << 16);  // a plain file, rw-r--r--
      Put32(out, w.Offset);
      out += entries[i].Name;
    }
    if (out.size() >= kZipLimit || entries.size() > 0xFFFF) {
      error = "the song is too large for a compressed file";
      return false;
    }
    const auto directorySize = static_cast<uint32_t>(out.size() - directoryAt);
    Put32(out, 0x06054b50);
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, static_cast<uint32_t>(entries.size()));
    Put16(out, static_cast<uint32_t>(entries.size()));
    Put32(out, directorySize);
    Put32(out, static_cast<uint32_t>(directoryAt));
    Put16(out, 0);
  } catch (const std::bad_alloc&) {
    error = "not enough memory";
    return false;
  }
  return true;
}
