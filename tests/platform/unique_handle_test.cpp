// The holder family's verbs, over a handle kind that records what it closes:
// each handle is closed once, by whichever holder owns it last.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "platform/unique_handle.h"

// The tests use the module's names as its own code does.
using namespace korvat;

namespace {

std::vector<int> g_closed;

struct RecordedTraits {
  using Handle = int;
  static constexpr int Invalid() { return 0; }
  static bool IsValid(int handle) { return handle != 0; }
  static void Close(int handle) { g_closed.push_back(handle); }
};
using Recorded = UniqueHandle<RecordedTraits>;

TEST(UniqueHandleTest, EachHandleIsClosedOnceByItsLastOwner) {
  const struct {
    const char* what;
    void (*act)(Recorded& first, Recorded& second);
    bool first_holds;         // after the act
    std::vector<int> closed;  // in order; `second` (2) ends before `first` (1)
  } kCases[] = {
      {"nothing", [](Recorded&, Recorded&) {}, true, {2, 1}},
      {"move out",
       [](Recorded& first, Recorded&) { Recorded taken(std::move(first)); },
       false,
       {1, 2}},
      {"move over",
       [](Recorded& first, Recorded& second) { second = std::move(first); },
       false,
       {2, 1}},
      {"reset", [](Recorded& first, Recorded&) { first.Reset(3); }, true, {1, 2, 3}},
      {"put", [](Recorded& first, Recorded&) { *first.Put() = 4; }, true, {1, 2, 4}},
      {"release", [](Recorded& first, Recorded&) { EXPECT_EQ(first.Release(), 1); }, false, {2}},
  };
  for (const auto& test : kCases) {
    g_closed.clear();
    {
      Recorded first(1), second(2);
      test.act(first, second);
      EXPECT_EQ(static_cast<bool>(first), test.first_holds) << test.what;
    }
    EXPECT_EQ(g_closed, test.closed) << test.what;
  }
}

}  // namespace
