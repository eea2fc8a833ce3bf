// Ordering of the event container, checked by hand-picked cases and against a plain list that
// inserts the slow, obvious way.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "midi/midi_container.h"

namespace {

// Events carry their insertion number in Extra, so a list of Extras shows the order.
std::unique_ptr<TMIDI_Event> Ev(int32_t time, int32_t id, uint8_t channel = 10) {
  return std::make_unique<TNote_On>(time, id, channel, 0x90, 36, 96);
}

std::vector<int32_t> Ids(const TMIDI_Container& c) {
  std::vector<int32_t> ids;
  for (int32_t i = 0; i < c.Count(); ++i) ids.push_back(c.Event_At(i)->Extra());
  return ids;
}

std::vector<int32_t> Times(const TMIDI_Container& c) {
  std::vector<int32_t> times;
  c.For_Each([&](const TMIDI_Event& e) { times.push_back(e.Event_Time()); });
  return times;
}

using V = std::vector<int32_t>;

}  // namespace

TEST(MidiContainer, EqualTimesKeepOrderOrPutNewestFirst) {
  TMIDI_Container c;
  c.Add_Event(Ev(5, 1));
  c.Add_Event(Ev(5, 2));
  EXPECT_EQ(Ids(c), (V{1, 2}));
  c.Add_Event_First(Ev(5, 3));
  c.Add_Event_First(Ev(5, 4));
  EXPECT_EQ(Ids(c), (V{4, 3, 1, 2}));
  c.Add_Event(Ev(5, 5));
  EXPECT_EQ(Ids(c), (V{4, 3, 1, 2, 5}));
}

TEST(MidiContainer, InsertsKeepTimeOrder) {
  TMIDI_Container c;
  c.Add_Event(Ev(0, 1));
  c.Add_Event(Ev(10, 2));
  c.Add_Event(Ev(5, 3));
  EXPECT_EQ(Times(c), (V{0, 5, 10}));
  EXPECT_EQ(c.Last_Index(), 1);
  EXPECT_EQ(c.Last_Time(), 5);

  TMIDI_Container d;
  for (int32_t t : {0, 96, 192, 48}) d.Add_Event(Ev(t, t));
  EXPECT_EQ(Times(d), (V{0, 48, 96, 192}));
  d.Add_Event_First(Ev(96, 7));
  d.Add_Event(Ev(96, 8));
  EXPECT_EQ(Ids(d), (V{0, 48, 7, 96, 8, 192}));
  EXPECT_EQ(d.Last_Index(), 4);
}

TEST(MidiContainer, EventAtOutsideTheListIsNone) {
  TMIDI_Container c;
  EXPECT_EQ(c.Event_At(0), nullptr);
  c.Add_Event(Ev(1, 1));
  EXPECT_NE(c.Event_At(0), nullptr);
  EXPECT_EQ(c.Event_At(1), nullptr);
  EXPECT_EQ(c.Event_At(-1), nullptr);
  c.Add_Event(nullptr);
  EXPECT_EQ(c.Count(), 1);
}

TEST(MidiContainer, ChannelFlagsAndClear) {
  TMIDI_Container c;
  c.Set_Time_Signature(3, 8);
  c.Set_Beats_Per_Minute(77);
  c.Add_Event(Ev(0, 1, 10));
  c.Add_Event_First(Ev(0, 2, 1));
  c.Add_Event(Ev(0, 3, 16));
  c.Add_Event(Ev(0, 4, 0));   // not a MIDI channel: listed, but no track
  c.Add_Event(Ev(0, 5, 17));
  EXPECT_EQ(c.Channels_Used(), 3);
  EXPECT_TRUE(c.Channel_Used(1));
  EXPECT_TRUE(c.Channel_Used(10));
  EXPECT_TRUE(c.Channel_Used(16));
  EXPECT_FALSE(c.Channel_Used(2));
  EXPECT_FALSE(c.Channel_Used(0));
  EXPECT_FALSE(c.Channel_Used(17));
  EXPECT_EQ(c.Count(), 5);

  for (int i = 0; i < 1000; ++i) c.Add_Event(Ev(i, i));
  c.Clear_Events();
  EXPECT_EQ(c.Count(), 0);
  EXPECT_EQ(c.Event_At(0), nullptr);
  EXPECT_EQ(c.Channels_Used(), 0);
  EXPECT_EQ(c.Last_Index(), 0);
  EXPECT_EQ(c.Last_Time(), 0);
  EXPECT_EQ(c.Time_Sig_Denominator(), 8);
  EXPECT_EQ(c.Beats_Per_Minute(), 77);
  c.Add_Event(Ev(3, 9));
  EXPECT_EQ(Ids(c), (V{9}));
}

