#include "cli/jobs.h"

#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "veltrane.h"

namespace {

// Input is read this much at a time.
constexpr std::size_t kReadSize = 64 * 1024;
// A chunk of whole lines closes at about this many bytes: enough that
// handing it over (a wake-up of a thread) costs little beside converting
// it. A report (--json, --explain) takes far longer than a text and writes
// up to kilobytes, so its chunks are smaller.
constexpr std::size_t kTextChunkBytes = 16 * 1024;
constexpr std::size_t kReportChunkBytes = 512;
// Chunks given out per thread, and at most in all, at a time: memory stays
// bounded whatever the input and the number of threads.
constexpr std::size_t kChunksPerThread = 4;
constexpr std::size_t kMaxChunksOut = 32;
// The bytes of a line that are kept, as LineReader keeps them: one more
// than the longest numeral, so that a longer line is rejected by its length.
constexpr std::size_t kKept = VELTRANE_MAX_NUMERAL_LENGTH + 1;
// A partial line this long (more than kKept and a CR) is no numeral: from
// here on its bytes are counted, not kept.
constexpr std::size_t kLongLineBytes = 16 * 1024;
static_assert(kLongLineBytes > kKept + 1, "a line kept whole must fit");

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";
constexpr std::size_t kMarkLength = 3;

// A growing block of bytes whose room is not cleared before it is written:
// input is read and texts are converted straight into it.
class Bytes {
 public:
  // At least room writable bytes at data() + size(), valid until the next
  // call that grows the block.
  char* reserve(std::size_t room) {
    if (capacity_ - size_ < room) grow(size_ + room);
    return data_.get() + size_;
  }
  void commit(std::size_t count) { size_ += count; }
  void append(const char* text, std::size_t count) {
    std::memcpy(reserve(count), text, count);
    size_ += count;
  }
  // Drops the first count bytes.
  void dropFront(std::size_t count) {
    std::memmove(data_.get(), data_.get() + count, size_ - count);
    size_ -= count;
  }
  char* data() { return data_.get(); }
  const char* data() const { return data_.get(); }
  std::size_t size() const { return size_; }
  void clear() { size_ = 0; }

 private:
  void grow(std::size_t needed) {
    std::size_t capacity = capacity_ == 0 ? 4096 : capacity_;
    while (capacity < needed) capacity *= 2;
    std::unique_ptr<char[]> data(new char[capacity]);
    if (size_ != 0) std::memcpy(data.get(), data_.get(), size_);
    data_ = std::move(data);
    capacity_ = capacity;
  }

  std::unique_ptr<char[]> data_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

// A chunk of consecutive lines and, once converted, their output.
struct Batch {
  // Whole lines, each ending in LF, but for a last line at the end of the
  // input; or, when longLength is not 0, the first kKept bytes of one line
  // of longLength bytes.
  Bytes bytes;
  std::size_t longLength = 0;

  Bytes out;       // what goes to standard output
  Bytes messages;  // the messages' texts, each ending in LF
  // For each message: its line's index in the batch, and where its text
  // ends in messages.
  std::vector<std::pair<unsigned long, std::size_t>> messageEnds;
  unsigned long lines = 0;
  bool allConverted = true;
  bool done = false;  // under the mutex of the run once given out

