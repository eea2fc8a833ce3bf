#include "audio/audio_export.h"

#include <gtest/gtest.h>
#include <grp.h>
#include <sndfile.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <functional>
#include <thread>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "audio/audio_convert.h"
#include "audio/drum_sound_bank.h"
#include "audio/song_mixer.h"
#include "tests/audio/song_frames.h"
#include "common/atomic_file.h"
#include "files/convert.h"
#include "files/tab_file.h"
#include "midi/output/fluid_synth_device.h"
#include "tests/test_folder.h"

namespace fs = std::filesystem;

namespace {

constexpr int kRate = 44100;
constexpr int64_t kMs = kRate / 1000;

struct Sound {
  int Rate = 0, Channels = 0;
  std::vector<float> Samples;  // interleaved
  int64_t Frames() const { return static_cast<int64_t>(Samples.size()) / std::max(Channels, 1); }
  // Loudest sample of the frames [from, to).
  float Peak(int64_t from, int64_t to) const {
    float peak = 0;
    for (int64_t i = 2 * std::max<int64_t>(from, 0); i < 2 * std::min(to, Frames()); ++i)
      peak = std::max(peak, std::fabs(Samples[static_cast<std::size_t>(i)]));
    return peak;
  }
  // The first frame at or after `from` that is louder than `level`; -1 when none.
  int64_t Onset(int64_t from, float level) const {
    for (int64_t f = std::max<int64_t>(from, 0); f < Frames(); ++f)
      if (std::fabs(Samples[static_cast<std::size_t>(2 * f)]) > level ||
          std::fabs(Samples[static_cast<std::size_t>(2 * f + 1)]) > level)
        return f;
    return -1;
  }
};

Sound ReadSound(const std::string& path) {
  Sound sound;
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  EXPECT_NE(file, nullptr) << path << ": " << sf_strerror(nullptr);
  if (!file) return sound;
  sound.Rate = info.samplerate;
  sound.Channels = info.channels;
  sound.Samples.resize(static_cast<std::size_t>(info.frames * info.channels));
  EXPECT_EQ(sf_readf_float(file, sound.Samples.data(), info.frames), info.frames);
  sf_close(file);
  return sound;
}

// Polls `condition` until it holds or 20 s pass: use as ASSERT_TRUE(WaitUntil(...)).
bool WaitUntil(const std::function<bool()>& condition) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

// Whether process `pid` has a file in `dir` open (an unnamed temporary shows as "dir/#123 (deleted)").
bool HasFileOpenIn(pid_t pid, const fs::path& dir) {
  std::error_code ec;
  for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec)) {
    const fs::path target = fs::read_symlink(fd.path(), ec);
    if (!ec && target.string().starts_with(dir.string() + "/")) return true;
  }
  return false;
}

int ExitStatusOf(pid_t pid) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string Tag(const std::string& path, int kind) {
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (!file) return "(unreadable)";
  const char* text = sf_get_string(file, kind);
  std::string value = text ? text : "";
  sf_close(file);
  return value;
}

std::unique_ptr<Osnova> OneBar() {
  auto doc = std::make_unique<Osnova>(4, 1, 4);
  doc->Kit.fill(1);
  return doc;
}