// The export's own pattern at a size that builds a tree of several levels: per bar, three
// time-0 events go before all others while notes go near the end.
TEST(MidiContainer, FrontAndBackStreamsAtScale) {
  TMIDI_Container c;
  int32_t id = 0;
  const int bars = 3000;
  for (int bar = 0; bar < bars; ++bar) {
    for (int row = 0; row < 2; ++row) {
      c.Add_Event_First(Ev(0, -(++id)));
      for (int p = 0; p < 16; p += 4) {
        int32_t t = bar * 32 + 2 * (p + 1);
        c.Add_Event(Ev(t, ++id));
        c.Add_Event(Ev(t + 20, ++id));
      }
    }
  }
  ASSERT_EQ(c.Count(), bars * 2 * 9);
  // Time-0 events newest first (ids count down).
  for (int32_t i = 0; i < bars * 2; ++i) {
    ASSERT_EQ(c.Event_At(i)->Event_Time(), 0);
    ASSERT_LT(c.Event_At(i)->Extra(), 0);
    if (i > 0) {
      ASSERT_GT(c.Event_At(i)->Extra(), c.Event_At(i - 1)->Extra());
    }
  }
  std::vector<int32_t> times = Times(c);
  EXPECT_TRUE(std::is_sorted(times.begin(), times.end()));
  // Backward and jumping reads agree with the in-order walk.
  std::vector<const TMIDI_Event*> walk;
  c.For_Each([&](const TMIDI_Event& e) { walk.push_back(&e); });
  for (int32_t i = c.Count() - 1; i >= 0; i -= 7)
    ASSERT_EQ(c.Event_At(i), walk[static_cast<size_t>(i)]);
  for (int32_t i = 0; i < c.Count(); i += 97)
    ASSERT_EQ(c.Event_At(i), walk[static_cast<size_t>(i)]);
}

TEST(MidiContainer, MatchesNaiveInsertionOnRandomStreams) {
  for (unsigned seed = 1; seed <= 6; ++seed) {
    std::mt19937 rng(seed);
    // Narrow time ranges give long runs of equal times; wide ones give few.
    int32_t range = seed % 2 ? 8 : 100000;
    TMIDI_Container c;
    std::vector<std::pair<int32_t, int32_t>> naive;  // (time, id)
    for (int32_t id = 0; id < 8000; ++id) {
      int32_t time = static_cast<int32_t>(rng() % static_cast<unsigned>(range));
      bool first = rng() % 3 == 0;
      auto at = naive.begin();
      if (first) {
        while (at != naive.end() && at->first < time) ++at;
      } else {
        while (at != naive.end() && at->first <= time) ++at;
      }
      int32_t index = static_cast<int32_t>(at - naive.begin());
      naive.insert(at, {time, id});
      // Events handed over and events built in the container's storage mix freely.
      bool adopt = id % 2 == 0;
      if (first && adopt)
        c.Add_Event_First(Ev(time, id));
      else if (first)
        c.Add_New_Event_First<TNote_Off>(time, id, 10, 0x90, 36, 0);
      else if (adopt)
        c.Add_Event(Ev(time, id));
      else
        c.Add_New_Event<TMeta_Text_Event>(time, 10, 3, std::to_string(id) + std::string(40, '.'));
      ASSERT_EQ(c.Last_Index(), index) << "seed " << seed << " id " << id;
      // Probe random access between insertions too.
      if (id % 1000 == 0) {
        auto probe = static_cast<int32_t>(rng() % naive.size());
        ASSERT_EQ(c.Event_At(probe)->Event_Time(), naive[static_cast<size_t>(probe)].first);
      }
    }
    ASSERT_EQ(c.Count(), static_cast<int32_t>(naive.size()));
    for (int32_t i = 0; i < c.Count(); ++i) {
      const TMIDI_Event* e = c.Event_At(i);
      int32_t id = naive[static_cast<size_t>(i)].second;
      ASSERT_EQ(e->Event_Time(), naive[static_cast<size_t>(i)].first);
      if (e->Status_Byte() == 0xFF)
        ASSERT_EQ(e->Event_Text(), std::to_string(id) + std::string(40, '.'));
      else
        ASSERT_EQ(e->Extra(), id);
    }
  }
}
