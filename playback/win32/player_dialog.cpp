#include "playback/win32/player_dialog.h"

#include <algorithm>
#include <cstring>

#include <uxtheme.h>

#include "common/win32/settings.h"
#include "audio/cue_source.h"
#include "audio/frame_time.h"
#include "audio/open_source.h"
#include "common/path.h"
#include "playback/player_plan.h"
#include "playback/win32/level_controls.h"
#include "resource.h"
#include "ui/control_tables.h"
#include "ui/controls.h"

namespace {

constexpr int32_t kCueRampMs = 8000;
// How long a report waits for the waveform's worker; a worker kept from the processor
// longer leaves its columns to WM_PAINT.
constexpr DWORD kWaveformWaitMs = 2;

}  // namespace

AudioSource* PlayRequest::open() const {
  AudioSource* source = openAudioSource(path.c_str());
  return source ? source : newSilentSource(SourceStatus::BadFormat);
}

void MakePlayRequest(PlayRequest& request, const char* path) {
  request.path = path;
  request.displayName = FileTitleOf(path);
  request.flags = PlayRequest::kNameBoxDisabled;
}

PlayerDialog::PlayerDialog(PlayRequest& request) : request_(&request) { RegisterLevelControls(); }

PlayerDialog::~PlayerDialog() {
  waveform_.stopWorker();
  engine_.setListener(nullptr, 0);
}

SourceRef PlayerDialog::OpenSource() { return SourceRef::adopt(request_->open()); }

