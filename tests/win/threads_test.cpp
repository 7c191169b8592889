// Several threads: the same answers as one thread alone, each thread with its own
// FormatFixed text, and per-thread buffers that go away with their threads.
//
// qemu-user, which runs 32-bit Wine on machines without 32-bit support, survives threads
// that take turns (one runs while the others wait in the kernel) but not threads that run
// at once. ThreadsTakingTurns therefore runs everywhere; ThreadsAtOnce is left out there
// by scripts/wine-run.sh.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "tests/win/sample_frames.h"
#include "tests/win/test_support.h"

namespace zk::test {
namespace {

class ThreadsAtOnce : public DllSuite {};
class ThreadsTakingTurns : public DllSuite {};

DWORD WINAPI ThreadMain(void* body) {
  (*static_cast<std::function<void()>*>(body))();
  return 0;
}

// A thread running `body`, joined when it goes out of scope. `body` must outlive it.
class Thread {
 public:
  explicit Thread(std::function<void()>& body)
      : handle_(CreateThread(nullptr, 0, &ThreadMain, &body, 0, nullptr)) {
    if (handle_ == nullptr) ADD_FAILURE() << "CreateThread failed: " << GetLastError();
  }
  ~Thread() { Join(); }
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;
  void Join() {
    if (handle_ == nullptr) return;
    WaitForSingleObject(handle_, INFINITE);
    CloseHandle(handle_);
    handle_ = nullptr;
  }

 private:
  HANDLE handle_;
};

// A manual-reset event one thread waits on and another sets.
class Signal {
 public:
  Signal() : event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  ~Signal() { CloseHandle(event_); }
  void Set() { SetEvent(event_); }
  void Wait() { WaitForSingleObject(event_, INFINITE); }

 private:
  HANDLE event_;
};

struct Answer {
  std::uint32_t eax;
  std::array<std::uint8_t, 10> st0;
  std::u16string text;
  int bytes_removed;
  bool registers_preserved;
  int x87_depth;
  bool operator==(const Answer&) const = default;
};

struct Job {
  const void* fn;
  const ExportRow* row;
  std::vector<std::uint32_t> frame;
};

std::vector<Job> AllCalls(const LoadedDll& dll) {
  std::vector<Job> jobs;
  for (const ExportRow& row : kCatalogue) {
    for (auto& frame : SampleFrames(row)) jobs.push_back({dll.Bind(row), &row, frame});
  }
  return jobs;
}

Answer Ask(const Job& job) {
  probe::Call call;
  call.fn = job.fn;
  call.slots = job.frame;
  const probe::Result r = probe::Run(call);
  Answer a{r.eax, ResultChannel(job.row->family) == Channel::St0 ? r.st0 : std::array<std::uint8_t, 10>{},
           {}, r.bytes_removed, r.RegistersPreserved(), r.x87_depth};
  if (job.row->family == Family::FormatFixed || job.row->family == Family::ConstText) a.text = TextAt(r.eax);
  if (job.row->family == Family::FormatFixed) a.eax = 0;  // each thread's own buffer
  return a;
}

TEST_F(ThreadsAtOnce, FourThreadsGetWhatOneThreadGets) {
  const std::vector<Job> jobs = AllCalls(dll());
  std::vector<Answer> expected;
  for (const Job& job : jobs) expected.push_back(Ask(job));

  constexpr int kThreads = 4, kRounds = 40;
  std::vector<int> mismatches(kThreads, 0);
  std::vector<std::uint32_t> buffers(kThreads, 0);
  std::vector<std::function<void()>> bodies;
  for (int t = 0; t < kThreads; ++t) {
    bodies.push_back([&, t] {
      for (int round = 0; round < kRounds; ++round) {
        for (std::size_t i = 0; i < jobs.size(); ++i) {
          // Each thread walks the catalogue from another starting point.
          const std::size_t k = (i + t * jobs.size() / kThreads) % jobs.size();
          if (!(Ask(jobs[k]) == expected[k])) ++mismatches[t];
          if (jobs[k].row->family == Family::FormatFixed) {
            probe::Call call{jobs[k].fn, jobs[k].frame};
            buffers[t] = probe::Run(call).eax;
          }
        }
      }
    });
  }
  {
    std::vector<std::unique_ptr<Thread>> threads;
    for (auto& body : bodies) threads.push_back(std::make_unique<Thread>(body));
  }
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(mismatches[t], 0) << "thread " << t;
  std::sort(buffers.begin(), buffers.end());
  EXPECT_EQ(std::unique(buffers.begin(), buffers.end()), buffers.end()) << "threads share a text buffer";
}

// Bytes in use in every heap of the process, the library's own included.
std::size_t HeapBytesInUse() {
  std::vector<HANDLE> heaps(256);
  const DWORD count = GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data());
  std::size_t total = 0;
  for (DWORD i = 0; i < count && i < heaps.size(); ++i) {
    if (!HeapLock(heaps[i])) continue;
    PROCESS_HEAP_ENTRY entry{};
    while (HeapWalk(heaps[i], &entry)) {
      if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) total += entry.cbData;
    }
    HeapUnlock(heaps[i]);
  }
  return total;
}

probe::Result FormatOn(const void* format_fixed, double x) {
  probe::Call call{format_fixed, {}};
  probe::PutDouble(call.slots, 5, x);
  return probe::Run(call);
}

// Threads that each format once and end.
void Churn(const void* format_fixed, int count) {
  for (int i = 0; i < count; ++i) {
    std::function<void()> body = [format_fixed, i] { FormatOn(format_fixed, i + 0.25); };
    Thread(body).Join();
  }
}

// Two threads alive together, each holding the text of its last call: the first formats
// and waits while the second formats; the first text is still the first thread's own.
TEST_F(ThreadsTakingTurns, LiveThreadsKeepTheirOwnText) {
  const void* format_fixed = dll().Bind(RowByTail("Ii1IiI11i1"));
  Signal first_done, second_done;
  std::uint32_t first_text = 0, second_text = 0;
  std::u16string first_after, second_after;
  std::function<void()> first = [&] {
    first_text = FormatOn(format_fixed, 1.25).eax;
    first_done.Set();
    second_done.Wait();
    first_after = TextAt(first_text);
  };
  std::function<void()> second = [&] {
    second_text = FormatOn(format_fixed, 987654.5).eax;
    second_after = TextAt(second_text);  // before this thread ends and its buffer goes
    second_done.Set();
  };
  {
    Thread a(first);
    first_done.Wait();
    Thread b(second);
  }
  EXPECT_NE(first_text, second_text) << "two live threads share one text buffer";
  EXPECT_EQ(Utf8(first_after), "1.25");
  EXPECT_EQ(Utf8(second_after), "987654.50");
}

TEST_F(ThreadsTakingTurns, BuffersOfEndedThreadsAreReleased) {
  const void* format_fixed = dll().Bind(RowByTail("Ii1IiI11i1"));
  Churn(format_fixed, 300);  // let the process settle its own per-thread costs
  const std::size_t before = HeapBytesInUse();
  constexpr int kThreads = 3000;
  Churn(format_fixed, kThreads);
  const std::size_t after = HeapBytesInUse();
  const long long growth = static_cast<long long>(after) - static_cast<long long>(before);
  RecordProperty("growth_bytes", std::to_string(growth));
  std::printf("heap bytes in use: %zu before, %zu after %d threads\n", before, after, kThreads);
  // A buffer left behind per thread would be at least 50 bytes each.
  EXPECT_LT(growth, kThreads * 50 / 2);
}

}  // namespace
}  // namespace zk::test
