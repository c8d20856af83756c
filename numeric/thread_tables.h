// ThreadTables: memo tables in static storage, one claimed by each thread on
// first use.
//
// A thread_local array is allocated and cleared by the C runtime for every
// thread at its start, the main thread included: for a few hundred KB that
// costs a process about a millisecond of page faults before its first
// numeral, and a thread_local with a destructor needs a runtime hook that
// wasm32 lacks. Here the tables are zero-initialised static arrays, so only
// the pages a batch touches are ever mapped. The first kTables threads to
// ask each get a table of their own for their lifetime; later threads get
// none (nullptr) and compute without a memo. Tables are never returned, so
// a program should not start threads without bound and expect memos.
#ifndef VELTRANE_NUMERIC_THREAD_TABLES_H
#define VELTRANE_NUMERIC_THREAD_TABLES_H

#include <atomic>

template <typename Entry, unsigned kEntries, int kTables>
class ThreadTables {
 public:
  // This thread's table of kEntries zero-initialised entries, or nullptr.
  static Entry* ofThisThread() {
    thread_local Entry* table = nullptr;
    thread_local bool claimed = false;
    if (!claimed) {
      claimed = true;
      const int index = claimed_.fetch_add(1, std::memory_order_relaxed);
      if (index < kTables) table = tables_[index];
    }
    return table;
  }

 private:
  static Entry tables_[kTables][kEntries];
  static std::atomic<int> claimed_;
};

template <typename Entry, unsigned kEntries, int kTables>
Entry ThreadTables<Entry, kEntries, kTables>::tables_[kTables][kEntries];
template <typename Entry, unsigned kEntries, int kTables>
std::atomic<int> ThreadTables<Entry, kEntries, kTables>::claimed_{0};

#endif
