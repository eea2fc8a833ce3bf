// Crash recovery copies: while a song has unsaved changes the program keeps a copy of it in
// StateFolder()/recovery/ as a tab file <name>.gvlm, with a companion <name>.info that names the
// song's own file and the process that wrote the copy. A copy whose process is no longer running
// was left by a crash, a kill or a power cut, and is offered back at the next start. They hold the
// user's unsaved work: the folder is 0700 and the files 0600.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

// Who wrote a copy, and for which file.
struct RecoveryInfo {
  std::string Original;   // the song's own file; empty when it never had one
  int64_t Pid = 0;
  uint64_t StartTime = 0;  // the process's start in clock ticks since boot: pids are reused
  std::string BootId;      // no process of an earlier boot is running
};

std::string FormatRecoveryInfo(const RecoveryInfo& info);
std::optional<RecoveryInfo> ParseRecoveryInfo(std::string_view text);

// This process, with Original empty.
RecoveryInfo ThisProcess();
// Whether the process that wrote a copy is still running (and is the same process).
bool ProcessRunning(const RecoveryInfo& info);

std::string RecoveryFolder();  // StateFolder()/recovery

struct AbandonedCopy {
  std::string TabPath;
  std::string InfoPath;
  RecoveryInfo Info;
  int64_t WrittenAt = 0;  // seconds since the epoch: when the copy was last written
};

// The copies in `folder` whose process is not running, newest first. Companions left without a
// copy (a crash between the two writes of the very first copy) are removed.
std::vector<AbandonedCopy> FindAbandonedCopies(const std::string& folder);
// Deletes a copy and its companion.
void DeleteCopy(const AbandonedCopy& copy);
// Whether the copy reads as a song; false with the reader's message in `error`.
bool CopyIsReadable(const AbandonedCopy& copy, std::string& error);
// Moves a copy that cannot be read, and its companion, into the folder's "damaged" subfolder,
// where it is kept for inspection and never offered again. The copy's new path, or empty with
// the reason in `error`.
std::string SetDamagedCopyAside(const AbandonedCopy& copy, std::string& error);
// The abandoned copy in `folder` whose tab file is `tabPath`, if there is one.
std::optional<AbandonedCopy> FindAbandonedCopy(const std::string& folder, const std::string& tabPath);

// Writes this process's copy on a thread of its own, so that a large song never holds up the
// window. Only the newest request matters: a write replaces a write or removal still waiting, a
// removal replaces a waiting write. Failures go to `onFailure`, called on the writer's thread.
class RecoveryWriter {
 public:
  using FailureHandler = std::function<void(const std::string& message)>;
  RecoveryWriter(std::string folder, FailureHandler onFailure);
  ~RecoveryWriter();  // finishes what is waiting (a removal on quit), then stops
  RecoveryWriter(const RecoveryWriter&) = delete;
  RecoveryWriter& operator=(const RecoveryWriter&) = delete;

  void Write(std::string bytes, std::string original);
  void Remove();
  void WaitIdle();  // until every request so far is done

  const std::string& Folder() const { return folder_; }
  const std::string& TabPath() const { return tabPath_; }
  const std::string& InfoPath() const { return infoPath_; }

 private:
  struct Job {
    bool Remove = false;
    std::string Bytes;
    std::string Original;
  };
  void Run();
  void Perform(Job& job);

  const std::string folder_;
  const RecoveryInfo self_;
  const std::string tabPath_, infoPath_;
  FailureHandler onFailure_;
  std::string infoOnDisk_;  // writer thread only: the companion as last written

  std::mutex mutex_;
  std::condition_variable wake_, idle_;
  std::optional<Job> pending_;
  bool busy_ = false;
  bool stopping_ = false;
  std::thread thread_;
};
