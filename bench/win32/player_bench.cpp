// Two timings of the player on an MP3 file, under Wine:
// - scrub: with the engine looping, the time from a seek to the new snippet queued
//   on the device (the seek call returns once waveOutWrite has taken it);
// - waveform scroll: with the view showing two seconds, the time the worker takes to
//   serve a request moved on by a tenth of a second (one position report).
//
//     player_bench.exe FILE.mp3
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "audio/frame_time.h"
#include "audio/open_source.h"
#include "playback/win32/playback_engine.h"
#include "playback/win32/waveform_view.h"
#include "resource.h"

namespace {

double Now() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return double(t.QuadPart) / double(frequency.QuadPart);
}

void Report(const char* what, std::vector<double> ms) {
  std::sort(ms.begin(), ms.end());
  std::printf("%s: median %.2f ms, 90th percentile %.2f ms, worst %.2f ms over %zu\n", what, ms[ms.size() / 2],
              ms[ms.size() * 9 / 10], ms.back(), ms.size());
}

void Pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: player_bench FILE.mp3\n");
    return 2;
  }
  SourceRef probe = SourceRef::adopt(openAudioSource(argv[1]));
  if (probe->status() != SourceStatus::Ok) {
    std::fprintf(stderr, "cannot play %s\n", argv[1]);
    return 1;
  }
  const int32_t rate = probe->sampleRate();
  const int32_t length = probe->length();

  // Scrub: seeks to places spread over the file while looping.
  {
    PlaybackEngine engine;
    SourceRef source = SourceRef::adopt(openAudioSource(argv[1]));
    if (!engine.open(source.get())) {
      std::fprintf(stderr, "no device\n");
      return 1;
    }
    engine.loop();
    std::vector<double> times;
    for (int i = 0; i < 60; ++i) {
      const int32_t frame = int32_t(int64_t(length) * ((i * 37) % 60) / 61);
      const double t0 = Now();
      engine.seek(frame);
      times.push_back((Now() - t0) * 1000);
      Pump();
      Sleep(20);
    }
    engine.close();
    Report("scrub, seek to the snippet queued", times);
  }

  // Waveform scroll: the player's view (224 dialog units wide) following playback.
  {
    WaveformView view;
    HWND window = CreateWindowExA(0, CLASS_WAVEWINDOW, "", WS_POPUP | WS_VISIBLE, 0, 0, 336 + 2, 70, nullptr,
                                  nullptr, GetModuleHandleA(nullptr), nullptr);
    view.attach(window);
    SourceRef source = SourceRef::adopt(openAudioSource(argv[1]));
    view.setFileLength(length);
    view.startWorker(source.get());
    std::vector<double> times;
    int32_t position = rate * 5;
    const auto serve = [&](int32_t at) {
      const double t0 = Now();
      view.follow(at, 0, std::max(at - rate, 0), 2 * rate);
      while (!view.idle()) Sleep(0);
      return (Now() - t0) * 1000;
    };
    serve(position);
    for (int i = 0; i < 100 && position + 3 * rate < length; ++i) {
      position += rate / 10;
      times.push_back(serve(position));
      Pump();
    }
    view.stopWorker();
    DestroyWindow(window);
    std::printf("waveform: %d columns over %d frames\n", view.width(), 2 * rate);
    Report("waveform scroll by a tenth of a second", times);
  }
  return 0;
}