void PlayerDialog::OnInitDialog() {
  meter_ = Item(IDC_PLAYER_METER);
  timeDisplay_ = Item(IDC_PLAYER_TIME);
  positionBar_ = Item(IDC_PLAYER_POSITION);
  HWND wave = Item(IDC_PLAYER_WAVE);
  // Where dialog units round, the waveform's last pixel row is also the position
  // bar's first, and the bar, repainted as play moves, would draw over the frame's
  // bottom line: the waveform ends above the bar.
  RECT waveRect, barRect;
  GetWindowRect(wave, &waveRect);
  GetWindowRect(positionBar_, &barRect);
  if (waveRect.bottom > barRect.top && barRect.top > waveRect.top)
    SetWindowPos(wave, nullptr, 0, 0, waveRect.right - waveRect.left, barRect.top - waveRect.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  waveform_.attach(wave);

  SetItemUtf8(hwnd(), IDC_PLAYER_NAME, request_->displayName);
  if (request_->flags & PlayRequest::kNameBoxDisabled) EnableWindow(Item(IDC_PLAYER_NAME), FALSE);

  SetSliderValue(Item(IDC_PLAYER_VOLUME), ReadMachineNumber(kPlayerArea, kVolumeDBValue, kDefaultVolumeDB));
  ShowEmptyMeter();

  timeFont_.Reset(CreateFontA(16, 0, 0, 0, 700, 0, 0, 0, 0, 0, 0, 0, 0x30, nullptr));
  SendDlgItemMessageA(hwnd(), IDC_PLAYER_TIME, WM_SETFONT, reinterpret_cast<WPARAM>(timeFont_.get()), FALSE);

  for (int id : kPlayerHoldButtons) MakeHoldButton(Item(id));
  for (const BitmapButtonRow& b : kPlayerBitmapButtons) SetButtonBitmap(hwnd(), b.controlId, b.bitmap);
  AddTooltips(hwnd(), tooltip_, kPlayerTooltips, kPlayerTooltipCount);

  SetScrollRange(positionBar_, SB_CTL, 0, 100, FALSE);
  // The bar is drawn in the classic style: a themed scroll bar makes several memory
  // device contexts for every move of its thumb, each a handful of round trips to
  // Wine's server, and while playing the thumb moves once per hundredth of the file.
  SetWindowTheme(positionBar_, L" ", L" ");

  HWND devices = Item(IDC_PLAYER_DEVICE);
  SendMessageA(devices, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("[Default Sound Out]"));
  const UINT deviceCount = waveOutGetNumDevs();
  for (UINT i = 0; i < deviceCount; ++i) {
    WAVEOUTCAPSA caps = {};
    if (waveOutGetDevCapsA(i, &caps, sizeof caps) != MMSYSERR_NOERROR) caps.szPname[0] = '\0';
    SendMessageA(devices, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(caps.szPname));
  }
  SendMessageA(devices, CB_SETCURSEL, WPARAM(ReadMachineNumber(kPlayerArea, kDeviceValue, kDefaultDevice)), 0);

  engine_.setListener(this, 0);
  engine_.deviceNumberPlusOne = int(SendMessageA(devices, CB_GETCURSEL, 0, 0));
  ApplyVolume();

  {
    SourceRef source = OpenSource();
    lengthMs_ = framesToMs(source->length(), source->sampleRate());
    sampleRate_ = source->sampleRate();
  }
  ShowTime(0);

  Play();

  if (!waveform_.isRunning()) {
    SourceRef source = OpenSource();
    waveform_.setFileLength(source->length());
    waveform_.startWorker(source.get());
    ShowTime(lengthMs_);
  }
  UpdateControls();
}

void PlayerDialog::OnDestroy() {
  waveform_.stopWorker();
  engine_.setListener(nullptr, 0);
  engine_.close();
  WriteMachineNumber(kPlayerArea, kDeviceValue, int(SendDlgItemMessageA(hwnd(), IDC_PLAYER_DEVICE, CB_GETCURSEL, 0, 0)));
  WriteMachineNumber(kPlayerArea, kVolumeDBValue, SliderValue(Item(IDC_PLAYER_VOLUME)));
  timeFont_.Reset();  // the window that used it is going
}

void PlayerDialog::UpdateControls() {
  if (!hwnd()) return;
  const bool open = engine_.isOpen();
  const bool looping = engine_.isLooping();
  CheckDlgButton(hwnd(), IDC_PLAYER_PLAY, open && !looping ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(hwnd(), IDC_PLAYER_SCRUB, looping ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(hwnd(), IDC_PLAYER_STOP, open ? BST_UNCHECKED : BST_CHECKED);
}

void PlayerDialog::OnCommand(WPARAM command, UINT code) {
  switch (LOWORD(command)) {
    case IDC_PLAYER_PLAY: if (code == BN_CLICKED) Play(); break;
    case IDC_PLAYER_SCRUB: if (code == BN_CLICKED) Scrub(); break;
    case IDC_PLAYER_STOP: if (code == BN_CLICKED) Stop(); break;
    case IDC_PLAYER_START: if (code == BN_CLICKED) JumpToStart(); break;
    case IDC_PLAYER_END: if (code == BN_CLICKED) JumpToEnd(); break;
    case IDC_PLAYER_REWIND:
    case IDC_PLAYER_FORWARD:
      if (code == kHoldPressed)
        StartCue(LOWORD(command) == IDC_PLAYER_FORWARD);
      else if (code == kHoldReleased)
        EndCue();
      break;
    case IDC_PLAYER_DEVICE:
      if (code == CBN_SELCHANGE)
        engine_.deviceNumberPlusOne = int(SendDlgItemMessageA(hwnd(), IDC_PLAYER_DEVICE, CB_GETCURSEL, 0, 0));
      break;
    case IDC_PLAYER_VOLUME:
      if (code == kSliderChanged) ApplyVolume();
      break;
    case IDC_PLAYER_WAVE:
      if (code == kWaveClicked) SeekToCursor();
      break;
  }
  UpdateControls();
}

INT_PTR PlayerDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_HSCROLL && reinterpret_cast<HWND>(lParam) == positionBar_) {
    OnPositionBar(LOWORD(wParam), short(HIWORD(wParam)));
    return 0;
  }
  // The time display asks for its colours on every change of its text. The answer is
  // the one a dialog gives without a tab texture, given here: the themed default
  // procedure would first read the dialog's texture setting from the window's
  // properties, a round trip to Wine's server ten times a second.
  if (message == WM_CTLCOLORSTATIC && reinterpret_cast<HWND>(lParam) == timeDisplay_) {
    HDC dc = reinterpret_cast<HDC>(wParam);
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    SetBkColor(dc, GetSysColor(COLOR_3DFACE));
    return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_3DFACE));
  }
  return ModelessDialog::HandleMessage(message, wParam, lParam);
}

