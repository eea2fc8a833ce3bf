#include <gtest/gtest.h>

#include <deque>
#include <random>

#include "files/tab_file.h"
#include "model/undo_history.h"

namespace {

// A live document and view that edits change, with the history taking a snapshot first, the way
// every editing command does.
class Session {
 public:
  Session() : doc(std::make_unique<Osnova>(4, 8, 4)) {}

  void Edit(int id) {
    history.Push(*doc, view);
    doc->Modified = true;
    doc->Artist = "edit " + std::to_string(id);
    doc->EditBar(id % 8).Rows[RowSnare].Set(id % 16, 0, id % 2);
    view = UndoView{id % 4, id % 4 + 3, id % 8, static_cast<uint8_t>(id % 64), static_cast<uint8_t>(id % 2)};
  }
  bool Step(bool undo) {
    auto restored = history.Restore(undo, *doc, view);
    if (!restored) return false;
    doc = std::move(restored->Doc);
    view = restored->View;
    return true;
  }
  std::string Bytes() const { return WriteTabBytes(*doc); }

  UR_Stack history;
  std::unique_ptr<Osnova> doc;
  UndoView view;
};

void ExpectCounters(const UR_Stack& h, int current, int top, int redoPos, bool pending) {
  EXPECT_EQ(h.Current(), current);
  EXPECT_EQ(h.Top(), top);
  EXPECT_EQ(h.RedoPos(), redoPos);
  EXPECT_EQ(h.Pending(), pending);
}

}  // namespace

TEST(UndoHistory, StartsEmptyAndRefusesStepsItDoesNotHave) {
  Session s;
  EXPECT_EQ(s.history.SlotCount(), 10);
  ExpectCounters(s.history, -1, 0, 0, false);
  EXPECT_FALSE(s.history.CanUndo());
  EXPECT_FALSE(s.history.CanRedo());
  EXPECT_FALSE(s.Step(true));
  EXPECT_FALSE(s.Step(false));
  ExpectCounters(s.history, -1, 0, 0, false);

  s.Edit(1);
  EXPECT_TRUE(s.history.CanUndo());
  EXPECT_FALSE(s.history.CanRedo());  // never right after an edit
  EXPECT_FALSE(s.Step(false));
  ExpectCounters(s.history, 0, 1, 1, true);

  s.history.Reset();
  ExpectCounters(s.history, -1, 0, 0, false);
  EXPECT_FALSE(s.history.CanUndo());
  EXPECT_FALSE(s.Step(true));
}

TEST(UndoHistory, UndoStoresTheLiveDocumentSoRedoReturnsToIt) {
  Session s;
  std::vector<std::string> before;
  std::vector<UndoView> viewBefore;
  for (int i = 1; i <= 3; ++i) {
    before.push_back(s.Bytes());
    viewBefore.push_back(s.view);
    s.Edit(i);
  }
  ExpectCounters(s.history, 2, 3, 3, true);
  const std::string live = s.Bytes();
  const UndoView liveView = s.view;

  ASSERT_TRUE(s.Step(true));
  ExpectCounters(s.history, 1, 4, 3, false);
  EXPECT_EQ(s.Bytes(), before[2]);
  EXPECT_EQ(s.view, viewBefore[2]);
  EXPECT_TRUE(s.history.CanRedo());

  ASSERT_TRUE(s.Step(false));
  ExpectCounters(s.history, 2, 4, 4, false);
  EXPECT_EQ(s.Bytes(), live);
  EXPECT_EQ(s.view, liveView);
  EXPECT_FALSE(s.history.CanRedo());

  // A new edit after an Undo overwrites the slot above Current and drops the redo states.
  ASSERT_TRUE(s.Step(true));
  s.Edit(4);
  ExpectCounters(s.history, 2, 3, 3, true);
  EXPECT_FALSE(s.history.CanRedo());
}

