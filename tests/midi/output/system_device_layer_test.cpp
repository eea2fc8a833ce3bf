#include "midi/output/system_device_layer.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "midi/output/library_messages.h"

namespace {

// Everything written to file descriptor 2 while it lives.
class StderrCapture {
 public:
  StderrCapture() : path_(std::filesystem::temp_directory_path() /
                          ("grooveloom_stderr_" + std::to_string(::getpid()))) {
    std::fflush(stderr);
    saved_ = ::dup(2);
    const int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(fd, 2);
    ::close(fd);
  }
  std::string Finish() {
    std::cerr.flush();
    std::fflush(stderr);
    ::dup2(saved_, 2);
    ::close(saved_);
    std::ifstream in(path_);
    std::stringstream text;
    text << in.rdbuf();
    std::filesystem::remove(path_);
    return text.str();
  }

 private:
  std::filesystem::path path_;
  int saved_ = -1;
};

// Whatever the machine has: the built-in synthesizer is always listed first, opening either works
// or fails with a reason (how quickly is measured by bench/startup.sh), ids past the list fail, and none of it prints to the terminal.
TEST(SystemDeviceLayerTest, ListsAndOpensTheBuiltInSynthesizerQuietly) {
  StderrCapture capture;
  auto layer = MakeSystemDeviceLayer();
  const int count = layer->Count();
  std::string name;
  const bool named = layer->Name(0, name);
  const bool opened = layer->Open(0);
  const std::string reason = layer->LastError();
  layer->Send(0x007F2699);
  layer->Send(0x007F2689);
  const bool mapperOpened = layer->Open(-1);
  const bool pastTheEndOpened = layer->Open(count);  // the mapper's list index is not a device id
  const std::string pastTheEndReason = layer->LastError();
  std::string noName;
  const bool pastTheEndNamed = layer->Name(count, noName) || layer->Name(-2, noName);
  layer->Close();
  layer->Send(0x007F2699);  // nothing open: dropped
  layer.reset();
  const std::string printed = capture.Finish();

  EXPECT_GE(count, 1);
  EXPECT_TRUE(named);
  EXPECT_EQ(name, "Built-in synthesizer");
  EXPECT_EQ(mapperOpened, opened);  // the mapper is the built-in synthesizer
  EXPECT_FALSE(pastTheEndOpened);
  EXPECT_FALSE(pastTheEndReason.empty());
  EXPECT_FALSE(pastTheEndNamed);
  if (!opened) {
    EXPECT_FALSE(reason.empty());
  }
  EXPECT_EQ(printed, "") << "library noise reached the terminal";
}

TEST(SystemDeviceLayerTest, WithASoundCardTheSoundFontFinishesLoadingInTheBackground) {
  StderrCapture capture;
  SystemDeviceLayer layer;
  const bool opened = layer.Open(0);
  capture.Finish();
  if (!opened) GTEST_SKIP() << "no audio output here: " << layer.LastError();
  EXPECT_FALSE(layer.Synth().DriverName().empty());
  EXPECT_TRUE(layer.Synth().WaitUntilLoaded(std::chrono::seconds(10))) << layer.Synth().LoadError();
  layer.Close();
}

}  // namespace