  // Empty, for other lines; the room stays.
  void reset() {
    bytes.clear();
    longLength = 0;
    out.clear();
    messages.clear();
    messageEnds.clear();
    lines = 0;
    allConverted = true;
    done = false;
  }
};

unsigned flagsOf(const CliOptions& options) {
  return (options.scientific != 0 ? VELTRANE_SCIENTIFIC : 0u) |
         (options.roundTrip ? VELTRANE_ROUND_TRIP : 0u);
}

bool givesText(int outcome) {
  return outcome == VELTRANE_CONVERTED || outcome == VELTRANE_OVERFLOW;
}

// Line index of the batch: its output as one thread writes it, appended to
// the batch's; false when it was rejected. report holds
// VELTRANE_REPORT_SIZE + 1 bytes.
bool convertLine(Batch* batch, char* report, unsigned long index, const char* line,
                 std::size_t length, const CliOptions& options) {
  const unsigned flags = flagsOf(options);
  const auto message = [&] {
    veltrane_message(line, length, options.inputBase, options.outputBase, flags, report,
                     VELTRANE_REPORT_SIZE + 1);
    const std::size_t size = std::strlen(report);
    if (size == 0) return;
    batch->messages.append(report, size);
    batch->messages.append("\n", 1);
    batch->messageEnds.emplace_back(index, batch->messages.size());
  };
  // Converts into the output with room bytes to spare, and the line end
  // but for --explain, whose block ends in its own. convert returns the
  // outcome, and the length of what it wrote in *written.
  const auto convertAt = [&](std::size_t room, auto convert) {
    char* at = batch->out.reserve(room + 1);
    std::size_t written = 0;
    const int outcome = convert(at, room, &written);
    if (options.report != kReportExplain) at[written++] = '\n';
    batch->out.commit(written);
    return outcome;
  };
  int outcome;
  if (options.report == kReportText && options.roundTrip) {
    veltrane_details details;
    outcome = convertAt(
        VELTRANE_ROUND_TRIP_TEXT_SIZE, [&](char* at, std::size_t room, std::size_t* written) {
          const int converted = veltrane_convert_details(
              line, length, options.inputBase, options.outputBase, flags, at, room, &details);
          *written = std::strlen(at);
          return converted;
        });
    // A value shown in its plain text has a message too.
    const bool converted = givesText(outcome);
    if (!converted || (details.has_value && !details.round_trip)) message();
    return converted;
  }
  if (options.report == kReportText) {
    outcome = convertAt(VELTRANE_TEXT_SIZE, [&](char* at, std::size_t room, std::size_t* written) {
      return veltrane_convert_measured(line, length, options.inputBase, options.outputBase, flags,
                                       at, room, written);
    });
  } else {
    const auto writeReport =
        options.report == kReportExplain ? veltrane_explain_measured : veltrane_json_measured;
    outcome =
        convertAt(VELTRANE_REPORT_SIZE, [&](char* at, std::size_t room, std::size_t* written) {
          return writeReport(line, length, options.inputBase, options.outputBase, flags, at, room,
                             written);
        });
  }
  if (givesText(outcome)) return true;
  message();
  return false;
}

// Splits the batch into lines as LineReader does (a CR before the LF or
// the end is part of the line end) and converts them.
void convertBatch(Batch* batch, char* report, const CliOptions& options) {
  if (batch->longLength != 0) {
    batch->allConverted =
        convertLine(batch, report, 0, batch->bytes.data(), batch->longLength, options);
    batch->lines = 1;
    return;
  }
  const char* at = batch->bytes.data();
  const char* const end = at + batch->bytes.size();
  unsigned long index = 0;
  while (at < end) {
    const char* lf = static_cast<const char*>(std::memchr(at, '\n', end - at));
    const char* lineEnd = lf != nullptr ? lf : end;
    std::size_t length = static_cast<std::size_t>(lineEnd - at);
    if (length > 0 && lineEnd[-1] == '\r') --length;
    if (!convertLine(batch, report, index, at, length, options)) batch->allConverted = false;
    ++index;
    at = lf != nullptr ? lf + 1 : end;
  }
  batch->lines = index;
}

// Where the last line end of the block ends: one past its last LF, or 0.
std::size_t endOfLastLine(const char* data, std::size_t size) {
  while (size > 0 && data[size - 1] != '\n') --size;
  return size;
}

// One run: the threads, the chunks given out, and the input not yet given.
class Run {
 public:
  Run(const CliOptions& options, int threads)
      : options_(options),
        chunkBytes_(options.report == kReportText ? kTextChunkBytes : kReportChunkBytes),
        workerCount_(static_cast<std::size_t>(threads) - 1),
        report_(new char[VELTRANE_REPORT_SIZE + 1]) {
    const std::size_t out = kChunksPerThread * static_cast<std::size_t>(threads);
    maxOut_ = out < kMaxChunksOut ? out : kMaxChunksOut;
    try {
      for (std::size_t i = 0; i < workerCount_; ++i) workers_.emplace_back([this] { work(); });
    } catch (...) {
      stop();
      throw;
    }
  }
  ~Run() { stop(); }