TEST(UndoHistory, TenEditsGiveNineUndoSteps) {
  Session s;
  std::vector<std::string> after;
  for (int i = 1; i <= 10; ++i) {
    s.Edit(i);
    after.push_back(s.Bytes());
  }
  int steps = 0;
  while (s.history.CanUndo()) {
    ASSERT_TRUE(s.Step(true));
    ++steps;
  }
  EXPECT_EQ(steps, 9);
  EXPECT_EQ(s.Bytes(), after[0]);  // the state before the first edit was dropped
  ExpectCounters(s.history, -1, 10, 1, false);
  // Nine redos lead back to the last edit.
  for (int i = 0; i < 9; ++i) ASSERT_TRUE(s.Step(false));
  EXPECT_EQ(s.Bytes(), after[9]);
  EXPECT_FALSE(s.history.CanRedo());
}

TEST(UndoHistory, UndoUndoRedoRedoReturnsToTheSameDocumentAndView) {
  Session s;
  for (int i = 1; i <= 4; ++i) s.Edit(i);
  s.doc->Kit[RowRide] = 0;  // kit in the live document only
  s.doc->FileName = "/songs/a.gvlm";
  s.doc->HasFile = true;
  s.doc->Modified = true;
  s.view = UndoView{2, 5, 4, 33, 1};
  const std::string live = s.Bytes();
  const UndoView liveView = s.view;

  ASSERT_TRUE(s.Step(true));
  EXPECT_EQ(s.doc->Kit[RowRide], 1);  // the snapshot's kit
  s.doc->Modified = false;            // saved between the steps
  s.history.MarkSaved();
  ASSERT_TRUE(s.Step(true));
  // The view taken when edit 3 began, that is the one edit 2 left.
  EXPECT_EQ(s.view, (UndoView{2, 5, 2, 2, 0}));
  EXPECT_EQ(s.doc->CurrentBar, 2);
  EXPECT_EQ(s.doc->FirstVisibleBar, 2);
  EXPECT_EQ(s.doc->LastVisibleBar, 5);
  ASSERT_TRUE(s.Step(false));
  ASSERT_TRUE(s.Step(false));

  EXPECT_EQ(s.Bytes(), live);
  EXPECT_EQ(s.view, liveView);
  EXPECT_EQ(s.doc->CurrentBar, 4);
  EXPECT_EQ(s.doc->Kit[RowRide], 0);
  // The file's name is the live document's at each step, never the snapshot's.
  EXPECT_EQ(s.doc->FileName, "/songs/a.gvlm");
  EXPECT_TRUE(s.doc->HasFile);
  EXPECT_TRUE(s.doc->Modified) << "two steps away from the state saved";
}

TEST(UndoHistory, ViewOutsideTheRestoredDocumentIsClamped) {
  Session s;
  s.view = UndoView{-5, 400, 900, 3, 1};
  s.Edit(1);
  ASSERT_TRUE(s.Step(true));
  EXPECT_EQ(s.view.CurrentBar, 7);
  EXPECT_EQ(s.view.FirstVisibleBar, 0);
  EXPECT_EQ(s.view.LastVisibleBar, 7);
  EXPECT_EQ(s.doc->CurrentBar, 7);
}

