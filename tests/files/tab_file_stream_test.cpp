// The tab reader on streams: pipes and FIFOs, input that is refused as soon as the damage is read,
// and memory running out.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <thread>
#include <cstring>
#include <functional>

#include "common/atomic_file.h"
#include "files/tab_file.h"
#include "tests/test_folder.h"

namespace fs = std::filesystem;

namespace {

// A document with every cell of every bar filled: the largest file a song can make.
std::unique_ptr<Osnova> FullSong(int bars) {
  auto doc = std::make_unique<Osnova>(16, bars, 4);  // 64 positions a bar
  for (int b = 0; b < bars; ++b)
    for (int row = RowCymbals; row <= RowBass; ++row)
      for (int p = 0; p < kMaxPositions; ++p) doc->EditBar(b).Rows[row].Set(static_cast<uint8_t>(p), 0, 0);
  return doc;
}

// The magic, then zeros without end; counts what the reader asked for.
class MagicThenZeros : public ByteSource {
 public:
  std::size_t Read(char* buffer, std::size_t n) override {
    std::memset(buffer, 0, n);
    if (given == 0) {
      const std::size_t head = std::min<std::size_t>(n, 8);
      std::memcpy(buffer, "xx$#GVLM", head);
    }
    given += n;
    return given > (std::size_t{2} << 30) ? 0 : n;
  }
  std::size_t given = 0;
};

// Runs `body` in a child process that the kernel ends after `seconds`: a reader that waits for
// good fails the test instead of hanging it.
int InChildWithin(unsigned seconds, const std::function<int()>& body) {
  pid_t pid = ::fork();
  if (pid == 0) {
    ::alarm(seconds);
    ::_exit(body());
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

class TabFileStream : public ::testing::Test {
 protected:
  TestFolder dir;
};

}  // namespace

TEST_F(TabFileStream, ReadsAPipeOpenedOnce) {
  const std::string bytes = WriteTabBytes(*FullSong(300));  // larger than a pipe's buffer
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  std::thread writer([&] {
    for (std::size_t done = 0; done < bytes.size();) {
      ssize_t n = ::write(ends[1], bytes.data() + done, bytes.size() - done);
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
    ::close(ends[1]);
  });
  std::string error;
  auto doc = LoadFromTabFile("/proc/self/fd/" + std::to_string(ends[0]), error);
  writer.join();
  ::close(ends[0]);
  ASSERT_NE(doc, nullptr) << error;
  EXPECT_EQ(WriteTabBytes(*doc), bytes);
}

TEST_F(TabFileStream, FifoWithoutWriterAndOtherKindsAreRefusedAtOnce) {
  const std::string fifo = (dir / "fifo.gvlm").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const int status = InChildWithin(20, [&] {
    std::string error;
    for (const std::string& path : {fifo, std::string("/dev/zero"), dir.string()})
      if (LoadFromTabFile(path, error) || error != kDamagedTabFileMessage) return 1;
    return 0;
  });
  EXPECT_EQ(status, 0);
}

TEST_F(TabFileStream, DamagedHeaderIsRefusedBeforeTheRestIsRead) {
  MagicThenZeros source;
  EXPECT_EQ(ReadTabStream(source), nullptr);
  // The header fails at byte 10; one buffer's worth is all that may be read.
  EXPECT_LE(source.given, std::size_t{1} << 20);
}

TEST_F(TabFileStream, RunningOutOfMemoryIsARefusalNotAnAbort) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "address space limits do not work under AddressSanitizer";
#else
  const std::string path = (dir / "full.gvlm").string();
  // Written by another process, so this one's heap does not already hold the song's memory.
  ASSERT_EQ(InChildWithin(60, [&] {
              std::string error;
              return SaveToTabFile(*FullSong(kMaxBarCount), path, error) ? 0 : 1;
            }),
            0);
  const int status = InChildWithin(60, [&] {
    // Room for the program and a little more, far less than the song's ~80 MB of bars.
    struct rlimit limit {};
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    unsigned long pages = 0;
    if (!statm || std::fscanf(statm, "%lu", &pages) != 1) return 2;
    std::fclose(statm);
    limit.rlim_cur = limit.rlim_max = pages * static_cast<unsigned long>(::sysconf(_SC_PAGESIZE)) + (24ul << 20);
    if (::setrlimit(RLIMIT_AS, &limit) != 0) return 3;
    std::string message;
    auto doc = LoadFromTabFile(path, message);
    return doc == nullptr && message == kDamagedTabFileMessage ? 0 : 1;
  });
  EXPECT_EQ(status, 0);
#endif
}