class AudioExport : public ::testing::Test {
 protected:
  void TearDown() override {
    TestWriteFaults().FailAfterBytes = -1;
  }
  AudioExportResult Export(const Osnova& doc, const std::string& name, AudioExportSettings settings = {},
                           const AudioProgress& progress = nullptr) {
    error.clear();
    if (settings.Kit == AudioExportSettings{}.Kit) settings.Kit = doc.Kit;
    return ExportAudio(doc, (dir / name).string(), settings, progress, error);
  }
  std::size_t FilesIn() { return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir), {})); }
  std::string Contents(const std::string& name) {
    std::ifstream in(dir / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  TestFolder dir;
  std::string error;
};

// Bass drum on every beat at a tempo whose sixteenths are no whole number of frames or
// milliseconds (15000 / 97 = 154.639 ms), the last two accented.
TEST_F(AudioExport, OnsetsLandOnTheirExactFramesAndAccentsAreLouder) {
  auto doc = OneBar();
  for (int p : {0, 4}) doc->EditBar(0).Rows[RowBass].Set(p, 0, 0);
  for (int p : {8, 12}) doc->EditBar(0).Rows[RowBass].Set(p, 0, 1);
  AudioExportSettings settings;
  settings.Tempo = 97;
  ASSERT_EQ(Export(*doc, "beat.wav", settings), AudioExportResult::Done) << error;
  const Sound sound = ReadSound((dir / "beat.wav").string());
  ASSERT_EQ(sound.Rate, kRate);
  ASSERT_EQ(sound.Channels, 2);
  float peaks[4];
  for (int beat = 0; beat < 4; ++beat) {
    const int64_t expected = PositionFrame(4 * beat, 97);
    EXPECT_EQ(expected, std::llround(4 * beat * 15000.0 / 97 * kRate / 1000));
    const int64_t onset = sound.Onset(expected - 10 * kMs, 1e-3f);
    EXPECT_NEAR(onset, expected, kMs) << "beat " << beat;
    peaks[beat] = sound.Peak(expected, expected + 100 * kMs);
  }
  EXPECT_NEAR(peaks[0], peaks[1], peaks[0] * 0.01f);
  EXPECT_NEAR(peaks[2], peaks[3], peaks[2] * 0.01f);
  EXPECT_GT(peaks[2], peaks[0] * 1.2f);
  // The bass drum and its faint room die away quickly: the file ends well inside 4 s of the last beat.
  EXPECT_GT(sound.Frames(), PositionFrame(12, 97) + 20 * kMs);
  EXPECT_LT(sound.Frames(), PositionFrame(12, 97) + 1500 * kMs);
}

// No drift: a note after 1599 sixteenths at tempo 1024 (14.648 ms each, 15 if rounded) is where the
// exact sum puts it.
TEST_F(AudioExport, LateNotesDoNotDrift) {
  auto doc = std::make_unique<Osnova>(4, 100, 4);
  doc->Kit.fill(1);
  doc->EditBar(0).Rows[RowSnare].Set(0, 0, 0);
  doc->EditBar(99).Rows[RowSnare].Set(15, 0, 0);
  AudioExportSettings settings;
  settings.Tempo = 1024;
  ASSERT_EQ(Export(*doc, "long.wav", settings), AudioExportResult::Done) << error;
  const Sound sound = ReadSound((dir / "long.wav").string());
  const int64_t expected = std::llround(1599 * 15000.0 / 1024 * kRate / 1000);
  EXPECT_NEAR(sound.Onset(expected - 20 * kMs, 1e-3f), expected, kMs);
  EXPECT_EQ(sound.Peak(kRate, expected - 2), 0.0f) << "sound between the two notes";
}

// A note alone, exported at the synthesizer's own level, gives the same samples wherever it sounds,
// so each must be the lone first beat's shifted by exactly the frames of its time. At 100 bpm: the
// sixth sixteenth triplet (5 x 4410 frames), the fourth 32nd of a bar after a bar of triplets
// (105840 + 3 x 3307.5, rounded from the start), and with 33 % swing on eighths the second beat's
// off-beat, 2400 + 792 units of 4800 into the beat (26460 + 17596).
TEST_F(AudioExport, NotesOfEveryGridAndSwungOffBeatsStartOnTheirExactFrame) {
  AudioExportSettings settings;
  settings.Tempo = 100;
  settings.Normalize = false;
  auto reference = OneBar();
  reference->EditBar(0).Rows[RowSnare].Set(0, 0, 0);
  ASSERT_EQ(Export(*reference, "reference.wav", settings), AudioExportResult::Done) << error;
  const Sound alone = ReadSound((dir / "reference.wav").string());

  auto triplets = std::make_unique<Osnova>(4, 2, 4);
  triplets->Kit.fill(1);
  for (int b : {0, 1}) {
    TBar& bar = triplets->EditBar(b);
    bar.Grid = b == 0 ? BarGrid::SixteenthTriplets : BarGrid::ThirtySeconds;
    bar.Length = GridLength(4, 4, bar.Grid);
  }
  auto thirtySeconds = std::make_unique<Osnova>(*triplets);
  triplets->EditBar(0).Rows[RowSnare].Set(5, 0, 0);
  thirtySeconds->EditBar(1).Rows[RowSnare].Set(3, 0, 0);
  auto swung = OneBar();
  swung->Swing = {33, SwingUnit::Eighths};
  swung->EditBar(0).Rows[RowSnare].Set(6, 0, 0);

  const std::pair<const Osnova*, int64_t> cases[] = {
      {triplets.get(), 22050}, {thirtySeconds.get(), 115763}, {swung.get(), 44056}};
  for (const auto& [doc, frame] : cases) {
    ASSERT_EQ(Export(*doc, "note.wav", settings), AudioExportResult::Done) << error;
    const Sound sound = ReadSound((dir / "note.wav").string());
    EXPECT_EQ(sound.Peak(0, frame), 0.0f) << "nothing before frame " << frame;
    const int64_t common = std::min(alone.Frames(), sound.Frames() - frame);
    ASSERT_GT(common, kRate / 4);
    int64_t differing = 0;
    for (int64_t i = 0; i < 2 * common; ++i)
      differing += alone.Samples[static_cast<std::size_t>(i)] != sound.Samples[static_cast<std::size_t>(2 * frame + i)];
    EXPECT_EQ(differing, 0) << "the note at frame " << frame;
  }
}

TEST_F(AudioExport, RowsTheKitHidesAreSilent) {
  auto doc = OneBar();
  doc->EditBar(0).Rows[RowBass].Set(0, 0, 0);
  doc->EditBar(0).Rows[RowSnare].Set(8, 0, 1);
  doc->EditBar(0).Rows[RowCymbals].Set(12, 0, 1);
  doc->Kit[RowSnare] = 0;
  doc->Kit[RowCymbals] = 0;
  ASSERT_EQ(Export(*doc, "kit.wav"), AudioExportResult::Done) << error;
  const Sound sound = ReadSound((dir / "kit.wav").string());
  ASSERT_GT(sound.Peak(0, 50 * kMs), 0.5f);
  // Only the bass drum's fading room where the hidden snare and cymbal would be.
  EXPECT_LT(sound.Peak(PositionFrame(8, 120), sound.Frames()), 0.01f);

  // With only hidden rows holding notes there is nothing to render, and no file.
  doc->EditBar(0).Rows[RowBass].Clear();
  EXPECT_EQ(Export(*doc, "none.wav"), AudioExportResult::Failed);
  EXPECT_EQ(error, kSilentSongMessage);
  EXPECT_FALSE(fs::exists(dir / "none.wav"));
}

// A crash rings on over the notes after it and past the bar's end, and the file runs on until it
// has died away, at most 4 s after the bar; FLAC holds the WAV's very samples, Ogg the same length.
TEST_F(AudioExport, RingingTailAndTheThreeFormats) {
  auto doc = OneBar();
  doc->EditBar(0).Rows[RowCymbals].Set(0, 0, 1);
  doc->EditBar(0).Rows[RowBass].Set(0, 0, 0);
  doc->EditBar(0).Rows[RowBass].Set(15, 0, 0);
  ASSERT_EQ(Export(*doc, "song.wav"), AudioExportResult::Done) << error;
  ASSERT_EQ(Export(*doc, "song.FLAC"), AudioExportResult::Done) << error;
  ASSERT_EQ(Export(*doc, "song.ogg"), AudioExportResult::Done) << error;
  const Sound wav = ReadSound((dir / "song.wav").string());
  const Sound flac = ReadSound((dir / "song.FLAC").string());
  const Sound ogg = ReadSound((dir / "song.ogg").string());
  const int64_t last = PositionFrame(15, 120), barEnd = PositionFrame(16, 120);
  EXPECT_GT(wav.Frames(), barEnd + kRate);  // the crash still sounds a second after the bar
  EXPECT_LE(wav.Frames(), barEnd + 4 * kRate);
  EXPECT_GT(wav.Peak(last - 10 * kMs, last), 5e-4f);
  EXPECT_LT(wav.Peak(wav.Frames() - 10 * kMs, wav.Frames()), wav.Peak(0, kRate) * 2e-3f);
  EXPECT_EQ(flac.Rate, kRate);
  EXPECT_EQ(flac.Samples, wav.Samples);
  EXPECT_EQ(ogg.Rate, kRate);
  EXPECT_EQ(ogg.Channels, 2);
  EXPECT_EQ(ogg.Frames(), wav.Frames());
  EXPECT_GT(ogg.Peak(0, kRate), 0.05f);
  EXPECT_EQ(FilesIn(), 3u);
}

TEST_F(AudioExport, CancelLeavesNoFileAndKeepsTheOldOne) {
  auto doc = std::make_unique<Osnova>(4, 20, 4);
  doc->Kit.fill(1);
  for (std::size_t b = 0; b < doc->Bars.size(); ++b) doc->EditBar(static_cast<int>(b)).Rows[RowSnare].Set(4, 0, 0);
  int calls = 0;
  auto cancelSecond = [&](int64_t done, int64_t total) {
    EXPECT_LE(done, total);
    return ++calls < 2;
  };
  EXPECT_EQ(Export(*doc, "new.wav", {}, cancelSecond), AudioExportResult::Cancelled);
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(FilesIn(), 0u);

  std::ofstream(dir / "old.flac") << "old contents";
  calls = 0;
  EXPECT_EQ(Export(*doc, "old.flac", {}, cancelSecond), AudioExportResult::Cancelled);
  EXPECT_EQ(Contents("old.flac"), "old contents");
  EXPECT_EQ(FilesIn(), 1u);
}

TEST_F(AudioExport, FailedWriteKeepsTheOldFileAndSaysWhy) {
  auto doc = OneBar();
  doc->EditBar(0).Rows[RowSnare].Set(0, 0, 0);
  std::ofstream(dir / "old.wav") << "old contents";
  TestWriteFaults().FailAfterBytes = 5000;
  EXPECT_EQ(Export(*doc, "old.wav"), AudioExportResult::Failed);
  EXPECT_EQ(error, "Input/output error");
  EXPECT_EQ(Contents("old.wav"), "old contents");
  EXPECT_EQ(FilesIn(), 1u);
  TestWriteFaults().FailAfterBytes = -1;

  EXPECT_EQ(Export(*doc, "no_folder/x.ogg"), AudioExportResult::Failed);
  EXPECT_EQ(error, "No such file or directory");
  EXPECT_EQ(Export(*doc, "x.mp3"), AudioExportResult::Failed);
  EXPECT_EQ(FilesIn(), 1u);

  // Through a link, the file it points to is replaced and the link stays.
  fs::create_symlink("old.wav", dir / "link.wav");
  ASSERT_EQ(Export(*doc, "link.wav"), AudioExportResult::Done) << error;
  EXPECT_TRUE(fs::is_symlink(dir / "link.wav"));
  EXPECT_GT(ReadSound((dir / "old.wav").string()).Frames(), 0);
}

// The file runs to the end of the last bar holding a note, whatever its last note: a two-bar song
// at tempo 120 whose last note sounds at 3.0 s lasts 4.0 s, plus only what still rings then.
TEST_F(AudioExport, FileHoldsTheWholeLastBar) {
  auto doc = std::make_unique<Osnova>(4, 3, 4);
  doc->Kit.fill(1);
  doc->EditBar(0).Rows[RowBass].Set(0, 0, 0);
  doc->EditBar(1).Rows[RowBass].Set(8, 0, 0);  // 3.0 s; the third bar is empty
  ASSERT_EQ(Export(*doc, "loop.wav"), AudioExportResult::Done) << error;
  const Sound sound = ReadSound((dir / "loop.wav").string());
  EXPECT_GE(sound.Frames(), 4 * kRate);
  EXPECT_LT(sound.Frames(), 4 * kRate + kRate / 2);  // a bass drum is gone within half a second
  EXPECT_NEAR(sound.Onset(0, 1e-3f), 0, kMs);
  EXPECT_NEAR(sound.Onset(PositionFrame(20, 120) - 20 * kMs, 1e-3f), 3 * kRate, kMs);
}

// A dense groove: by default its loudest sample is at -1 dBFS, and without normalising the file
// holds the synthesizer's samples at their own, lower level; both without DC. Title, artist and
// album of the song are in every format's tags, as UTF-8.
TEST_F(AudioExport, NormalizedWithoutDcAndTagged) {
  auto doc = std::make_unique<Osnova>(4, 8, 4);
  doc->Kit.fill(1);
  for (std::size_t b = 0; b < doc->Bars.size(); ++b) {
    TBar* bar = &doc->EditBar(static_cast<int>(b));
    for (int p = 0; p < 16; ++p) bar->Rows[RowHiHat].Set(p, 0, p % 4 == 0);
    for (int p : {0, 6, 10}) bar->Rows[RowBass].Set(p, 0, 1);
    for (int p : {4, 12}) bar->Rows[RowSnare].Set(p, 0, 1);
  }
  doc->Song = "Caf\xe9 \x80";
  doc->Artist = "The Band";
  doc->Album = "First";
  ASSERT_EQ(Export(*doc, "loud.wav"), AudioExportResult::Done) << error;
  AudioExportSettings level;
  level.Normalize = false;
  ASSERT_EQ(Export(*doc, "level.wav", level), AudioExportResult::Done) << error;
  const Sound loud = ReadSound((dir / "loud.wav").string());
  const Sound raw = ReadSound((dir / "level.wav").string());
  ASSERT_EQ(loud.Frames(), raw.Frames());
  const float peak = loud.Peak(0, loud.Frames()), rawPeak = raw.Peak(0, raw.Frames());
  EXPECT_NEAR(peak, kNormalizedPeak, 1.5f / 32768);
  EXPECT_LT(rawPeak, 0.6f);
  const float gain = peak / rawPeak;
  float worst = 0;
  for (std::size_t i = 0; i < loud.Samples.size(); ++i)
    worst = std::max(worst, std::fabs(loud.Samples[i] - gain * raw.Samples[i]));
  EXPECT_LT(worst, gain * 1.5f / 32768) << "not the same samples scaled";
  for (const Sound* sound : {&loud, &raw})
    for (int channel = 0; channel < 2; ++channel) {
      double sum = 0;
      for (int64_t f = 0; f < sound->Frames(); ++f) sum += sound->Samples[static_cast<std::size_t>(2 * f + channel)];
      EXPECT_LT(std::fabs(sum / static_cast<double>(sound->Frames())), 2e-5) << "DC in channel " << channel;
    }

  for (const char* name : {"loud.wav", "tags.flac", "tags.ogg"}) {
    if (name != std::string("loud.wav")) {
      ASSERT_EQ(Export(*doc, name), AudioExportResult::Done) << error;
    }
    const std::string path = (dir / name).string();
    EXPECT_EQ(Tag(path, SF_STR_TITLE), "Caf\xc3\xa9 \xe2\x82\xac") << name;
    EXPECT_EQ(Tag(path, SF_STR_ARTIST), "The Band") << name;
    EXPECT_EQ(Tag(path, SF_STR_ALBUM), "First") << name;
  }
}

// Runs `job` (with its arguments) in a fresh process of this test program, AudioExportChild.Job
// below: a fork alone would copy the locks other threads hold at that moment.
pid_t SpawnChild(const std::vector<std::string>& job) {
  std::vector<std::string> env{"GROOVELOOM_TEST_CHILD=1"};
  for (std::size_t i = 0; i < job.size(); ++i) env.push_back("GROOVELOOM_TEST_ARG" + std::to_string(i) + "=" + job[i]);
  for (char** e = environ; *e; ++e) env.emplace_back(*e);
  std::vector<char*> envp, argv;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::string self = "/proc/self/exe", filter = "--gtest_filter=AudioExportChild.Job";
  argv = {self.data(), filter.data(), nullptr};
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::execve(self.c_str(), argv.data(), envp.data());
    ::_exit(127);
  }
  return pid;
}