  ParallelOutcome convertAll(long (*read)(void*, char*, std::size_t), bool (*inputWouldWait)()) {
    for (;;) {
      // Output that can no longer be written ends the run early.
      if (std::ferror(stdout)) break;
      if (inputWouldWait()) {
        giveOutLines(false);
        finishAll();
        std::fflush(stdout);
        std::fflush(stderr);
      }
      char* at = input_.reserve(kReadSize);
      const long count = read(nullptr, at, kReadSize);
      if (count < 0) {
        // The complete lines before the error are converted; the partial
        // one is lost.
        outcome_.readError = true;
        outcome_.error = errno;
        if (!inLongLine_) giveOutLines(false);
        break;
      }
      if (count == 0) {
        if (inLongLine_)
          endLongLine();
        else
          giveOutLines(true);
        break;
      }
      take(at, static_cast<std::size_t>(count));
    }
    finishAll();
    return outcome_;
  }

 private:
  // Takes count bytes just read at data() + size() of input_.
  void take(char* at, std::size_t count) {
    if (inLongLine_) {
      const char* lf = static_cast<const char*>(std::memchr(at, '\n', count));
      const std::size_t piece = lf != nullptr ? static_cast<std::size_t>(lf - at) : count;
      longTotal_ += piece;
      if (piece > 0) longLast_ = at[piece - 1];
      if (lf == nullptr) return;
      endLongLine();
      // The bytes after the LF start the input kept.
      const std::size_t rest = count - piece - 1;
      std::memmove(input_.data(), lf + 1, rest);
      input_.commit(rest);
    } else {
      input_.commit(count);
    }
    if (input_.size() >= chunkBytes_) giveOutLines(false);
    if (input_.size() >= kLongLineBytes) beginLongLine();
  }

  // Gives out the whole lines at the front of the input kept, in chunks of
  // about chunkBytes_; at the end of input (atEnd), the unfinished last
  // line too.
  void giveOutLines(bool atEnd) {
    if (endOfLastLine(input_.data(), input_.size()) == 0 && !(atEnd && input_.size() > 0)) return;
    dropByteOrderMark();
    const char* data = input_.data();
    const std::size_t end = atEnd ? input_.size() : endOfLastLine(data, input_.size());
    for (std::size_t start = 0; start < end;) {
      std::size_t cut = end;
      if (end - start > chunkBytes_) {
        const std::size_t from = start + chunkBytes_ - 1;
        const void* lf = std::memchr(data + from, '\n', end - from);
        if (lf != nullptr) cut = static_cast<std::size_t>(static_cast<const char*>(lf) - data) + 1;
      }
      std::unique_ptr<Batch> batch = freshBatch();
      batch->bytes.append(data + start, cut - start);
      giveOut(std::move(batch));
      start = cut;
    }
    input_.dropFront(end);
  }

  // The input kept is the start of a line too long to be a numeral: its
  // first bytes are kept in a batch of its own, the rest only counted.
  void beginLongLine() {
    dropByteOrderMark();
    longBatch_ = freshBatch();
    longBatch_->bytes.append(input_.data(), kKept);
    longTotal_ = input_.size();
    longLast_ = input_.data()[input_.size() - 1];
    input_.clear();
    inLongLine_ = true;
  }
  void endLongLine() {
    longBatch_->longLength = longTotal_ - (longLast_ == '\r' ? 1 : 0);
    giveOut(std::move(longBatch_));
    inLongLine_ = false;
  }

  // A byte order mark at the very start of the input is no part of a line.
  // Looked at once, when the first line is given out: by then it is whole,
  // or long enough.
  void dropByteOrderMark() {
    if (!atStart_) return;
    atStart_ = false;
    if (input_.size() >= kMarkLength &&
        std::memcmp(input_.data(), kByteOrderMark, kMarkLength) == 0)
      input_.dropFront(kMarkLength);
  }

  std::unique_ptr<Batch> freshBatch() {
    if (spare_.empty()) return std::unique_ptr<Batch>(new Batch);
    std::unique_ptr<Batch> batch = std::move(spare_.back());
    spare_.pop_back();
    batch->reset();
    return batch;
  }

  void giveOut(std::unique_ptr<Batch> batch) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      queue_.push_back(batch.get());
    }
    wake_.notify_one();
    givenOut_.push_back(std::move(batch));
    helpWithSurplus();
    writeFinished(givenOut_.size() > maxOut_);
  }

