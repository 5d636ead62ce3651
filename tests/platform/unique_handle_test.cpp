// The holder family's verbs, over a handle kind that records what it closes:
// each handle is closed once, by whichever holder owns it last; and the
// registry key holder against the real registry.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "harness/test_support.h"
#include "platform/reg_key_handle.h"
#include "platform/unique_handle.h"

using namespace korvat_test;

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

// Open, attach, delete a tree, close: the held key survives a failed open,
// and a borrowed key stays open.
TEST(RegKeyHandleTest, KeepsWhatItHoldsAndDeletesWholeTrees) {
  const std::string kParent = "Software\\KorvatTests\\Parent";
  DeleteKeyTree(HKEY_CURRENT_USER, "Software\\KorvatTests");
  for (const char* leaf : {"\\Tree\\A\\B\\C", "\\Tree\\A\\B2", "\\Tree\\D"}) {
    SetStringValue(HKEY_CURRENT_USER, kParent + leaf, "v", "1");
  }
  RegKeyHandle key;
  ASSERT_EQ(key.Open(HKEY_CURRENT_USER, kParent.c_str(), KEY_ALL_ACCESS), ERROR_SUCCESS);
  HKEY held = key.Get();
  EXPECT_EQ(key.Open(HKEY_CURRENT_USER, "Software\\KorvatTests\\Missing", KEY_READ),
            ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(key.Get(), held);
  {
    RegKeyHandle borrowed;
    borrowed.Reset(held);
    EXPECT_EQ(borrowed.DeleteSubTree("Tree"), ERROR_SUCCESS);
    EXPECT_EQ(borrowed.DeleteSubTree("Tree"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(borrowed.Release(), held);
  }
  EXPECT_EQ(key.SetString("still usable", "after"), ERROR_SUCCESS);
  EXPECT_EQ(DumpTree(HKEY_CURRENT_USER, kParent),
            (std::vector<std::string>{kParent, kParent + "|after=REG_SZ:still usable"}));
  EXPECT_EQ(key.Close(), ERROR_SUCCESS);
  EXPECT_EQ(key.Get(), nullptr);
  EXPECT_EQ(key.Close(), ERROR_SUCCESS);  // an empty holder
  DeleteKeyTree(HKEY_CURRENT_USER, "Software\\KorvatTests");
}

}  // namespace