// Modified after every step unless the step lands on the state last opened or saved, wherever
// that state is: the live document, a slot below or above, overwritten or dropped.
TEST(UndoHistory, ModifiedUnlessBackAtTheStateLastSaved) {
  Session s;
  auto step = [&](bool undo) {
    EXPECT_TRUE(s.Step(undo));
    return s.doc->Modified;
  };
  auto save = [&] {
    s.doc->Modified = false;
    s.history.MarkSaved();
  };
  s.Edit(1);
  s.Edit(2);
  EXPECT_TRUE(step(true));
  EXPECT_FALSE(step(true)) << "back at the opened document";
  EXPECT_TRUE(step(false));
  EXPECT_TRUE(step(false));

  s.Edit(20);
  save();  // with the edit pending: the live document is in no slot yet
  EXPECT_TRUE(step(true));
  EXPECT_FALSE(step(false));

  EXPECT_TRUE(step(true));
  save();  // after an Undo: the live document is a slot
  EXPECT_TRUE(step(false));
  EXPECT_FALSE(step(true));

  s.Edit(3);  // the saved slot is stored again before the edit, not lost
  EXPECT_FALSE(step(true));
  EXPECT_TRUE(step(false));

  EXPECT_FALSE(step(true));
  EXPECT_TRUE(step(true));
  s.Edit(4);  // a new branch overwrites the saved state above Current
  EXPECT_TRUE(step(true));
  EXPECT_TRUE(step(false));

  save();
  for (int i = 5; i < 16; ++i) s.Edit(i);  // the saved state drops out of the ten slots
  while (s.history.CanUndo()) EXPECT_TRUE(step(true));
}

TEST(UndoHistory, ASnapshotThatCannotBeShownIsRefusedBeforeAnyCounterMoves) {
  Session s;
  s.view = UndoView{6, 7, 2, 0, 0};  // first visible bar below the current one
  s.Edit(1);
  s.Edit(2);
  ASSERT_TRUE(s.Step(true));  // back to the state before edit 2, which shows fine
  const std::string live = s.Bytes();
  EXPECT_FALSE(s.Step(true)) << "the snapshot taken before edit 1";
  ExpectCounters(s.history, 0, 3, 2, false);
  EXPECT_EQ(s.Bytes(), live);
  EXPECT_TRUE(s.history.CanUndo()) << "the step is not used up";
  ASSERT_TRUE(s.Step(false));
}

// The history as users expect it, written without slots or counters: the states before the
// live one, the live one, and the states Redo goes to. At most ten stored states: ten earlier
// ones while an edit is pending, or earlier + live + later ones after an Undo or Redo.
struct ReferenceHistory {
  using State = std::pair<std::string, UndoView>;
  std::deque<State> past;
  std::deque<State> future;
  bool liveIsStored = false;

  void Edit(const State& live) {
    past.push_back(live);
    if (past.size() > 10) past.pop_front();
    future.clear();
    liveIsStored = false;
  }
  bool CanUndo() const { return !past.empty(); }
  bool CanRedo() const { return liveIsStored && !future.empty(); }
  State Undo(const State& live) {
    if (!liveIsStored && past.size() == 10) past.pop_front();  // room to store the live state
    future.push_front(live);
    State back = past.back();
    past.pop_back();
    liveIsStored = true;
    return back;
  }
  State Redo(const State& live) {
    past.push_back(live);
    State next = future.front();
    future.pop_front();
    return next;
  }
};

TEST(UndoHistory, RandomEditsUndosAndRedosMatchTheReference) {
  for (unsigned seed = 1; seed <= 20; ++seed) {
    std::mt19937 rng(seed);
    Session s;
    ReferenceHistory ref;
    for (int op = 0; op < 400; ++op) {
      const int pick = static_cast<int>(rng() % 10);
      const ReferenceHistory::State live{s.Bytes(), s.view};
      if (pick < 5) {
        ref.Edit(live);
        s.Edit(op);
      } else if (pick < 8) {
        ASSERT_EQ(s.history.CanUndo(), ref.CanUndo()) << seed << "/" << op;
        if (!ref.CanUndo()) continue;
        auto want = ref.Undo(live);
        ASSERT_TRUE(s.Step(true));
        ASSERT_EQ(s.Bytes(), want.first) << seed << "/" << op;
        ASSERT_EQ(s.view, want.second) << seed << "/" << op;
      } else {
        ASSERT_EQ(s.history.CanRedo(), ref.CanRedo()) << seed << "/" << op;
        if (!ref.CanRedo()) continue;
        auto want = ref.Redo(live);
        ASSERT_TRUE(s.Step(false));
        ASSERT_EQ(s.Bytes(), want.first) << seed << "/" << op;
        ASSERT_EQ(s.view, want.second) << seed << "/" << op;
      }
      const UR_Stack& h = s.history;
      ASSERT_TRUE(h.Current() >= -1 && h.Current() < h.SlotCount());
      ASSERT_TRUE(h.Current() < 0 || (h.Current() < h.Top() && h.Top() <= h.SlotCount()));
      ASSERT_LE(h.RedoPos(), h.Top());
    }
  }
}

