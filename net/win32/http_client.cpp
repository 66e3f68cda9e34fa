// Windows Sockets 2 must come before <windows.h>.
#include <winsock2.h>
#include <ws2tcpip.h>

#include "net/win32/http_client.h"

#include <algorithm>
#include <string>

#include "common/open_retry.h"
#include "net/http_text.h"
#include "ui/progress.h"
#include "common/win32/wide.h"

namespace {

constexpr int kSendPiece = 1024;
constexpr int kBodyChunk = 1028;
constexpr int kMemoryBytes = 511;
constexpr DWORD kConnectBudgetMs = 5000;
constexpr DWORD kSendBudgetMs = 5000;
constexpr DWORD kLineBudgetMs = 5000;
constexpr DWORD kBodyBudgetMs = 7500;
constexpr DWORD kMemoryBudgetMs = 5000;

void StartNetwork() {
  static bool started = false;
  if (started) return;
  WSADATA data;
  started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
}


// select on one socket for `ms`: 1 ready, 0 time-out, −1 error or exception only.
int SelectOne(SOCKET s, bool write, DWORD ms) {
  fd_set ready, failed;
  FD_ZERO(&ready);
  FD_ZERO(&failed);
  FD_SET(s, &ready);
  FD_SET(s, &failed);
  timeval wait = {LONG(ms / 1000), LONG(ms % 1000 * 1000)};
  const int n = select(0, write ? nullptr : &ready, write ? &ready : nullptr, write ? &failed : nullptr, &wait);
  if (n < 0) return -1;
  if (n == 0) return 0;
  return FD_ISSET(s, &ready) ? 1 : -1;
}

class Connection {
 public:
  Connection(HWND sink, const volatile bool* stop) : sink_(sink), stop_(stop) {}
  ~Connection() {
    if (socket_ != INVALID_SOCKET) closesocket(socket_);
  }

