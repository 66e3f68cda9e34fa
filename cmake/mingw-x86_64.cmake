# Cross-compiling the Windows build with mingw-w64 for 64-bit x86: the same
# programs as the 32-bit build, for machines that run no 32-bit program (SSE2
# floating point is the default here).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(LIRVA_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
