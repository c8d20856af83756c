// ThreadTables: every thread keeps one table for its lifetime, no two threads
// share one, and threads past the last table get none.
#include "numeric/thread_tables.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <vector>

namespace {

struct Entry {
  int value;
};

TEST(ThreadTables, EachThreadItsOwnTableUntilTheyRunOut) {
  // Its own instantiation, so that no other test has claimed a table of it.
  using Tables = ThreadTables<Entry, 16, 3>;
  Entry* const mine = Tables::ofThisThread();
  ASSERT_NE(mine, nullptr);
  EXPECT_EQ(Tables::ofThisThread(), mine);  // the same table on every call
  for (int i = 0; i < 16; ++i) EXPECT_EQ(mine[i].value, 0);  // zero-initialised
  mine[15].value = 7;

  // Four more threads, one after the other: two tables are left for them.
  std::vector<Entry*> claimed;
  for (int t = 0; t < 4; ++t) {
    std::thread([&claimed] {
      Entry* const table = Tables::ofThisThread();
      EXPECT_EQ(Tables::ofThisThread(), table);
      claimed.push_back(table);
    }).join();
  }
  ASSERT_EQ(claimed.size(), 4u);
  EXPECT_NE(claimed[0], nullptr);
  EXPECT_NE(claimed[1], nullptr);
  EXPECT_EQ(claimed[2], nullptr);
  EXPECT_EQ(claimed[3], nullptr);
  const std::set<Entry*> distinct = {mine, claimed[0], claimed[1]};
  EXPECT_EQ(distinct.size(), 3u);
  EXPECT_EQ(mine[15].value, 7);  // no other thread wrote into this one's table
}

TEST(ThreadTables, MemoComputesEachKeyOnceWhileItHoldsItsSlot) {
  struct Tag;
  struct OtherTag;
  int calls = 0;
  const auto memo = [&calls](int base, int exponent) {
    return memoisedByBaseAndExponent<Tag, long, 16, 2>(base, exponent, [&] {
      ++calls;
      return 1000L * base + exponent;
    });
  };
  EXPECT_EQ(memo(10, 3), 10003);
  EXPECT_EQ(memo(10, 3), 10003);
  EXPECT_EQ(calls, 1);
  // 10 * 1031 + 3 and 10 * 1031 + 19 share a slot of 16: the later key
  // takes it, and the earlier one is computed again.
  EXPECT_EQ(memo(10, 19), 10019);
  EXPECT_EQ(memo(10, 3), 10003);
  EXPECT_EQ(calls, 3);
  // Another tag keeps a memo of its own, even for the same key.
  EXPECT_EQ((memoisedByBaseAndExponent<OtherTag, long, 16, 2>(10, 3, [] { return -1L; })), -1);
  EXPECT_EQ(memo(10, 3), 10003);
  EXPECT_EQ(calls, 3);
}

}  // namespace
