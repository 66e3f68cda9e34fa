// Runs the program's HTTP client once inside a real progress window, for the
// network tests:
//
//   http_probe file URL OUT [CANCEL_AT]   download into OUT; with CANCEL_AT the
//                                         progress window is closed once OUT holds
//                                         at least that many bytes
//   http_probe memory URL OUT             fetch into memory, then save the text in OUT
//
// Prints "result N" and exits with N (0 done, 1 cancelled, 2 failed).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "net/win32/http_client.h"
#include "ui/progress.h"

namespace {

std::string watchedFile;
long long cancelAt = -1;

void CALLBACK WatchFile(HWND window, UINT, UINT_PTR, DWORD) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (GetFileAttributesExA(watchedFile.c_str(), GetFileExInfoStandard, &data) &&
      ((long long)data.nFileSizeHigh << 32 | data.nFileSizeLow) >= cancelAt)
    DestroyWindow(window);
}

class ProbeTask : public ProgressTask {
 public:
  ProbeTask(bool memory, std::string url, std::string out)
      : ProgressTask("Downloading"), memory_(memory), url_(std::move(url)), out_(std::move(out)) {}
  int Run() override {
    if (memory_) {
      char buffer[512];
      std::memset(buffer, 0x55, sizeof buffer);
      result = FetchToMemory(window, url_.c_str(), buffer);
      FILE* f = std::fopen(out_.c_str(), "wb");
      if (f) {
        std::fwrite(buffer, 1, std::strlen(buffer), f);
        std::fclose(f);
      }
    } else {
      if (cancelAt >= 0) SetTimer(window, 1, 20, WatchFile);
      result = DownloadToFile(window, url_.c_str(), out_.c_str());
    }
    return 0;
  }
  int result = -1;

 private:
  bool memory_;
  std::string url_, out_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: http_probe file|memory URL OUT [CANCEL_AT]\n");
    return 3;
  }
  const bool memory = std::strcmp(argv[1], "memory") == 0;
  watchedFile = argv[3];
  if (argc > 4) cancelAt = std::atoll(argv[4]);
  ProbeTask task(memory, argv[2], argv[3]);
  RunProgress(task, nullptr);
  std::printf("result %d\n", task.result);
  return task.result;
}
