#include "WorkerTeam.h"

#include <gtest/gtest.h>
#include <omp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {
// Restores the team size the other tests expect.
struct ThreadCount {
  explicit ThreadCount(int n) : saved(omp_get_max_threads()) { omp_set_num_threads(n); }
  ~ThreadCount() { omp_set_num_threads(saved); }
  int saved;
};
}  // namespace

TEST(WorkerTeam, EveryIndexRunsOnceInPiecesOfTheGrain) {
  struct Case {
    long count, grain;
    int threads;
    bool parallel;
  };
  const Case cases[] = {{1, 1, 8, true},     {7, 3, 8, true},       {1000, 1, 8, true}, {1000, 16, 3, true},
                        {100000, 512, 8, true}, {100000, 512, 1, true}, {999, 10, 8, false}, {5, 100, 8, true}};
  for (const Case& c : cases) {
    ThreadCount threads(c.threads);
    std::vector<std::atomic<int>> runs(static_cast<size_t>(c.count));
    std::mutex mutex;
    std::set<std::thread::id> ids;
    long longest = 0;
    qlw::ParallelFor(c.count, c.grain, c.parallel, [&](long begin, long end) {
      for (long i = begin; i < end; ++i) runs[static_cast<size_t>(i)]++;
      std::lock_guard<std::mutex> lock(mutex);
      ids.insert(std::this_thread::get_id());
      longest = std::max(longest, end - begin);
    });
    for (long i = 0; i < c.count; ++i) ASSERT_EQ(runs[static_cast<size_t>(i)].load(), 1) << c.count << " at " << i;
    // Alone on the caller the loop is one piece; on the team no piece exceeds the grain.
    if (ids.size() > 1) {
      EXPECT_LE(longest, c.grain) << c.count;
    }
    EXPECT_LE(ids.size(), static_cast<size_t>(c.threads)) << c.count;
    if (!c.parallel || c.threads == 1) {
      EXPECT_EQ(ids.size(), 1u) << c.count;
    }
  }
}

TEST(WorkerTeam, LoopsInsideLoopsAndFromOtherThreadsRunAlone) {
  ThreadCount threads(8);
  std::atomic<long> inner{0};
  std::atomic<bool> innerStayed{true};
  qlw::ParallelFor(64, 1, true, [&](long begin, long end) {
    for (long i = begin; i < end; ++i) {
      const auto me = std::this_thread::get_id();
      qlw::ParallelFor(100, 1, true, [&](long b, long e) {
        if (std::this_thread::get_id() != me) innerStayed = false;
        inner += e - b;
      });
    }
  });
  EXPECT_EQ(inner.load(), 64 * 100);
  EXPECT_TRUE(innerStayed.load());

  // Two threads start loops at once: both finish, each index once.
  std::vector<std::atomic<int>> a(20000), b(20000);
  auto fill = [](std::vector<std::atomic<int>>& v) {
    for (int round = 0; round < 20; ++round)
      qlw::ParallelFor(static_cast<long>(v.size()), 64, true, [&](long begin, long end) {
        for (long i = begin; i < end; ++i) v[static_cast<size_t>(i)]++;
      });
  };
  std::thread other([&] { fill(b); });
  fill(a);
  other.join();
  for (size_t i = 0; i < a.size(); ++i) {
    ASSERT_EQ(a[i].load(), 20) << i;
    ASSERT_EQ(b[i].load(), 20) << i;
  }
}

TEST(WorkerTeam, AnExceptionReachesTheCallerAndTheTeamWorksOn) {
  ThreadCount threads(8);
  EXPECT_THROW(qlw::ParallelFor(10000, 1, true,
                                [](long begin, long) {
                                  if (begin == 5000) throw std::runtime_error("piece failed");
                                }),
               std::runtime_error);
  std::atomic<long> sum{0};
  qlw::ParallelFor(10000, 7, true, [&](long begin, long end) {
    for (long i = begin; i < end; ++i) sum += i;
  });
  EXPECT_EQ(sum.load(), 10000L * 9999 / 2);
}

TEST(WorkerTeam, AForkedChildHasATeamOfItsOwn) {
  ThreadCount threads(8);
  qlw::ParallelFor(1000, 1, true, [](long, long) {});  // the parent's team is running
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    std::atomic<long> n{0};
    qlw::ParallelFor(1000, 1, true, [&](long begin, long end) { n += end - begin; });
    _exit(n.load() == 1000 ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}