  int Connect(const UrlParts& url) {
    StartNetwork();
    unsigned long address = inet_addr(url.name.c_str());
    if (address == INADDR_NONE) {
      const hostent* host = gethostbyname(url.name.c_str());
      address = host && host->h_addr_list[0] ? *reinterpret_cast<const unsigned long*>(host->h_addr_list[0]) : 0;
    }
    socket_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (socket_ == INVALID_SOCKET) return kHttpFailed;
    u_long on = 1;
    ioctlsocket(socket_, FIONBIO, &on);
    BOOL noDelay = TRUE;
    setsockopt(socket_, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);
    sockaddr_in peer = {};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(u_short(url.port));
    peer.sin_addr.s_addr = address;
    if (connect(socket_, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == 0) return kHttpOk;
    if (WSAGetLastError() != WSAEWOULDBLOCK) return Fail();
    for (DWORD left = kConnectBudgetMs;;) {
      const int ready = SelectOne(socket_, true, 200);
      if (ready > 0) return kHttpOk;
      if (ready < 0) return Fail();
      if (Gone()) return Fail(kHttpCancelled);
      if (left <= 200) return Fail();
      left -= 200;
    }
  }

  int Send(const std::string& request) {
    size_t sent = 0;
    DWORD left = kSendBudgetMs;
    while (sent < request.size()) {
      if (Gone()) return kHttpCancelled;
      const int piece = int(std::min<size_t>(request.size() - sent, kSendPiece));
      const int n = send(socket_, request.data() + sent, piece, 0);
      if (n > 0) sent += size_t(n);
      if (sent >= request.size()) break;
      if (n == kSendPiece) continue;
      if (n < 0 && WSAGetLastError() != WSAEWOULDBLOCK) return kHttpFailed;
      const int ready = SelectOne(socket_, true, 200);
      if (ready < 0) return kHttpFailed;
      if (ready == 0) {
        if (left <= 200) return kHttpFailed;
        left -= 200;
      }
    }
    return kHttpOk;
  }

  // Waits until the socket can be read: `budget` in rounds of `round` ms, the
  // messages served first and after every empty round.
  int WaitReadable(DWORD budget, DWORD round, bool pumpFirst) {
    if (pumpFirst && Gone()) return kHttpCancelled;
    for (DWORD left = budget;;) {
      const DWORD wait = std::min(round, left);
      const int ready = SelectOne(socket_, false, wait);
      if (ready > 0) return kHttpOk;
      if (ready < 0) return kHttpFailed;
      if (Gone()) return kHttpCancelled;
      if (left <= wait) return kHttpFailed;
      left -= wait;
    }
  }

  // Bytes waiting; 0 on a readable socket means the peer closed.
  u_long Waiting() {
    u_long waiting = 0;
    if (ioctlsocket(socket_, FIONREAD, &waiting) != 0) return 0;
    return waiting;
  }

  // The status line and the headers, byte by byte, never past the empty line
  // that ends them: each wait for more up to 5000 ms in 300 ms rounds. `onStatus`
  // runs once the status line said success; false from it fails the read.
  template <typename OnStatus>
  int ReadHead(ResponseHead* head, OnStatus onStatus) {
    for (;;) {
      const int wait = WaitReadable(kLineBudgetMs, 300, true);
      if (wait != kHttpOk) return wait;
      u_long waiting = Waiting();
      if (waiting == 0) return kHttpFailed;
      while (waiting-- > 0) {
        char c;
        if (recv(socket_, &c, 1, 0) <= 0) return kHttpFailed;
        switch (head->Take(c)) {
          case ResponseHead::Event::None: break;
          case ResponseHead::Event::StatusOk:
            if (!onStatus()) return kHttpFailed;
            break;
          case ResponseHead::Event::Complete: return kHttpOk;
          case ResponseHead::Event::Refused:
          case ResponseHead::Event::TooLong: return kHttpFailed;
        }
      }
    }
  }

  // Reads exactly `size` bytes.
  int ReadFull(char* data, int size, DWORD budget) {
    int got = 0;
    while (got < size) {
      const int wait = WaitReadable(budget, 200, false);
      if (wait != kHttpOk) return wait;
      const u_long waiting = Waiting();
      if (waiting == 0) return kHttpFailed;
      const int n = recv(socket_, data + got, int(std::min<u_long>(waiting, u_long(size - got))), 0);
      if (n <= 0) return kHttpFailed;
      got += n;
    }
    return kHttpOk;
  }

  // Up to `room` bytes of what comes, each read waiting up to `budget`.
  int ReadSome(char* data, int room, DWORD budget, int* got) {
    const int wait = WaitReadable(budget, 200, false);
    if (wait != kHttpOk) return wait;
    const u_long waiting = Waiting();
    if (waiting == 0) return kHttpFailed;
    const int n = recv(socket_, data, int(std::min<u_long>(waiting, u_long(room))), 0);
    if (n <= 0) return kHttpFailed;
    *got = n;
    return kHttpOk;
  }

  // The sink's messages served; true when it is gone or a stop was asked for.
  bool Gone() { return PumpMessages(sink_) || (stop_ && *stop_); }

 private:
  int Fail(int code = kHttpFailed) {
    closesocket(socket_);
    socket_ = INVALID_SOCKET;
    return code;
  }

  HWND sink_;
  const volatile bool* stop_;
  SOCKET socket_ = INVALID_SOCKET;
};

}  // namespace

int DownloadToFile(HWND sink, const char* url, const char* path, const volatile bool* stop) {
  const UrlParts parts = SplitUrl(url);
  Connection connection(sink, stop);
  int result = connection.Connect(parts);
  if (result != kHttpOk) return result;
  result = connection.Send(RequestText(parts));
  if (result != kHttpOk) return result;
  // The file is made once the status says success; a head that fails after that
  // (cut short, cancelled, too long) leaves no file behind.
  File file;
  bool opened = false;
  auto fail = [&](int code) {
    if (opened) {
      file.Close();
      DeleteFileW(Wide(path).c_str());
    }
    return code;
  };
  ResponseHead head;
  result = connection.ReadHead(&head, [&] {
    return opened = OpenWithRetry(file, path, FileMode::CreateAlways, kDownloadOpenBudgetMs);
  });
  if (result != kHttpOk) return fail(result);
  const int64_t length = head.ContentLength();
  if (length <= 0) return kHttpOk;

  char chunk[kBodyChunk];
  double fraction = 0;
  for (int64_t remaining = length; remaining > 0;) {
    const int size = int(std::min<int64_t>(remaining, kBodyChunk));
    result = connection.ReadFull(chunk, size, kBodyBudgetMs);
    if (result == kHttpOk && !file.WriteFull(chunk, uint32_t(size))) result = kHttpFailed;
    if (result != kHttpOk) return fail(result);
    remaining -= size;
    fraction += double(kBodyChunk) / double(length);
    SetProgressFraction(std::min(fraction, 1.0), sink);
    // A server that keeps up would otherwise leave no empty wait in which the
    // window is served: the window is served after every chunk, and closing it
    // (or a stop) cancels at once.
    if (remaining > 0 && connection.Gone()) return fail(kHttpCancelled);
  }
  if (!file.Flush()) return fail(kHttpFailed);
  return kHttpOk;
}

int FetchToMemory(HWND sink, const char* url, char* buffer) {
  buffer[0] = '\0';
  const UrlParts parts = SplitUrl(url);
  Connection connection(sink, nullptr);
  const int result = connection.Connect(parts);
  if (result != kHttpOk) return result;
  int got = 0;
  if (connection.Send(RequestText(parts)) == kHttpOk) {
    int n = 0;
    while (got < kMemoryBytes && connection.ReadSome(buffer + got, kMemoryBytes - got, kMemoryBudgetMs, &n) == kHttpOk)
      got += n;
  }
  buffer[got] = '\0';
  return kHttpOk;
}