bool PlayerDialog::OnKeyDown(UINT key) {
  switch (key) {
    case VK_F9: Play(); break;
    case VK_F10: Scrub(); break;
    case VK_SPACE:
      if (engine_.isLooping())
        Play();
      else
        Scrub();
      break;
    case VK_ESCAPE: Stop(); break;
    case VK_HOME: JumpToStart(); break;
    case VK_END: JumpToEnd(); break;
    case VK_LEFT: PressButton(IDC_PLAYER_REWIND, true); break;
    case VK_RIGHT: PressButton(IDC_PLAYER_FORWARD, true); break;
    case VK_F9 | kKeyAlt: PlayLastSeconds(); break;
    case VK_RETURN: End(IDOK); return true;
    default: return false;
  }
  return true;
}

bool PlayerDialog::OnKeyUp(UINT virtualKey) {
  if (virtualKey == VK_LEFT) {
    PressButton(IDC_PLAYER_REWIND, false);
    return true;
  }
  if (virtualKey == VK_RIGHT) {
    PressButton(IDC_PLAYER_FORWARD, false);
    return true;
  }
  return false;
}

void PlayerDialog::PressButton(int controlId, bool down) {
  SendMessageA(Item(controlId), down ? WM_LBUTTONDOWN : WM_LBUTTONUP, down ? MK_LBUTTON : 0, 0);
}

void PlayerDialog::Stop() { engine_.close(); }

void PlayerDialog::ApplyVolume() {
  // One path only: the open stream's volume (the device's mixer lines as well
  // would compound with it where both act). It works under Wine, where a device
  // number reaches no volume at all, and on Windows alike.
  engine_.setVolumeDb(SliderValue(Item(IDC_PLAYER_VOLUME)));
}

void PlayerDialog::Play() {
  if (engine_.isLooping()) {
    engine_.play();
    return;
  }
  Stop();
  SourceRef source = OpenSource();
  if (source->status() != SourceStatus::Ok) return;
  lengthMs_ = framesToMs(source->length(), source->sampleRate());
  if (positionMs_ != 0) source->seek(msToFrames(positionMs_, source->sampleRate()));
  sampleRate_ = source->sampleRate();
  engine_.open(source.get());
}

void PlayerDialog::Scrub() {
  if (!engine_.isOpen()) Play();
  engine_.loop();
}

void PlayerDialog::JumpToStart() {
  ShowTime(0);
  engine_.seek(0);
}

void PlayerDialog::JumpToEnd() {
  int32_t t;
  {
    SourceRef source = OpenSource();
    t = framesToMs(source->length(), source->sampleRate());
  }
  if (engine_.isOpen()) {
    t = std::max(t - 1500, 0);
    engine_.seekMs(t);
  }
  ShowTime(t);
}

void PlayerDialog::PlayLastSeconds() {
  Stop();
  SourceRef source = OpenSource();
  lengthMs_ = framesToMs(source->length(), source->sampleRate());
  positionMs_ = lengthMs_ - 3000;
  if (positionMs_ > 0)
    source->seek(msToFrames(positionMs_, source->sampleRate()));
  else
    positionMs_ = 0;
  sampleRate_ = source->sampleRate();
  engine_.open(source.get());
}