std::string ChildArg(int i) {
  const char* value = std::getenv(("GROOVELOOM_TEST_ARG" + std::to_string(i)).c_str());
  return value ? value : "";
}

TEST(AudioExportChild, Job) {
  if (!std::getenv("GROOVELOOM_TEST_CHILD")) GTEST_SKIP() << "a process of its own for the tests below";
  const std::string job = ChildArg(0);
  if (job == "in-place") {
    // Root may write anywhere: the child is a user whom permissions bind.
    if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
      ::_exit(99);
    auto doc = OneBar();
    doc->EditBar(0).Rows[RowSnare].Set(0, 0, 0);
    AudioExportSettings settings;
    settings.Kit = doc->Kit;
    settings.SoundFont = ChildArg(3);
    std::string why;
    if (ExportAudio(*doc, ChildArg(1), settings, nullptr, why) != AudioExportResult::Done) ::_exit(1);
    if (ExportAudio(*doc, ChildArg(2), settings, nullptr, why) != AudioExportResult::Failed) ::_exit(2);
    ::_exit(why == "Permission denied" ? 0 : 3);
  }
  if (job == "convert") {
    const ProgramSettings settings;
    AddAudioConversions(settings);
    std::string message;
    std::vector<std::string> warnings;
    ::_exit(ConvertFile(ChildArg(1), ChildArg(2), 10, message, warnings));
  }
  ::_exit(98);
}

