#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "model/edit_session.h"
#include "model/note_entry.h"

namespace {

// What the window hears of the session, and whether the lock was free to take while it heard it
// (the window repaints and playback reads under that lock).
class Recorder : public SessionObserver {
 public:
  explicit Recorder(EditSession& session) : session_(session) { session.AddObserver(*this); }
  void SongReplaced(SongSource source) override {
    Replaced.push_back(source);
    LockFree = LockFree && session_.Lock().try_lock();
    if (LockFree) session_.Lock().unlock();
  }
  void SongEdited() override { ++Edits; }

  std::vector<SongSource> Replaced;
  int Edits = 0;
  bool LockFree = true;

 private:
  EditSession& session_;
};

std::unique_ptr<Osnova> Song(uint16_t bars) { return std::make_unique<Osnova>(4, bars, 4); }

NoteEntry EnterSnare(EditSession& s, int position) {
  return s.Edit("note entry", [&](auto push) {
    return SetNoteAt(*s.Document(), 0, position, RowSnare, 0, 0, push);
  });
}

}  // namespace

TEST(EditSession, ReplacingTellsEachObserverOnceAndForgetsTheHistory) {
  KitRows kit = kFullKit;
  EditSession session(&kit);
  Recorder first(session), second(session);
  session.Replace(Song(12), SongSource::New, 2);
  ASSERT_TRUE(session.Cursor());
  EXPECT_EQ(session.Cursor()->Pace, 2);
  EnterSnare(session, 3);
  session.Cursor()->Column = 7;
  EXPECT_TRUE(session.History().CanUndo());
  EXPECT_EQ(first.Edits, 1);

  auto opened = Song(3);
  opened->Kit[RowRide] = 0;
  session.Replace(std::move(opened), SongSource::Opened, 8);
  EXPECT_EQ(session.Document()->BarCount, 3);
  EXPECT_EQ(kit[RowRide], 0);  // the kit page shows the opened song's kit
  EXPECT_FALSE(session.History().CanUndo());
  EXPECT_EQ(session.Cursor()->Column, 0);
  EXPECT_EQ(session.Cursor()->Pace, 2);  // the cursor keeps its pace across songs

  session.Replace(Song(1), SongSource::Refused);
  EXPECT_FALSE(session.Cursor());  // nothing to edit until the next New or Open

  const std::vector<SongSource> expected{SongSource::New, SongSource::Opened, SongSource::Refused};
  EXPECT_EQ(first.Replaced, expected);
  EXPECT_EQ(second.Replaced, expected);
  EXPECT_TRUE(first.LockFree);
  session.RemoveObserver(second);
  session.Replace(Song(2), SongSource::New);
  EXPECT_EQ(first.Replaced.size(), 4u);
  EXPECT_EQ(second.Replaced.size(), 3u);
}

TEST(EditSession, UndoAndRedoReplaceTheSongWithItsCursor) {
  EditSession session;
  Recorder seen(session);
  session.Replace(Song(4), SongSource::New);
  session.Cursor()->Column = 5;
  EnterSnare(session, 5);
  session.Cursor()->Column = 9;
  EnterSnare(session, 9);
  EXPECT_EQ(session.History().UndoName(), "note entry");

  ASSERT_EQ(session.Restore(true), EditSession::Step::Done);
  EXPECT_FALSE(session.Document()->Bar(0).Rows[RowSnare].Has(9));
  EXPECT_TRUE(session.Document()->Bar(0).Rows[RowSnare].Has(5));
  EXPECT_EQ(session.Cursor()->Column, 9);  // where the undone entry was made
  ASSERT_EQ(session.Restore(true), EditSession::Step::Done);
  EXPECT_FALSE(session.Document()->Bar(0).Rows[RowSnare].Has(5));
  EXPECT_FALSE(session.Document()->Modified);
  EXPECT_EQ(session.Restore(true), EditSession::Step::None);

  ASSERT_EQ(session.Restore(false), EditSession::Step::Done);
  ASSERT_EQ(session.Restore(false), EditSession::Step::Done);
  EXPECT_TRUE(session.Document()->Bar(0).Rows[RowSnare].Has(9));
  EXPECT_TRUE(session.Document()->Modified);
  EXPECT_EQ(session.Restore(false), EditSession::Step::None);

  const std::vector<SongSource> expected{SongSource::New, SongSource::Undone, SongSource::Undone,
                                         SongSource::Redone, SongSource::Redone};
  EXPECT_EQ(seen.Replaced, expected);
  EXPECT_EQ(seen.Edits, 2);
  EXPECT_TRUE(seen.LockFree);
}

// Playback reads the song under the session's lock: a replacement waits until it lets go.
TEST(EditSession, ReplacingWaitsForTheLockPlaybackHolds) {
  EditSession session;
  session.Replace(Song(4), SongSource::New);
  const Osnova* before = session.Document();
  std::atomic<bool> started{false}, done{false};
  std::unique_lock<std::mutex> playback(session.Lock());
  std::thread replacing([&] {
    started = true;
    session.Replace(Song(7), SongSource::Opened);
    done = true;
  });
  while (!started) std::this_thread::yield();
  // Without the lock the replacement would be over long before these turns are; under
  // ThreadSanitizer the unguarded write is reported at once.
  bool waited = true;
  for (int turn = 0; turn < 2000 && waited; ++turn) {
    std::this_thread::yield();
    waited = !done;
  }
  EXPECT_TRUE(waited);
  if (waited) {
    EXPECT_EQ(session.Document(), before);
  }
  playback.unlock();
  replacing.join();
  EXPECT_EQ(session.Document()->BarCount, 7);
}

TEST(EditSession, SwingIsOneUndoableEditThatMarksTheSongOnlyWhenItChanges) {
  EditSession session;
  Recorder seen(session);
  session.Replace(Song(2), SongSource::New);
  const SongSwing triplet{33, SwingUnit::Eighths};
  session.SetSwing(triplet);
  EXPECT_EQ(session.Document()->Swing, triplet);
  EXPECT_TRUE(session.Document()->Modified);
  EXPECT_EQ(session.History().UndoName(), "swing change");

  ASSERT_EQ(session.Restore(true), EditSession::Step::Done);
  EXPECT_FALSE(session.Document()->Swing.On());
  EXPECT_FALSE(session.Document()->Modified);
  ASSERT_EQ(session.Restore(false), EditSession::Step::Done);
  EXPECT_EQ(session.Document()->Swing, triplet);

  session.Document()->Modified = false;
  session.SetSwing(triplet);  // the same swing again: a step, but nothing to save
  EXPECT_FALSE(session.Document()->Modified);
  EXPECT_EQ(seen.Edits, 2);
}
