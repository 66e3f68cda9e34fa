#include "playback/win32/playback_engine.h"

#include <algorithm>

#include "audio/frame_time.h"
#include "audio/peak_limiter.h"
#include "audio/samples.h"

namespace {
constexpr DWORD kStateFlags = WHDR_DONE | WHDR_BEGINLOOP | WHDR_ENDLOOP;  // 0xD
constexpr DWORD kThreadTimeoutMs = 5000;
}  // namespace

PlaybackEngine::PlaybackEngine()
    : notify_(this),
      // Auto-reset, both: each wait takes the signal, where resetting a manual-reset
      // event would be another round trip to Wine's server each buffer.
      deviceEvent_(CreateEventA(nullptr, FALSE, FALSE, nullptr)),
      slotFreeEvent_(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}

PlaybackEngine::~PlaybackEngine() {
  close();
  stopFill();
}

void PlaybackEngine::setListener(PlaybackListener* listener, int32_t user) {
  listener_ = listener ? listener : &builtIn_;
  user_ = user;
}

int32_t PlaybackEngine::msOf(int32_t frames) { return framesToMs(frames, source_->sampleRate()); }

void PlaybackEngine::report(void (PlaybackListener::*what)(int32_t)) { (listener_->*what)(user_); }

// A fill thread that outlives its time-out still uses the slots and the source:
// nothing of them is touched before it has ended.
void PlaybackEngine::stopFill() { StopAndWait(kThreadTimeoutMs); }

bool PlaybackEngine::open(AudioSource* source) {
  close();
  if (!source || source->status() != SourceStatus::Ok) return false;
  source_ = SourceRef(source);
  if (source_->peakLimit() > kWorkFullScale) source_ = SourceRef::adopt(limitSource(source, kWorkFullScale));

  channels_ = std::max(1, source_->channels());
  const int32_t rate = source_->sampleRate();
  WAVEFORMATEX format = {};
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = WORD(channels_);
  format.nSamplesPerSec = DWORD(rate);
  format.wBitsPerSample = 16;
  format.nBlockAlign = WORD(channels_ * 2);
  format.nAvgBytesPerSec = DWORD(channels_ * 2 * rate);
  // 0 (and a missing choice, below 0) is WAVE_MAPPER, the default device.
  const UINT device = deviceNumberPlusOne > 0 ? UINT(deviceNumberPlusOne - 1) : WAVE_MAPPER;
  const DWORD_PTR event = reinterpret_cast<DWORD_PTR>(deviceEvent_.get());
  if (waveOutOpen(&device_, device, &format, event, 0, CALLBACK_EVENT) != MMSYSERR_NOERROR &&
      waveOutOpen(&device_, device, &format, event, 0, CALLBACK_EVENT | WAVE_MAPPED) != MMSYSERR_NOERROR) {
    device_ = nullptr;
    source_.reset();
    return false;
  }

  if (volumeSet_) setVolumeDb(volumeDb_);

  framesPerBuffer_ = framesPerBuffer(rate);
  readBuffer_.assign(size_t(channels_) * size_t(framesPerBuffer_), 0);
  const DWORD capacity = DWORD(channels_ * framesPerBuffer_ * 2);
  if (!bufferMemory_.Allocate(SIZE_T(capacity) * kSlotCount)) {
    waveOutClose(device_);
    device_ = nullptr;
    source_.reset();
    return false;
  }
  for (int i = 0; i < kSlotCount; ++i) {
    Slot& slot = slots_[i];
    slot.capacity = capacity;
    slot.header = WAVEHDR();
    slot.header.lpData = bufferMemory_.data() + size_t(i) * capacity;
    slot.header.dwBufferLength = capacity;
    if (waveOutPrepareHeader(device_, &slot.header, sizeof slot.header) != MMSYSERR_NOERROR) {
      // A device that takes no buffers plays nothing: give back what it took.
      while (--i >= 0) waveOutUnprepareHeader(device_, &slots_[i].header, sizeof slots_[i].header);
      bufferMemory_.Reset();
      waveOutClose(device_);
      device_ = nullptr;
      source_.reset();
      return false;
    }
  }
  ring_.Reset();
  state_ = kOpen;
  ended_ = progressed_ = refused_ = false;
  position_ = source_->position();
  Start(THREAD_PRIORITY_NORMAL);
  report(&PlaybackListener::onStarted);
  listener_->onPosition(msOf(position_), user_);
  return true;
}

void PlaybackEngine::setVolumeDb(int db) {
  volumeSet_ = true;
  volumeDb_ = db;
  const DWORD level = volumeLevelOfDb(db);
  if (device_) waveOutSetVolume(device_, level | level << 16);
}

void PlaybackEngine::close() {
  if (state_ == 0) return;
  stopFill();
  waveOutReset(device_);
  int budgetMs = 1000;  // shared by all slots
  for (Slot& slot : slots_) {
    slot.header.dwBufferLength = slot.capacity;
    while (waveOutUnprepareHeader(device_, &slot.header, sizeof slot.header) == WAVERR_STILLPLAYING &&
           budgetMs > 0) {
      Sleep(50);
      budgetMs -= 50;
    }
  }
  bufferMemory_.Reset();
  readBuffer_.clear();
  source_.reset();
  waveOutClose(device_);
  device_ = nullptr;
  state_ = 0;
  ended_ = progressed_ = refused_ = false;
  position_ = 0;
  report(&PlaybackListener::onStopped);
}

void PlaybackEngine::play() {
  if (state_ == 0) return;
  if (state_ == kLooping) {
    waveOutReset(device_);
    state_ = kOpen;
    Start(THREAD_PRIORITY_NORMAL);
  }
  report(&PlaybackListener::onStarted);
}