// A writable file in a folder the user may not write is rewritten in place, as the other exports
// do; a new file cannot be made there.
TEST_F(AudioExport, WritableFileInReadOnlyFolderIsRewrittenInPlace) {
  std::ofstream(dir / "old.wav") << "old contents";
  fs::permissions(dir / "old.wav", fs::perms(0666));
  fs::permissions(dir, fs::perms(0555));
  std::string font;
  ASSERT_TRUE(FluidSynthDevice::FindConfiguredSoundFont(font, error)) << error;
  const pid_t pid = SpawnChild({"in-place", (dir / "old.wav").string(), (dir / "new.wav").string(), font});
  EXPECT_EQ(ExitStatusOf(pid), 0);
  fs::permissions(dir, fs::perms::owner_all);
  EXPECT_GT(ReadSound((dir / "old.wav").string()).Frames(), 0);
  EXPECT_EQ(FilesIn(), 1u);
}

// A long export from the command line, ended part-way: a closed terminal (SIGHUP) cancels it like
// Ctrl+C, and even kill -9 leaves nothing in the target's folder.
TEST_F(AudioExport, HangUpOrKillDuringExportLeavesNothing) {
  Osnova song(4, 2000, 4);  // 4000 s of audio: seconds of work
  for (std::size_t b = 0; b < song.Bars.size(); ++b) song.EditBar(static_cast<int>(b)).Rows[RowSnare].Set(4, 0, 0);
  const fs::path input = dir.string() + "-in.gvlm";
  std::string why;
  ASSERT_TRUE(WriteFileAtomically(input.string(), WriteTabBytes(song), why)) << why;
  for (int signal : {SIGHUP, SIGKILL}) {
    const pid_t pid = SpawnChild({"convert", input.string(), (dir / "x.wav").string()});
    ASSERT_TRUE(WaitUntil([&] { return HasFileOpenIn(pid, dir); })) << strsignal(signal);
    ::kill(pid, signal);
    EXPECT_EQ(ExitStatusOf(pid), signal == SIGKILL ? 128 + SIGKILL : 1) << strsignal(signal);
    EXPECT_EQ(FilesIn(), 0u) << strsignal(signal);
  }
  fs::remove(input);
}

