// The playback engine's threads and the hidden window that brings their news to
// the user-interface thread, for real under Wine.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>

#include "playback/win32/notify_window.h"
#include "playback/win32/worker_thread.h"
#include "test_pump.h"

namespace {

// Counts its loops until asked to stop; can be told to ignore the stop for a while.
class Counter : public WorkerThread {
 public:
  ~Counter() override { Stop(5000); }
  std::atomic<int> loops{0};
  std::atomic<int> runs{0};
  std::atomic<DWORD> stubbornMs{0};
  HANDLE wake = CreateEventA(nullptr, TRUE, FALSE, nullptr);

 protected:
  void Run() override {
    ++runs;
    while (!StopRequested()) {
      ++loops;
      WaitFor(wake, 10);
    }
    Sleep(stubbornMs);
  }
};

class Poster : public NotifyTarget, public WorkerThread {
 public:
  Poster() : window(this) {}
  ~Poster() { Stop(5000); }
  void OnNotify() override {
    ++notified;
    notifiedOn = GetCurrentThreadId();
  }
  NotifyWindow window;
  std::atomic<int> notified{0};
  std::atomic<DWORD> notifiedOn{0};

 protected:
  void Run() override {
    for (int i = 0; i < 3; ++i) window.Post();
  }
};

}  // namespace

TEST(WorkerThread, StartsOnceStopsOnRequestAndWaitsForAStubbornThread) {
  Counter c;
  c.Start(THREAD_PRIORITY_NORMAL);
  c.Start(THREAD_PRIORITY_NORMAL);  // already running: nothing happens
  Sleep(100);
  EXPECT_TRUE(c.Running());
  EXPECT_EQ(c.runs, 1);
  EXPECT_GT(c.loops, 2);
  EXPECT_TRUE(c.Stop(2000));
  EXPECT_FALSE(c.Running());
  EXPECT_EQ(c.Thread(), nullptr);

  // A thread that takes longer than the time-out is kept, not forgotten.
  c.stubbornMs = 500;
  c.Start(THREAD_PRIORITY_BELOW_NORMAL);
  Sleep(50);
  EXPECT_FALSE(c.Stop(100));
  EXPECT_TRUE(c.Running());
  EXPECT_NE(c.Thread(), nullptr);
  EXPECT_TRUE(c.Stop(3000));
  EXPECT_FALSE(c.Running());
  // And it starts again afterwards.
  c.stubbornMs = 0;
  c.Start(THREAD_PRIORITY_NORMAL);
  Sleep(50);
  EXPECT_EQ(c.runs, 3);
}

TEST(NotifyWindow, PostsFromAWorkerRunTheHandlerOnTheWindowsThread) {
  Poster p;
  ASSERT_NE(p.window.Window(), nullptr);
  char cls[32] = {};
  GetClassNameA(p.window.Window(), cls, sizeof cls);
  EXPECT_STREQ(cls, "LTQN");
  EXPECT_FALSE(IsWindowVisible(p.window.Window()));
  // The owner's pointer in the window's slot survives whole in a 64-bit build.
  EXPECT_EQ(GetWindowLongPtrA(p.window.Window(), GWLP_USERDATA),
            reinterpret_cast<LONG_PTR>(static_cast<NotifyTarget*>(&p)));
  p.Start(THREAD_PRIORITY_NORMAL);
  EXPECT_TRUE(p.Stop(2000));
  EXPECT_EQ(p.notified, 0);  // nothing runs before the loop serves the messages
  PumpFor(200);
  EXPECT_EQ(p.notified, 3);
  EXPECT_EQ(p.notifiedOn, GetCurrentThreadId());
}
