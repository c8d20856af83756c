// The compiled half of the veltrane Python package: conversions through
// libveltrane's C interface (veltrane.h), one numeral at a time or in
// batches. veltrane/__init__.py holds the public functions and their help;
// the functions here take already checked arguments (flags as the C
// interface's bits, errors as a bool) and do the work.
//
// A batch runs in three steps:
//   1. holding the GIL, the numerals' UTF-8 bytes are copied into one flat
//      buffer (str objects) or left where they are (a NumPy 'U' array, read
//      in step 2, as no Python object is involved);
//   2. without the GIL, the numerals are converted, split into contiguous
//      chunks over std::thread workers, each writing its texts into a buffer
//      of its own; which thread converts a numeral never changes its text;
//   3. holding the GIL again, the results are made in input order: str
//      objects for a list or an object array, or code points written
//      straight into a new 'U' array (that again without the GIL).
// A numeral that gives no value is found after step 2, in input order, so
// errors="raise" always reports the first one whatever the thread count.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <exception>
#include <functional>
#include <mutex>
#include <new>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "veltrane.h"

namespace py = pybind11;

namespace {

// A batch below this many numerals per thread is not worth a thread's start
// (tens of microseconds, and the new thread's memo of powers starts cold).
constexpr std::size_t kMinItemsPerThread = 8192;
// The most threads a batch uses, whatever it asks for (as veltrane-cli's
// --jobs): each costs a stack and a start, and no machine gains from more.
constexpr std::size_t kMaxThreads = 256;

// veltrane.NumeralError, handed over by __init__.py at import. Kept for the
// life of the process on purpose: it is released neither at exit nor before.
PyObject* numeral_error_class = nullptr;

bool givesText(int outcome) {
  return outcome == VELTRANE_CONVERTED || outcome == VELTRANE_OVERFLOW;
}

void checkBase(int base, const char* name) {
  if (base < 2 || base > 36)
    throw py::value_error(std::string(name) + " must be a base from 2 to 36, not " +
                          std::to_string(base));
}

std::string typeName(PyObject* object) { return Py_TYPE(object)->tp_name; }

// The UTF-8 bytes of a str. A str that holds lone surrogates has no UTF-8
// form; it is encoded with "surrogatepass", whose bytes are no digits, so
// that such a numeral is rejected like any other bad character rather than
// raising UnicodeEncodeError. *keep holds the bytes object in that case.
std::string_view utf8Of(PyObject* text, py::object* keep) {
  Py_ssize_t size = 0;
  const char* data = PyUnicode_AsUTF8AndSize(text, &size);
  if (data != nullptr) return {data, static_cast<std::size_t>(size)};
  PyErr_Clear();
  *keep =
      py::reinterpret_steal<py::object>(PyUnicode_AsEncodedString(text, "utf-8", "surrogatepass"));
  if (!*keep) throw py::error_already_set();
  return {PyBytes_AS_STRING(keep->ptr()), static_cast<std::size_t>(PyBytes_GET_SIZE(keep->ptr()))};
}

std::string_view numeralOf(const py::handle& numeral, py::object* keep) {
  if (!PyUnicode_Check(numeral.ptr()))
    throw py::type_error("a numeral must be a str, not " + typeName(numeral.ptr()));
  return utf8Of(numeral.ptr(), keep);
}

// Appends the UTF-8 form of count UCS-4 code points (a NumPy 'U' item less
// its trailing NULs) to out. Surrogates are written as "surrogatepass" would.
void appendUtf8(const std::uint32_t* points, std::size_t count, std::string* out) {
  for (std::size_t i = 0; i < count; ++i) {
    std::uint32_t c = points[i];
    // A 'U' array can hold any 32-bit value (a view of other data): those
    // that are no code point stand as U+FFFD.
    if (c > 0x10FFFF) c = 0xFFFD;
    if (c < 0x80) {
      out->push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out->push_back(static_cast<char>(0xC0 | (c >> 6)));
      out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out->push_back(static_cast<char>(0xE0 | (c >> 12)));
      out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out->push_back(static_cast<char>(0xF0 | (c >> 18)));
      out->push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
}

// The length of a 'U' item: NumPy pads with NULs, which a str never ends in.
std::size_t ucs4Length(const std::uint32_t* points, std::size_t width) {
  while (width > 0 && points[width - 1] == 0) --width;
  return width;
}

// An ASCII text as a new str, without a decoding pass.
PyObject* asciiString(const char* text, std::size_t length) {
  PyObject* object = PyUnicode_New(static_cast<Py_ssize_t>(length), 127);
  if (object == nullptr) throw py::error_already_set();
  std::memcpy(PyUnicode_DATA(object), text, length);
  return object;
}

py::str asciiStr(const std::string& text) {
  return py::reinterpret_steal<py::str>(asciiString(text.data(), text.size()));
}

struct Conversion {
  int from_base;
  int to_base;
  unsigned flags;

  std::size_t textSize() const {
    return (flags & VELTRANE_ROUND_TRIP) != 0 ? VELTRANE_ROUND_TRIP_TEXT_SIZE : VELTRANE_TEXT_SIZE;
  }
};

// Raises veltrane.NumeralError for a numeral that gave no value: its rule
// and column from veltrane_convert_details, its message from
// veltrane_message (what veltrane-cli says), index its place in a batch or
// None.
[[noreturn]] void raiseNumeralError(const py::object& numeral, std::string_view bytes,
                                    const Conversion& c, const py::object& index) {
  std::string text(c.textSize(), '\0');
  veltrane_details details{};
  veltrane_convert_details(bytes.data(), bytes.size(), c.from_base, c.to_base, c.flags, &text[0],
                           text.size(), &details);
  std::string message(1024, '\0');
  while (veltrane_message(bytes.data(), bytes.size(), c.from_base, c.to_base, c.flags, &message[0],
                          message.size()) == VELTRANE_BUFFER_TOO_SMALL)
    message.assign(message.size() * 2, '\0');
  message.resize(std::strlen(message.c_str()));
  // The rule broken, or for the outcomes that break no rule of the grammar
  // (empty, too_long, nul_byte, no_value) the outcome's own name.
  const char* rule = details.outcome == VELTRANE_REJECTED ? veltrane_rule_name(details.rule)
                                                          : veltrane_outcome_name(details.outcome);
  py::object cls = py::reinterpret_borrow<py::object>(numeral_error_class);
  py::object error = cls(py::str(message), numeral, py::str(rule), py::int_(details.column),
                         py::int_(details.base), index);
  PyErr_SetObject(numeral_error_class, error.ptr());
  throw py::error_already_set();
}

// ---------------------------------------------------------------------------
// One numeral.

py::object convertOne(const py::handle& numeral, int from_base, int to_base, unsigned flags,
                      bool coerce) {
  py::object keep;
  const std::string_view bytes = numeralOf(numeral, &keep);
  checkBase(from_base, "from_base");
  checkBase(to_base, "to_base");
  const Conversion c{from_base, to_base, flags};
  char plain[VELTRANE_TEXT_SIZE];
  std::string long_text;
  char* text = plain;
  if ((flags & VELTRANE_ROUND_TRIP) != 0) {
    long_text.assign(VELTRANE_ROUND_TRIP_TEXT_SIZE, '\0');
    text = &long_text[0];
  }
  std::size_t length;
  const int outcome = veltrane_convert_measured(bytes.data(), bytes.size(), from_base, to_base,
                                                flags, text, c.textSize(), &length);
  if (givesText(outcome)) return py::reinterpret_steal<py::object>(asciiString(text, length));
  if (coerce) return py::none();
  raiseNumeralError(py::reinterpret_borrow<py::object>(numeral), bytes, c, py::none());
}

// convert_one(numeral, from_base, to_base, flags, coerce) as a plain
// METH_FASTCALL function: one short numeral's call is mostly call overhead,
// and pybind11's dispatcher costs about as much as the conversion.
PyObject* convertOneFast(PyObject*, PyObject* const* args, Py_ssize_t count) {
  if (count != 5) {
    PyErr_SetString(PyExc_TypeError, "convert_one takes 5 arguments");
    return nullptr;
  }
  int bases[2];
  for (int k = 0; k < 2; ++k) {
    if (PyBool_Check(args[1 + k])) {
      PyErr_SetString(PyExc_TypeError, "a base must be an int, not bool");
      return nullptr;
    }
    int overflow = 0;
    const long base = PyLong_AsLongAndOverflow(args[1 + k], &overflow);
    if (base == -1 && PyErr_Occurred()) return nullptr;
    if (overflow != 0 || base < 2 || base > 36) {
      PyErr_Format(PyExc_ValueError, "%s must be a base from 2 to 36, not %S",
                   k == 0 ? "from_base" : "to_base", args[1 + k]);
      return nullptr;
    }
    bases[k] = static_cast<int>(base);
  }
  const unsigned long flags = PyLong_AsUnsignedLong(args[3]);
  if (flags == static_cast<unsigned long>(-1) && PyErr_Occurred()) return nullptr;
  const int coerce = PyObject_IsTrue(args[4]);
  if (coerce < 0) return nullptr;
  try {
    return convertOne(args[0], bases[0], bases[1], static_cast<unsigned>(flags), coerce != 0)
        .release()
        .ptr();
  } catch (py::error_already_set& error) {
    error.restore();
  } catch (py::builtin_exception& error) {
    error.set_error();
  } catch (const std::bad_alloc&) {
    PyErr_NoMemory();
  } catch (const std::exception& error) {
    PyErr_SetString(PyExc_RuntimeError, error.what());
  }
  return nullptr;
}

PyMethodDef convert_one_method = {
    "convert_one", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(convertOneFast)),
    METH_FASTCALL, "convert_one(numeral, from_base, to_base, flags, coerce)"};

py::dict explainOne(const py::handle& numeral, int from_base, int to_base, unsigned flags) {
  py::object keep;
  const std::string_view bytes = numeralOf(numeral, &keep);
  checkBase(from_base, "from_base");
  checkBase(to_base, "to_base");
  std::string json(VELTRANE_REPORT_SIZE, '\0');
  veltrane_json(bytes.data(), bytes.size(), from_base, to_base, flags, &json[0], json.size());
  json.resize(std::strlen(json.c_str()));
  // The line holds U+FFFD for bytes that are not UTF-8, so it decodes.
  return py::module_::import("json").attr("loads")(py::str(json));
}

py::bytes parseOne(const py::handle& numeral, int base) {
  py::object keep;
  const std::string_view bytes = numeralOf(numeral, &keep);
  checkBase(base, "base");
  unsigned char stored[VELTRANE_STORED_SIZE];
  const int outcome = veltrane_parse(bytes.data(), bytes.size(), base, stored);
  if (!givesText(outcome))
    raiseNumeralError(py::reinterpret_borrow<py::object>(numeral), bytes, Conversion{base, base, 0},
                      py::none());
  return py::bytes(reinterpret_cast<const char*>(stored), VELTRANE_STORED_SIZE);
}

py::str formatOne(const py::handle& stored, int base, unsigned flags) {
  if (!PyObject_CheckBuffer(stored.ptr()) || PyUnicode_Check(stored.ptr()))
    throw py::type_error("a stored value must be 10 bytes (bytes, bytearray or memoryview), not " +
                         typeName(stored.ptr()));
  // The buffer's bytes in one C-contiguous run, or an error: a strided view
  // (a slice with a step, a column of a matrix) has its bytes elsewhere.
  Py_buffer view;
  if (PyObject_GetBuffer(stored.ptr(), &view, PyBUF_C_CONTIGUOUS) != 0) {
    // (NumPy refuses with ValueError, memoryview with BufferError.)
    if (!PyErr_ExceptionMatches(PyExc_BufferError) && !PyErr_ExceptionMatches(PyExc_ValueError))
      throw py::error_already_set();
    PyErr_Clear();
    throw py::value_error("a stored value is 10 contiguous bytes, not a strided view");
  }
  unsigned char image[VELTRANE_STORED_SIZE];
  const std::size_t size = static_cast<std::size_t>(view.len);
  if (size == VELTRANE_STORED_SIZE) std::memcpy(image, view.buf, VELTRANE_STORED_SIZE);
  PyBuffer_Release(&view);
  if (size != VELTRANE_STORED_SIZE)
    throw py::value_error("a stored value is 10 contiguous bytes, not " + std::to_string(size));
  checkBase(base, "base");
  std::string text(
      (flags & VELTRANE_ROUND_TRIP) != 0 ? VELTRANE_ROUND_TRIP_TEXT_SIZE : VELTRANE_TEXT_SIZE,
      '\0');
  int notation = -1;
  const int outcome = veltrane_format(image, base, flags, &text[0], text.size(), &notation);
  if (!givesText(outcome))
    throw py::value_error("the stored value is not a number (a NaN or an image the x87 rejects)");
  text.resize(std::strlen(text.c_str()));
  return asciiStr(text);
}

// ---------------------------------------------------------------------------
// Batches.

// Where a batch's numerals come from.
struct Source {
  // str objects: each numeral's UTF-8 bytes where the str keeps them. The
  // strs are held (refs) for as long as the batch runs, and a str never
  // changes, so the bytes can be read without the GIL even if the list that
  // held them changes meanwhile.
  std::vector<std::string_view> views;
  std::vector<py::object> refs;
  // Or a 'U' array: width code points per item.
  const std::uint32_t* points = nullptr;
  std::size_t width = 0;

  // Numeral i's bytes, with scratch for encoding a 'U' item.
  std::string_view numeral(std::size_t i, std::string* scratch) const {
    if (points == nullptr) return views[i];
    scratch->clear();
    const std::uint32_t* item = points + i * width;
    appendUtf8(item, ucs4Length(item, width), scratch);
    return *scratch;
  }
};

// NumeralError for numeral i of a batch, as it was read and converted (the
// list or array may have changed while the GIL was released): its UTF-8
// bytes decoded, lone surrogates kept, so that the str is one Python can
// use whatever the item held.
[[noreturn]] void raiseBatchError(const Source& source, std::size_t i, const Conversion& c) {
  std::string scratch;
  const std::string_view bytes = source.numeral(i, &scratch);
  py::object numeral = py::reinterpret_steal<py::object>(
      PyUnicode_DecodeUTF8(bytes.data(), static_cast<Py_ssize_t>(bytes.size()), "surrogatepass"));
  if (!numeral) throw py::error_already_set();
  raiseNumeralError(numeral, bytes, c, py::int_(i));
}

// What a batch's conversions gave: per numeral its outcome and where its
// text lies in the buffer of the chunk that converted it.
struct Results {
  std::vector<signed char> outcomes;
  std::vector<std::size_t> ends;         // end of numeral i's text in its chunk's buffer
  std::vector<std::size_t> chunk_begin;  // first numeral of each chunk, then n
  std::vector<std::string> texts;        // one buffer per chunk

  std::size_t chunkOf(std::size_t i) const {
    return static_cast<std::size_t>(std::upper_bound(chunk_begin.begin(), chunk_begin.end(), i) -
                                    chunk_begin.begin()) -
           1;
  }
};

// Runs work(chunk, begin, end) for count contiguous chunks of [0, n): chunk 0
// on the calling thread, the others on threads of their own (where the
// system starts no more threads, on the calling thread after chunk 0);
// rethrows the first exception of any chunk once all have ended.
template <class Work>
void runChunks(std::size_t n, std::size_t count, std::vector<std::size_t>* begins, Work work) {
  begins->resize(count + 1);
  for (std::size_t k = 0; k <= count; ++k) (*begins)[k] = n * k / count;
  std::vector<std::exception_ptr> failures(count);
  auto guarded = [&](std::size_t k) {
    try {
      work(k, (*begins)[k], (*begins)[k + 1]);
    } catch (...) {
      failures[k] = std::current_exception();
    }
  };
  std::vector<std::thread> workers;
  workers.reserve(count - 1);
  std::size_t started = 1;
  try {
    for (; started < count; ++started)
      workers.emplace_back([&guarded, started] {
        veltrane_adopt_x87_mode();  // a thread of ours, that only converts
        guarded(started);
      });
  } catch (const std::system_error&) {
    // No more threads (a limit of processes or memory): the calling thread
    // converts the chunks that have none.
  }
  guarded(0);
  for (std::size_t k = started; k < count; ++k) guarded(k);
  for (std::thread& worker : workers) worker.join();
  for (const std::exception_ptr& failure : failures)
    if (failure) std::rethrow_exception(failure);
}

// How many threads convert n numerals: threads (0 for all cores) at most,
// never more than n or kMaxThreads, and with threads == 0 none with fewer
// than kMinItemsPerThread numerals.
std::size_t threadCount(std::size_t n, std::size_t threads) {
  if (n == 0) return 1;
  if (threads == 0) {
    // Read once: hardware_concurrency() reads /sys each time (tens of
    // microseconds), as much as a small batch takes.
    static const std::size_t cores = std::max(1u, std::thread::hardware_concurrency());
    threads = std::min(cores, std::max<std::size_t>(1, n / kMinItemsPerThread));
  }
  return std::min({threads, n, kMaxThreads});
}

// Converts numerals [begin, end) of source into results, their texts into
// the buffer of the given chunk. Touches nothing of Python.
void convertChunk(const Source& source, const Conversion& c, std::size_t chunk, std::size_t begin,
                  std::size_t end, Results* results) {
  std::string& texts = results->texts[chunk];
  const std::size_t text_size = c.textSize();
  // Room for about 24 bytes a text; grown as needed, never cut.
  texts.resize(std::max<std::size_t>(text_size, (end - begin) * 24));
  std::size_t used = 0;
  std::string scratch;
  for (std::size_t i = begin; i < end; ++i) {
    if (texts.size() - used < text_size) texts.resize(std::max(texts.size() * 2, used + text_size));
    const std::string_view numeral = source.numeral(i, &scratch);
    char* text = &texts[used];
    std::size_t length;
    const int outcome = veltrane_convert_measured(numeral.data(), numeral.size(), c.from_base,
                                                  c.to_base, c.flags, text, text_size, &length);
    results->outcomes[i] = static_cast<signed char>(outcome);
    if (givesText(outcome)) used += length;
    results->ends[i] = used;
  }
  texts.resize(used);
}

Results emptyResults(std::size_t n, std::size_t chunks) {
  Results results;
  results.outcomes.resize(n);
  results.ends.resize(n);
  results.texts.resize(chunks);
  return results;
}

// Step 2 for a 'U' array: converts every numeral of source without the GIL,
// in one chunk per thread.
Results convertAll(const Source& source, std::size_t n, const Conversion& c, std::size_t threads) {
  const std::size_t count = threadCount(n, threads);
  Results results = emptyResults(n, count);
  py::gil_scoped_release release;
  runChunks(n, count, &results.chunk_begin,
            [&](std::size_t chunk, std::size_t begin, std::size_t end) {
              convertChunk(source, c, chunk, begin, end, &results);
            });
  return results;
}

// The first numeral that gave no value, or n.
std::size_t firstFailure(const Results& results) {
  const auto it = std::find_if(results.outcomes.begin(), results.outcomes.end(),
                               [](signed char outcome) { return !givesText(outcome); });
  return static_cast<std::size_t>(it - results.outcomes.begin());
}

// Numeral i's text in results (valid when it gave one).
std::string_view textOf(const Results& results, std::size_t i) {
  const std::size_t chunk = results.chunkOf(i);
  const std::size_t start = i == results.chunk_begin[chunk] ? 0 : results.ends[i - 1];
  return {results.texts[chunk].data() + start, results.ends[i] - start};
}

void checkBatch(int from_base, int to_base, long threads) {
  checkBase(from_base, "from_base");
  checkBase(to_base, "to_base");
  if (threads < 0) throw py::value_error("threads must be None or a positive number");
}

// Step 1 for str objects: items[0..n) (borrowed) into source, holding each.
void gather(PyObject* const* items, std::size_t n, Source* source) {
  source->views.resize(n);
  source->refs.reserve(n);
  for (std::size_t i = 0; i < n; ++i) {
    PyObject* item = items[i];
    if (!PyUnicode_Check(item))
      throw py::type_error("numerals must be str, but item " + std::to_string(i) + " is " +
                           typeName(item));
    py::object keep;
    source->views[i] = utf8Of(item, &keep);
    // The bytes object of a str with lone surrogates, or the str itself.
    source->refs.push_back(keep ? std::move(keep) : py::reinterpret_borrow<py::object>(item));
  }
}

// Steps 2 and 3 for str results, overlapped: the numerals (in source) are
// cut into blocks, which worker threads and the calling thread
// claim in turn and convert without the GIL; meanwhile the calling thread,
// holding the GIL, makes the str objects of each block converted, in input
// order, and hands each with its index to put (None where a numeral gave no
// value). Making objects needs the GIL, so done after the conversions it
// would keep the other cores idle for a tenth of the time or more.
// Returns n, or with raise_first the index of the first numeral that gave
// no value, in which case no object of its block or later ones was made.
template <class Put>
std::size_t convertAndPut(const Source& source, std::size_t n, const Conversion& c,
                          std::size_t threads, bool raise_first, Put put) {
  if (n == 0) return 0;
  // One block on one thread; else enough blocks that no thread waits long
  // for the last one, few enough that the GIL changes hands rarely; and no
  // more threads than blocks.
  const std::size_t wanted = threadCount(n, threads);
  const std::size_t blocks = wanted == 1 ? 1 : std::min(wanted * 64, (n + 1023) / 1024);
  const std::size_t count = std::min(wanted, blocks);
  Results results = emptyResults(n, blocks);
  results.chunk_begin.resize(blocks + 1);
  for (std::size_t k = 0; k <= blocks; ++k) results.chunk_begin[k] = n * k / blocks;

  std::mutex mutex;
  std::condition_variable changed;
  std::vector<char> done(blocks, 0);  // under mutex
  bool stop = false;                  // under mutex: no block is to be claimed any more
  std::exception_ptr failure;         // under mutex: a worker's exception
  std::size_t next = 0;               // under mutex: the next block to claim
  auto claim = [&]() -> std::size_t {
    std::lock_guard<std::mutex> lock(mutex);
    return stop ? blocks : next < blocks ? next++ : blocks;
  };
  auto convertBlock = [&](std::size_t block) {
    convertChunk(source, c, block, results.chunk_begin[block], results.chunk_begin[block + 1],
                 &results);
    std::lock_guard<std::mutex> lock(mutex);
    done[block] = 1;
    changed.notify_all();
  };
  std::vector<std::thread> workers;
  // Stops and joins the workers on every way out, exceptions included. They
  // never touch Python, so joining them needs no GIL.
  struct Joiner {
    std::vector<std::thread>* workers;
    std::function<void()> stop_all;
    ~Joiner() {
      stop_all();
      for (std::thread& worker : *workers) worker.join();
    }
  } joiner{&workers, [&] {
             std::lock_guard<std::mutex> lock(mutex);
             stop = true;
           }};
  const auto work = [&] {
    veltrane_adopt_x87_mode();  // a thread of ours, that only converts
    for (std::size_t block = claim(); block < blocks; block = claim()) {
      try {
        convertBlock(block);
      } catch (...) {
        std::lock_guard<std::mutex> lock(mutex);
        if (!failure) failure = std::current_exception();
        stop = true;
        changed.notify_all();
        return;
      }
    }
  };
  try {
    for (std::size_t k = 1; k < count; ++k) workers.emplace_back(work);
  } catch (const std::system_error&) {
    // No more threads: those started and the calling thread claim every block.
  }

  for (std::size_t built = 0; built < blocks;) {
    bool ready;
    {
      std::lock_guard<std::mutex> lock(mutex);
      if (failure) std::rethrow_exception(failure);
      ready = done[built] != 0;
    }
    if (!ready) {
      const std::size_t block = claim();
      py::gil_scoped_release release;
      if (block < blocks) {
        convertBlock(block);
      } else {
        // Every block is claimed: wait for the one to build next.
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return done[built] != 0 || failure; });
      }
      continue;
    }
    const std::size_t begin = results.chunk_begin[built], end = results.chunk_begin[built + 1];
    if (raise_first) {
      for (std::size_t i = begin; i < end; ++i)
        if (!givesText(results.outcomes[i])) return i;
    }
    const char* texts = results.texts[built].data();
    std::size_t start = 0;  // of numeral i's text in the block's buffer
    for (std::size_t i = begin; i < end; ++i) {
      if (givesText(results.outcomes[i])) {
        put(i, asciiString(texts + start, results.ends[i] - start));
        start = results.ends[i];
      } else {
        Py_INCREF(Py_None);
        put(i, Py_None);
      }
    }
    ++built;
  }
  return n;
}