// The bank's cut notes are what the synthesizer plays: an open hi-hat closed by a closed one and a
// crash struck again, rendered directly by FluidSynth, equal the bank's cut sound plus the second
// note's own sound (dry, where rendering alone is exact).
TEST(DrumSoundBankTest, CutNotesMatchTheSynthesizerPlayingThePair) {
  std::string font, error;
  ASSERT_TRUE(FluidSynthDevice::FindConfiguredSoundFont(font, error)) << error;
  DrumSoundBank bank;
  ASSERT_TRUE(bank.Open(font, error, /*effects=*/false)) << error;
  EXPECT_TRUE(bank.Cuts(46, 42));
  EXPECT_TRUE(bank.Cuts(49, 49));
  EXPECT_FALSE(bank.Cuts(38, 36));
  struct Pair {
    uint8_t First, Second;
    int Blocks;
  };
  for (const Pair pair : {Pair{46, 42, 90}, Pair{49, 49, 200}}) {
    auto cut = bank.CutSound(pair.First, 127, pair.Second, 94, pair.Blocks);
    auto second = bank.Sound(pair.Second, 94);
    ASSERT_NE(cut->Samples, bank.Sound(pair.First, 127)->Samples) << "the note was not cut";

    fluid_settings_t* settings = new_fluid_settings();
    fluid_settings_setnum(settings, "synth.sample-rate", kRate);
    fluid_settings_setint(settings, "synth.reverb.active", 0);
    fluid_settings_setint(settings, "synth.chorus.active", 0);
    fluid_synth_t* synth = new_fluid_synth(settings);
    ASSERT_NE(fluid_synth_sfload(synth, font.c_str(), 1), FLUID_FAILED);
    const int at = pair.Blocks * DrumSoundBank::kBlockFrames;
    const int frames = at + static_cast<int>(second->Frames());
    std::vector<float> direct(2 * static_cast<std::size_t>(frames));
    fluid_synth_noteon(synth, 9, pair.First, 127);
    fluid_synth_write_float(synth, at, direct.data(), 0, 2, direct.data(), 1, 2);
    fluid_synth_noteon(synth, 9, pair.Second, 94);
    fluid_synth_write_float(synth, frames - at, direct.data() + 2 * at, 0, 2, direct.data() + 2 * at, 1, 2);
    delete_fluid_synth(synth);
    delete_fluid_settings(settings);

    float worst = 0, peak = 0;
    for (std::size_t i = 0; i < direct.size(); ++i) {
      float mixed = 0;
      if (i < cut->Samples.size()) mixed += cut->Samples[i];
      if (i >= 2 * static_cast<std::size_t>(at)) mixed += second->Samples[i - 2 * static_cast<std::size_t>(at)];
      worst = std::max(worst, std::fabs(mixed - direct[i]));
      peak = std::max(peak, std::fabs(direct[i]));
    }
    EXPECT_LT(worst, 1e-4f) << int{pair.First} << " cut by " << int{pair.Second} << ", peak " << peak;
  }
}

}  // namespace
