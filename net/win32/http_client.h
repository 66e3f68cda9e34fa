// A small HTTP/1.0 client on Windows Sockets for the user-interface thread: one
// URL at a time, non-blocking, waiting in short select rounds between which the
// thread's messages are served. The progress sink is a window with a progress bar
// (control 102); closing it cancels.
#pragma once
#include <windows.h>

#include <cstdint>

enum HttpResult : uint8_t { kHttpOk = 0, kHttpCancelled = 1, kHttpFailed = 2 };

// Saves the response body in `path`. A file is left only after a success status
// (200 … 399); one cut short (failure or cancel) is deleted. A non-null `stop`
// that becomes true while the sink's messages are served cancels as closing the
// sink does. At most 100 lines and 16 KB of status and headers are read.
int DownloadToFile(HWND sink, const char* url, const char* path, const volatile bool* stop = nullptr);

// The first 511 bytes of the raw response (status line, headers, body) into
// `buffer` (at least 512 bytes), ended with a zero. The result is that of the
// connection; what follows fails quietly with what has arrived.
int FetchToMemory(HWND sink, const char* url, char* buffer);