// convert() of a list or tuple of str: a list.
py::list convertSequence(const py::sequence& numerals, int from_base, int to_base, unsigned flags,
                         bool coerce, long threads) {
  checkBatch(from_base, to_base, threads);
  // A list or tuple, so that its items can be read as one array.
  py::object fast = py::reinterpret_steal<py::object>(
      PySequence_Fast(numerals.ptr(), "numerals must be a sequence"));
  if (!fast) throw py::error_already_set();
  const std::size_t n = static_cast<std::size_t>(PySequence_Fast_GET_SIZE(fast.ptr()));
  PyObject* const* items = PySequence_Fast_ITEMS(fast.ptr());
  Source source;
  gather(items, n, &source);
  const Conversion c{from_base, to_base, flags};
  py::list out(n);
  const std::size_t failure = convertAndPut(
      source, n, c, static_cast<std::size_t>(threads), !coerce, [&](std::size_t i, PyObject* text) {
        PyList_SET_ITEM(out.ptr(), static_cast<Py_ssize_t>(i), text);
      });
  if (failure < n) raiseBatchError(source, failure, c);
  return out;
}

// convert() of a one-dimensional, C-contiguous array of kind 'U' or 'O':
// an array of the same kind and length ("" where a numeral gave no value).
py::array convertArray(const py::array& numerals, int from_base, int to_base, unsigned flags,
                       bool coerce, long threads) {
  checkBatch(from_base, to_base, threads);
  if (numerals.ndim() != 1 || !(numerals.flags() & py::array::c_style))
    throw py::value_error("expected a one-dimensional C-contiguous array");
  const char kind = numerals.dtype().kind();
  const std::size_t n = static_cast<std::size_t>(numerals.shape(0));
  const Conversion c{from_base, to_base, flags};
  Source source;
  if (kind == 'U') {
    source.points = static_cast<const std::uint32_t*>(numerals.data());
    source.width = static_cast<std::size_t>(numerals.itemsize()) / 4;
  } else if (kind == 'O') {
    gather(static_cast<PyObject* const*>(numerals.data()), n, &source);
  } else {
    throw py::type_error(
        "numerals must be str: an array of str ('U') or of objects, not of dtype " +
        py::str(numerals.dtype()).cast<std::string>());
  }
  if (kind == 'O') {
    // NumPy fills a new object array with NULL pointers.
    py::array out(py::dtype("O"), std::vector<py::ssize_t>{static_cast<py::ssize_t>(n)});
    PyObject** slots = static_cast<PyObject**>(out.mutable_data());
    const std::size_t failure = convertAndPut(source, n, c, static_cast<std::size_t>(threads),
                                              !coerce, [&](std::size_t i, PyObject* text) {
                                                if (text == Py_None) {
                                                  Py_DECREF(text);
                                                  text = PyUnicode_New(0, 127);
                                                  if (text == nullptr)
                                                    throw py::error_already_set();
                                                }
                                                Py_XDECREF(slots[i]);
                                                slots[i] = text;
                                              });
    if (failure < n) raiseBatchError(source, failure, c);
    return out;
  }
  // Keeps the 'U' array's buffer alive and unchanged in size while it is
  // read without the GIL (another thread may still write into it: that is a
  // race of that program's own, as with any NumPy call that releases the GIL).
  py::array hold = numerals;
  const Results results = convertAll(source, n, c, static_cast<std::size_t>(threads));
  const std::size_t failure = firstFailure(results);
  if (failure < n && !coerce) raiseBatchError(source, failure, c);
  std::size_t width = 1;
  for (std::size_t i = 0; i < n; ++i)
    if (givesText(results.outcomes[i])) width = std::max(width, textOf(results, i).size());
  py::array out(py::dtype("<U" + std::to_string(width)),
                std::vector<py::ssize_t>{static_cast<py::ssize_t>(n)});
  std::uint32_t* points = static_cast<std::uint32_t*>(out.mutable_data());
  {
    // The texts are ASCII: each byte is its code point. Same chunks as the
    // conversion, so each thread reads the buffer it wrote.
    py::gil_scoped_release release;
    std::vector<std::size_t> begins;
    runChunks(n, results.texts.size(), &begins,
              [&](std::size_t, std::size_t begin, std::size_t end) {
                for (std::size_t i = begin; i < end; ++i) {
                  std::uint32_t* item = points + i * width;
                  std::size_t length = 0;
                  if (givesText(results.outcomes[i])) {
                    const std::string_view text = textOf(results, i);
                    for (; length < text.size(); ++length)
                      item[length] = static_cast<unsigned char>(text[length]);
                  }
                  std::fill(item + length, item + width, 0u);
                }
              });
  }
  return out;
}

}  // namespace

PYBIND11_MODULE(_veltrane, m) {
  m.doc() = "libveltrane's conversions; use the veltrane package, which wraps them.";
  m.attr("SCIENTIFIC") = VELTRANE_SCIENTIFIC;
  m.attr("ROUND_TRIP") = VELTRANE_ROUND_TRIP;
  m.attr("MAX_NUMERAL_LENGTH") = VELTRANE_MAX_NUMERAL_LENGTH;
  m.def("library_version", [] { return std::string(veltrane_version()); });
  m.def("set_error_class", [](py::object cls) {
    Py_XDECREF(numeral_error_class);
    numeral_error_class = cls.release().ptr();
  });
  m.add_object("convert_one", py::reinterpret_steal<py::object>(
                                  PyCFunction_NewEx(&convert_one_method, nullptr, m.ptr())));
  m.def("convert_sequence", &convertSequence);
  m.def("convert_array", &convertArray);
  m.def("explain", &explainOne);
  m.def("parse", &parseOne);
  m.def("format", &formatOne);
}
