// The playback engine: one audio source played on a waveOut device through a ring
// of 64 buffers of a tenth of a second, filled by a fill thread and taken back by
// a completion thread; progress reaches a listener on the user-interface thread
// through the hidden notify window. A looping mode repeats a short snippet at the
// current position (scrubbing).
#pragma once
#include <windows.h>
#include <mmsystem.h>

#include <atomic>
#include <vector>

#include "audio/audio_source.h"
#include "common/win32/handles.h"
#include "playback/engine_plan.h"
#include "playback/win32/notify_window.h"
#include "playback/win32/worker_thread.h"

// What the engine reports, always on the user-interface thread, with the user
// value registered beside the listener. Every operation does nothing by default.
class PlaybackListener {
 public:
  virtual ~PlaybackListener() = default;
  virtual void onStarted(int32_t user) {}
  virtual void onStopped(int32_t user) {}
  virtual void onLooping(int32_t user) {}
  virtual void onPosition(int32_t ms, int32_t user) {}
  virtual void onLevels(const ChannelLevels& levels, int32_t user) {}
};

class PlaybackEngine : private WorkerThread, private NotifyTarget {
 public:
  PlaybackEngine();
  ~PlaybackEngine() override;

  // 0 (or less, when no device is chosen) selects the default device, n device
  // n − 1. Set before open.
  int deviceNumberPlusOne = 0;
  // Null puts the built-in listener (which does nothing) back.
  void setListener(PlaybackListener* listener, int32_t user);

  // Closes what is open and streams `source` from its current position. False
  // when the source is not Ok or no device opens.
  bool open(AudioSource* source);
  void close();
  void play();
  void loop();
  void seek(int32_t frame);
  void seekMs(int32_t ms);

  // The volume of what this engine plays, in decibels: applied to the open
  // device's stream at once and to every device opened later. The stream's own
  // volume is the one path that acts both on Windows and under Wine (where a
  // device number reaches nothing), and it leaves the system's mixer alone.
  void setVolumeDb(int db);

  bool isOpen() const { return state_ != 0; }
  bool isLooping() const { return state_ == kLooping; }
  int32_t positionFrames() const { return position_; }
  // The open device; null while closed.
  HWAVEOUT device() const { return device_; }

 private:
  static constexpr uint16_t kOpen = 1;
  static constexpr uint16_t kLooping = 5;
  struct Slot {
    DWORD capacity = 0;
    WAVEHDR header = {};
    ChannelLevels levels;
  };
  class CompletionThread : public WorkerThread {
   public:
    explicit CompletionThread(PlaybackEngine* engine) : engine_(engine) {}
    ~CompletionThread() override { StopAndWait(5000); }

   protected:
    void Run() override;
    const wchar_t* Name() const override { return L"lirva completion"; }

   private:
    PlaybackEngine* engine_;
  };

  void Run() override;  // the fill loop
  const wchar_t* Name() const override { return L"lirva fill"; }
  void OnNotify() override;
  // False when the device refused the buffer.
  bool writeLoopBuffer();
  void stopFill();
  void report(void (PlaybackListener::*what)(int32_t));
  int32_t msOf(int32_t frames);

  NotifyWindow notify_;
  PlaybackListener builtIn_;
  PlaybackListener* listener_ = &builtIn_;
  int32_t user_ = 0;
  KernelHandle deviceEvent_;    // auto-reset: each wait takes the device's signal
  KernelHandle slotFreeEvent_;  // auto-reset; set by the completion thread when it frees a slot
  std::atomic<int32_t> position_{0};
  uint16_t state_ = 0;
  std::atomic<bool> ended_{false};
  std::atomic<bool> progressed_{false};
  std::atomic<bool> refused_{false};  // the device refused a buffer: the stream ended there
  LockedGlobalMemory bufferMemory_;
  SourceRef source_;
  ChannelLevels currentLevels_;
  CriticalSection levelsLock_;
  std::vector<int32_t> readBuffer_;
  HWAVEOUT device_ = nullptr;
  bool volumeSet_ = false;
  int volumeDb_ = 0;
  int32_t framesPerBuffer_ = 0;
  int channels_ = 1;
  Slot slots_[kSlotCount];
  SlotRing ring_;
};

