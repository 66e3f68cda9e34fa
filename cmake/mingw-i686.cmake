# Cross-compiling the Windows build with mingw-w64 for 32-bit x86: what we ship.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(LIRVA_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
# SSE2 floating point.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
