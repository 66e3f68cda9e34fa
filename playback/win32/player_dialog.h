// The "Play Control" dialog: plays one file with play, scrub, stop, jump to start
// and end, audible rewind and fast forward, a position bar, the waveform view, a
// level meter, the volume in decibels and the choice of output device. It runs
// its own message loop with its owner disabled, and is its engine's listener.
#pragma once
#include <windows.h>

#include <string>

#include <cstdint>

#include "audio/audio_source.h"
#include "playback/win32/playback_engine.h"
#include "common/win32/handles.h"
#include "playback/win32/waveform_view.h"
#include "ui/dialog.h"

// The file to play, built by the caller and alive as long as the dialog.
class PlayRequest {
 public:
  static constexpr uint16_t kNameBoxDisabled = 0x0002;

  virtual ~PlayRequest() = default;
  // A source for `path` with the caller's reference taken; a placeholder when the
  // file type is not supported.
  virtual AudioSource* open() const;

  uint16_t flags = 0;
  std::string displayName;  // UTF-8
  std::string path;         // UTF-8
};

// Fills the request for a file: its path, and its name without folder and
// extension for display; the name box disabled.
void MakePlayRequest(PlayRequest& request, const char* path);

class PlayerDialog : public ModelessDialog, private PlaybackListener {
 public:
  explicit PlayerDialog(PlayRequest& request);
  ~PlayerDialog() override;

  void OnInitDialog() override;
  void OnDestroy() override;
  void UpdateControls() override;
  void OnCommand(WPARAM command, UINT code) override;
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  bool OnKeyDown(UINT key) override;
  // A held arrow key repeats its key-down: the hold goes on (the dialog's own
  // arrow-key navigation would take the focus, and so the press, from the button).
  bool OnKeyRepeat(UINT key) override { return key == VK_LEFT || key == VK_RIGHT; }
  bool OnKeyUp(UINT virtualKey) override;
  // Closes the engine.
  virtual void Stop();
  // The waveform's cursor, in frames of the file.
  int32_t CursorFrame() { return waveform_.cursor(); }
  HWND WaveWindow() const { return waveform_.window(); }
  // Whether the waveform's worker has served the last request.
  bool WaveIdle() { return waveform_.idle(); }
  WaveformView& Waveform() { return waveform_; }

 private:
  void onStarted(int32_t user) override;
  void onStopped(int32_t user) override;
  void onLooping(int32_t user) override;
  void onPosition(int32_t ms, int32_t user) override;
  void onLevels(const ChannelLevels& levels, int32_t user) override;

  void Play();
  void Scrub();
  void JumpToStart();
  void JumpToEnd();
  void PlayLastSeconds();
  void StartCue(bool forward);
  void EndCue();
  void SeekToCursor();
  void OnPositionBar(int code, int thumb);
  void ShowTime(int32_t ms);
  void ShowEmptyMeter();
  // The volume control's value to the device (and to the engine's open stream).
  void ApplyVolume();
  SourceRef OpenSource();
  void PressButton(int controlId, bool down);

  PlayRequest* request_;
  int32_t sampleRate_ = 44100;
  int32_t positionMs_ = 0;
  int32_t lengthMs_ = 0;
  int barValue_ = 0;  // the position bar's thumb as last set
  char shownTime_[32] = "0:00:00.00";  // the time display's text as last set
  bool followed_ = false;               // the waveform was asked to follow since the last levels
  PlaybackEngine engine_;
  HWND meter_ = nullptr;
  HWND timeDisplay_ = nullptr;  // kept: finding a control is a round trip to Wine's server
  HWND positionBar_ = nullptr;
  HWND tooltip_ = nullptr;
  int resumeMode_ = 0;  // after a cue: 0 nothing, 1 scrub, 2 play
  bool rewinding_ = false;
  bool forwarding_ = false;
  WaveformView waveform_;
  Font timeFont_;
};