// A snapshot shares every bar the edit after it leaves alone, and holds what a file would: notes a
// timing change left beyond a bar's length are not in it, though the live bar keeps them.
TEST(UndoHistory, SnapshotsShareUntouchedBarsAndLeaveOutHiddenNotes) {
  Osnova doc(4, 1000, 4);
  doc.EditBar(3).Rows[RowSnare].Set(14, 0, 0);
  doc.EditBar(3).Length = 12;  // 3/4: the note at 14 is hidden
  UR_Stack history(10);
  const UndoView view{0, 7, 0, 0, 0};
  history.Push(doc, view, "note entry");
  const BarArray before = doc.Bars;
  doc.EditBar(500).Rows[RowBass].Set(0, 0, 0);
  EXPECT_FALSE(doc.Bars.SharesBar(before, 500));
  EXPECT_TRUE(doc.Bars.SharesBar(before, 499));
  EXPECT_TRUE(doc.Bar(3).Rows[RowSnare].Has(14)) << "the live bar keeps its hidden note";

  auto restored = history.Restore(true, doc, view);
  ASSERT_TRUE(restored);
  const Osnova& back = *restored->Doc;
  EXPECT_FALSE(back.Bar(500).Rows[RowBass].Has(0));
  EXPECT_FALSE(back.Bar(3).Rows[RowSnare].Has(14));
  EXPECT_TRUE(back.Bars.SharesBar(doc.Bars, 499));
  EXPECT_LT(history.MemoryUsed(), 64u << 10) << "two snapshots of 1000 bars hold a few bars each";
  EXPECT_EQ(history.RedoName(), "note entry");
}

// Deep history: every step of 1,200 stays while memory allows; a small memory bound drops the
// oldest steps first and never holds more than it allows.
TEST(UndoHistory, DeepHistoryIsBoundedByMemoryOldestFirst) {
  for (const std::size_t limit : {kDeepUndoBytes, std::size_t{256} << 10}) {
    Osnova doc(4, 2000, 4);
    UR_Stack history(kDeepUndoSlots, limit);
    std::vector<std::string> comments;
    for (int i = 0; i < 1200; ++i) {
      history.Push(doc, UndoView{}, i % 2 ? "comment" : "note entry");
      doc.EditBar(i).Comment = std::string(100, static_cast<char>('a' + i % 26));
      ASSERT_LE(history.MemoryUsed(), limit);
    }
    int steps = 0;
    std::string lastName;
    while (history.CanUndo()) {
      lastName = history.UndoName();
      auto restored = history.Restore(true, doc, UndoView{});
      ASSERT_TRUE(restored);
      doc = *restored->Doc;
      ++steps;
    }
    if (limit == kDeepUndoBytes) {
      EXPECT_EQ(steps, 1200);
      EXPECT_EQ(lastName, "note entry");
      for (int b = 0; b < 1200; ++b) ASSERT_TRUE(doc.Bar(b).Comment.empty()) << b;
    } else {
      EXPECT_GT(steps, 20);
      EXPECT_LT(steps, 1200) << "the oldest steps went";
      // What is left undone is the newest edits; the oldest ones stay in the song.
      EXPECT_FALSE(doc.Bar(0).Comment.empty());
      EXPECT_TRUE(doc.Bar(1199).Comment.empty());
    }
  }
}