void PlaybackEngine::loop() {
  if (state_ != kOpen) return;
  stopFill();
  source_->seek(position_);
  position_ = source_->position();
  state_ = kLooping;
  ended_ = progressed_ = false;
  if (!writeLoopBuffer()) {
    close();
    return;
  }
  report(&PlaybackListener::onLooping);
  listener_->onPosition(msOf(position_), user_);
}

void PlaybackEngine::seek(int32_t frame) {
  if (state_ == 0) return;
  stopFill();
  waveOutReset(device_);
  source_->seek(frame);
  position_ = source_->position();
  ended_ = progressed_ = false;
  if (state_ != kLooping) {
    Start(THREAD_PRIORITY_NORMAL);
  } else if (!writeLoopBuffer()) {
    close();
    return;
  }
  listener_->onPosition(msOf(position_), user_);
}

void PlaybackEngine::seekMs(int32_t ms) {
  if (state_ != 0) seek(msToFrames(ms, source_->sampleRate()));
}

bool PlaybackEngine::writeLoopBuffer() {
  Slot& slot = slots_[0];
  const int q = (framesPerBuffer_ + 3) / 4;
  source_->read(readBuffer_.data(), q);
  int16_t* data = reinterpret_cast<int16_t*>(slot.header.lpData);
  workToPcm16(readBuffer_.data(), data, q * channels_);
  repeatSnippet(data, framesPerBuffer_, channels_);
  slot.header.dwFlags = (slot.header.dwFlags & ~kStateFlags) | WHDR_BEGINLOOP | WHDR_ENDLOOP;
  slot.header.dwUser = DWORD_PTR(source_->position());
  slot.header.dwBufferLength = slot.capacity;
  slot.header.dwLoops = 0x7FFFFFFF;
  if (waveOutWrite(device_, &slot.header, sizeof slot.header) != MMSYSERR_NOERROR) return false;
  measureLevels(readBuffer_.data(), q, channels_, &slot.levels);
  listener_->onLevels(slot.levels, user_);
  return true;
}

void PlaybackEngine::Run() {
  ring_.Reset();
  for (Slot& slot : slots_) slot.header.dwFlags &= ~kStateFlags;
  CompletionThread completion(this);
  completion.Start(THREAD_PRIORITY_NORMAL);
  while (!StopRequested()) {
    if (!ring_.NextFree()) {
      const SlotRing::FullAction action = ring_.RingFull();
      if (action.raiseCompletion) SetThreadPriority(completion.Thread(), THREAD_PRIORITY_TIME_CRITICAL);
      if (action.lowerFill) SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
      WaitFor(slotFreeEvent_.get(), 1000);
      continue;
    }
    const int32_t start = source_->position();
    const int64_t available = int64_t(source_->length()) - start;
    if (available <= 0) break;
    const int n = int(std::min<int64_t>(available, framesPerBuffer_));
    Slot& slot = slots_[ring_.NextSlot()];
    source_->read(readBuffer_.data(), n);
    workToPcm16(readBuffer_.data(), reinterpret_cast<int16_t*>(slot.header.lpData), n * channels_);
    measureLevels(readBuffer_.data(), n, channels_, &slot.levels);
    slot.header.dwFlags &= ~kStateFlags;
    slot.header.dwBufferLength = DWORD(n * channels_ * 2);
    slot.header.dwUser = DWORD_PTR(start + n);
    ring_.Take();
    if (waveOutWrite(device_, &slot.header, sizeof slot.header) != MMSYSERR_NOERROR) {
      // The device refused the buffer: nothing after it can play, and what it
      // holds may never come back (a device that went away). The stream ends
      // here, at the last place the device reported.
      refused_ = true;
      break;
    }
  }
  if (refused_ && !StopRequested()) {
    ended_ = true;
    notify_.Post();
  }
  // The source is exhausted: the end is reached when the last buffer has played.
  while (!refused_ && !StopRequested()) {
    if (ring_.Drained()) {
      ended_ = true;
      notify_.Post();
      break;
    }
    WaitFor(slotFreeEvent_.get(), 1000);
  }
  completion.StopAndWait(kThreadTimeoutMs);
  waveOutReset(device_);
}

// Takes finished buffers back in ring order: the position and levels of each,
// the slot freed for the fill thread, a report posted to the UI thread.
void PlaybackEngine::CompletionThread::Run() {
  PlaybackEngine& e = *engine_;
  while (!StopRequested()) {
    const int index = e.ring_.NextToComplete();
    Slot& slot = e.slots_[index];
    if (e.ring_.IsFree(index) || !(slot.header.dwFlags & WHDR_DONE)) {
      WaitFor(e.deviceEvent_.get(), 1000);
      continue;
    }
    e.position_ = int32_t(slot.header.dwUser);
    {
      Lock lock(e.levelsLock_);
      e.currentLevels_ = slot.levels;
    }
    slot.header.dwFlags &= ~kStateFlags;
    const bool raiseFill = e.ring_.Complete();
    SetEvent(e.slotFreeEvent_.get());
    if (raiseFill) SetThreadPriority(e.Thread(), THREAD_PRIORITY_TIME_CRITICAL);
    e.progressed_ = true;
    e.notify_.Post();
  }
}

void PlaybackEngine::OnNotify() {
  if (ended_) {
    listener_->onPosition(msOf(refused_ ? position_.load() : source_->length()), user_);
    if (ended_) close();
    return;
  }
  if (progressed_.exchange(false)) {
    listener_->onPosition(msOf(position_), user_);
    ChannelLevels levels;
    {
      Lock lock(levelsLock_);
      levels = currentLevels_;
    }
    listener_->onLevels(levels, user_);
  }
}