void PlayerDialog::StartCue(bool forward) {
  if (forward ? forwarding_ : rewinding_) return;
  if (forward ? rewinding_ : forwarding_) EndCue();
  resumeMode_ = !engine_.isOpen() ? 0 : engine_.isLooping() ? 1 : 2;
  const bool fast = !engine_.isLooping();
  Stop();
  SourceRef source = OpenSource();
  source->seek(msToFrames(positionMs_, source->sampleRate()));
  double from, to;
  if (forward) {
    from = fast ? 1.5 : 0.1;
    to = fast ? 7.0 : 3.0;
  } else {
    from = fast ? -0.5 : -0.1;
    to = fast ? -7.0 : -3.0;
  }
  SourceRef cue(new CueSource(source.get(), kCueRampMs, from, to));
  engine_.open(cue.get());
  (forward ? forwarding_ : rewinding_) = true;
}

void PlayerDialog::EndCue() {
  engine_.close();
  const int mode = resumeMode_;
  rewinding_ = forwarding_ = false;
  if (mode == 1)
    Scrub();
  else if (mode == 2)
    Play();
}

void PlayerDialog::SeekToCursor() {
  if (engine_.isOpen())
    engine_.seek(waveform_.cursor());
  else
    ShowTime(framesToMs(waveform_.cursor(), sampleRate_));
}

void PlayerDialog::OnPositionBar(int code, int thumb) {
  const PositionBarMove move = positionBarMove(code, thumb, positionMs_, lengthMs_);
  switch (move.kind) {
    case PositionBarMove::None: return;
    case PositionBarMove::JumpStart: JumpToStart(); return;
    case PositionBarMove::JumpEnd: JumpToEnd(); return;
    case PositionBarMove::Seek:
      ShowTime(move.ms);
      engine_.seekMs(move.ms);
      return;
  }
}

void PlayerDialog::ShowTime(int32_t ms) {
  positionMs_ = std::max(ms, 0);
  // The waveform's worker is asked first: it scrolls and computes on the other
  // processor while this thread updates the time, the bar and the meter, and the
  // columns it marks are then most often painted in this same wake of the thread.
  if (waveform_.isRunning()) {
    const int32_t frame = msToFrames(positionMs_, sampleRate_);
    waveform_.follow(frame, engine_.isLooping() ? sampleRate_ * 25 / 1000 : 0, std::max(frame - sampleRate_, 0),
                     2 * sampleRate_);
    followed_ = true;
  }
  char text[32];
  formatPlayTime(positionMs_, text);
  // The display is repainted only when its text changes.
  if (std::strcmp(text, shownTime_) != 0) {
    std::strcpy(shownTime_, text);
    SetWindowTextA(timeDisplay_, text);
  }
  // The bar is told only when its thumb moves: under Wine even asking a scroll bar
  // for its position costs about one per cent of a core at ten reports a second.
  const int barValue = positionBarValue(positionMs_, lengthMs_);
  if (barValue != barValue_) {
    barValue_ = barValue;
    SetScrollPos(positionBar_, SB_CTL, barValue, TRUE);
  }
}

void PlayerDialog::ShowEmptyMeter() {
  ChannelLevels empty;
  empty.count = 1;
  empty.level[0] = -127;
  SetMeterLevels(meter_, empty);
}

void PlayerDialog::onStarted(int32_t) { UpdateControls(); }
void PlayerDialog::onLooping(int32_t) { UpdateControls(); }
void PlayerDialog::onStopped(int32_t) {
  ShowEmptyMeter();
  UpdateControls();
}
void PlayerDialog::onPosition(int32_t ms, int32_t) { ShowTime(ms); }
void PlayerDialog::onLevels(const ChannelLevels& levels, int32_t) {
  if (engine_.isOpen()) SetMeterLevels(meter_, levels);
  // The levels come last in a report: the waveform's worker has had the time of the
  // time display, the bar and the meter to follow the position, and what it changed
  // is painted in this same wake rather than in one of its own (a waiting thread
  // woken again for WM_PAINT, and its update-region round trips).
  if (followed_) {
    followed_ = false;
    waveform_.paintFollowed(kWaveformWaitMs);
  }
}