  // A worker: converts the batches at the front of the queue, the earliest
  // given out, as those are written first.
  void work() {
    // Not every system starts a thread in its creator's x87 mode.
    veltrane_adopt_x87_mode();
    std::unique_ptr<char[]> report(new char[VELTRANE_REPORT_SIZE + 1]);
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
      if (queue_.empty()) return;
      Batch* batch = queue_.front();
      queue_.pop_front();
      convertUnlocked(batch, report.get(), &lock);
    }
  }

  // Converts a batch taken from the queue, with the lock released
  // meanwhile, and marks it done.
  void convertUnlocked(Batch* batch, char* report, std::unique_lock<std::mutex>* lock) {
    lock->unlock();
    convertBatch(batch, report, options_);
    lock->lock();
    batch->done = true;
    finished_.notify_all();
  }

  // The reading thread's share of the work: while more batches wait than
  // the workers would take next, it converts the latest given out (the
  // workers keep the earlier ones, which are written first).
  void helpWithSurplus() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (queue_.size() > workerCount_) {
      Batch* batch = queue_.back();
      queue_.pop_back();
      convertUnlocked(batch, report_.get(), &lock);
    }
  }

  // Returns once batch is done: converts it here if no worker has begun
  // it, and other waiting batches while a worker finishes it.
  void awaitDone(Batch* batch) {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!batch->done) {
      if (queue_.empty()) {
        finished_.wait(lock);
        continue;
      }
      std::deque<Batch*>::iterator next = queue_.begin();
      while (next != queue_.end() && *next != batch) ++next;
      if (next == queue_.end()) --next;
      Batch* taken = *next;
      queue_.erase(next);
      convertUnlocked(taken, report_.get(), &lock);
    }
  }

  bool isDone(Batch* batch) {
    std::lock_guard<std::mutex> lock(mutex_);
    return batch->done;
  }

  // Writes the batches at the front that are done; with wait, at least the
  // first one, waiting for it.
  void writeFinished(bool wait) {
    while (!givenOut_.empty()) {
      Batch* batch = givenOut_.front().get();
      if (wait) {
        awaitDone(batch);
        wait = false;
      } else if (!isDone(batch)) {
        return;
      }
      write(*batch);
      spare_.push_back(std::move(givenOut_.front()));
      givenOut_.pop_front();
    }
  }

  void write(const Batch& batch) {
    std::fwrite(batch.out.data(), 1, batch.out.size(), stdout);
    std::size_t start = 0;
    for (const std::pair<unsigned long, std::size_t>& message : batch.messageEnds) {
      std::fprintf(stderr, "veltrane-cli: line %lu: ", outcome_.lines + message.first + 1);
      std::fwrite(batch.messages.data() + start, 1, message.second - start, stderr);
      start = message.second;
    }
    outcome_.lines += batch.lines;
    if (!batch.allConverted) outcome_.allConverted = false;
  }

  void finishAll() {
    while (!givenOut_.empty()) writeFinished(true);
  }

  void stop() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& thread : workers_) thread.join();
    workers_.clear();
  }

  const CliOptions& options_;
  const std::size_t chunkBytes_;
  const std::size_t workerCount_;
  std::size_t maxOut_ = 0;
  // The reading thread's buffer for reports and messages.
  std::unique_ptr<char[]> report_;

  // The queue of batches given out that no thread has begun, and what the
  // threads wait on, under mutex_.
  std::mutex mutex_;
  std::condition_variable wake_;      // a batch is queued, or the workers stop
  std::condition_variable finished_;  // a batch is done
  std::deque<Batch*> queue_;
  bool stopping_ = false;
  std::vector<std::thread> workers_;

  // The reading thread's own: the input read and not given out yet, the
  // long line being skipped, the batches given out in input order, and
  // written ones kept for their room.
  Bytes input_;
  bool atStart_ = true;
  bool inLongLine_ = false;
  std::unique_ptr<Batch> longBatch_;
  std::size_t longTotal_ = 0;
  char longLast_ = '\0';
  std::deque<std::unique_ptr<Batch>> givenOut_;
  std::vector<std::unique_ptr<Batch>> spare_;
  ParallelOutcome outcome_;
};

}  // namespace

ParallelOutcome convertInParallel(const CliOptions& options, int threads,
                                  long (*read)(void* context, char* buffer, std::size_t size),
                                  bool (*inputWouldWait)()) {
  Run run(options, threads);
  return run.convertAll(read, inputWouldWait);
}
