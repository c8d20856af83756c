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
#include <cstdint>

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

// compute() for the key (base, exponent), memoised in this thread's table of
// kEntries entries (a power of two), one slot a key, the last key computed
// for a slot kept: the memo for a function of a base (1 and up) and an
// exponent. Tag tells memos of the same Value apart. A thread without a
// table computes each time.
template <typename Tag, typename Value, unsigned kEntries, int kTables, typename Compute>
Value memoisedByBaseAndExponent(int base, int exponent, Compute compute) {
  struct Entry {
    Value value;
    std::int32_t exponent;
    std::int32_t base;  // 0: empty
  };
  Entry* const table = ThreadTables<Entry, kEntries, kTables>::ofThisThread();
  if (table == nullptr) return compute();
  const unsigned slot =
      (static_cast<unsigned>(base) * 1031u + static_cast<unsigned>(exponent)) & (kEntries - 1);
  Entry& entry = table[slot];
  if (entry.base != base || entry.exponent != exponent) entry = {compute(), exponent, base};
  return entry.value;
}

#endif
