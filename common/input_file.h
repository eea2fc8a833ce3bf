// Reading files that may be pipes: the input is opened once and read as a stream, and opening
// never waits (a FIFO nobody writes to would otherwise hold the program up for good).
#pragma once

#include <cstddef>
#include <string>

// Where a reader's bytes come from.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Fills up to `n` bytes of `buffer`; returns how many, 0 at the end of the input or on an error.
  virtual std::size_t Read(char* buffer, std::size_t n) = 0;
};

// A regular file, a FIFO or a pipe (such as the shell's <(command)), opened for reading.
class InputFile : public ByteSource {
 public:
  InputFile() = default;
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  ~InputFile() override;

  // False with the reason in `error` when the file cannot be opened or is of another kind (a
  // folder, a device). A FIFO without a writer reads as empty instead of waiting for one.
  bool Open(const std::string& path, std::string& error);
  std::size_t Read(char* buffer, std::size_t n) override;
  // Set when a Read ended on an error rather than at the end of the input.
  bool Failed() const { return failed_; }

 private:
  int fd_ = -1;
  bool failed_ = false;
};
