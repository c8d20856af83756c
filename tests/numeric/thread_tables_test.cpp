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

}  // namespace
