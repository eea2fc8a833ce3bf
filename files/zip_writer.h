// A zip archive in memory, as the compressed MusicXML container wants it: entries stored or
// deflated (zlib), no zip64, so every entry and the archive stay below 4 GiB.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct ZipEntry {
  std::string Name;       // ASCII path inside the archive, '/' between folders
  std::string_view Data;  // must outlive the call
  bool Deflate = true;    // false: stored as is (the container's "mimetype" must be)
};

// The whole archive, entries in the given order with the current local time as their date.
// False with the reason in `error` when an entry or the archive is too large for the format, or
// memory runs out; `out` is then unspecified.
bool ZipArchiveBytes(const std::vector<ZipEntry>& entries, std::string& out, std::string& error);
