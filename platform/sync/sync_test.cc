#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "synchapi.h"

namespace {

class CriticalSectionTest : public ::testing::Test {
 protected:
  CriticalSectionTest() { InitializeCriticalSection(&section_); }
  ~CriticalSectionTest() override { DeleteCriticalSection(&section_); }

  // TryEnter from a thread other than the caller; leaves again when it got in.
  BOOL TryEnterFromOtherThread() {
    BOOL entered = FALSE;
    std::thread other([&] {
      entered = TryEnterCriticalSection(&section_);
      if (entered) LeaveCriticalSection(&section_);
    });
    other.join();
    return entered;
  }

  CRITICAL_SECTION section_;
};

TEST_F(CriticalSectionTest, OwnerEntersAgainAndMustLeaveAsOften) {
  EnterCriticalSection(&section_);
  EXPECT_TRUE(TryEnterCriticalSection(&section_));
  EnterCriticalSection(&section_);
  EXPECT_FALSE(TryEnterFromOtherThread());

  LeaveCriticalSection(&section_);
  LeaveCriticalSection(&section_);
  EXPECT_FALSE(TryEnterFromOtherThread()) << "still entered once";
  LeaveCriticalSection(&section_);
  EXPECT_TRUE(TryEnterFromOtherThread());
}

TEST_F(CriticalSectionTest, ExcludesOtherThreads) {
  constexpr int kThreads = 4;
  constexpr int kRounds = 20000;
  long counter = 0;  // deliberately not atomic: only the section protects it
  std::atomic<int> inside{0};
  std::atomic<bool> overlap{false};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < kRounds; ++i) {
        EnterCriticalSection(&section_);
        if (inside.fetch_add(1) != 0) overlap = true;
        counter = counter + 1;
        inside.fetch_sub(1);
        LeaveCriticalSection(&section_);
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_FALSE(overlap);
  EXPECT_EQ(counter, long{kThreads} * kRounds);
}

TEST(InterlockedTest, ReturnValues) {
  LONG volatile value = 5;
  EXPECT_EQ(InterlockedIncrement(&value), 6);
  EXPECT_EQ(InterlockedDecrement(&value), 5);
  EXPECT_EQ(InterlockedExchange(&value, 42), 5);
  EXPECT_EQ(value, 42);

  // Compare-exchange returns the initial value and replaces only on a match.
  EXPECT_EQ(InterlockedCompareExchange(&value, 7, 41), 42);
  EXPECT_EQ(value, 42);
  EXPECT_EQ(InterlockedCompareExchange(&value, 7, 42), 42);
  EXPECT_EQ(value, 7);

  LONG volatile edge = 0x7FFFFFFF;
  EXPECT_EQ(InterlockedIncrement(&edge), LONG(-0x7FFFFFFF - 1))
      << "wraps like the platform";
}

TEST(InterlockedTest, CountsExactlyUnderContention) {
  LONG volatile value = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 50000; ++i) {
        InterlockedIncrement(&value);
        InterlockedIncrement(&value);
        InterlockedDecrement(&value);
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(value, 4 * 50000);
}

}  // namespace
