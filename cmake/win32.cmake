# The Windows side: programs and tests that only the mingw build makes.
enable_language(RC)
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -O coff")

# The whole program with its Win32 half (the layers' libraries, CMakeLists.txt).
add_library(lirva_win32 INTERFACE)
target_link_libraries(lirva_win32 INTERFACE lirva_core)

set(PROGRAM_RESOURCES ${CMAKE_SOURCE_DIR}/resources/lirva.rc)

# The portable core's tests once more, compiled for Windows and run under Wine,
# together with the tests of the Win32 side (with test dialog templates of their own).
file(GLOB WIN32_TEST_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/tests/win32/*.cpp ${CMAKE_SOURCE_DIR}/tests/win32/*.rc)
set_property(SOURCE ${WIN32_TEST_SOURCES} APPEND PROPERTY COMPILE_DEFINITIONS
             LIRVA_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
add_executable(win32_tests ${CORE_TEST_SOURCES} ${WIN32_TEST_SOURCES} ${PROGRAM_RESOURCES})
target_include_directories(win32_tests PRIVATE ${CMAKE_SOURCE_DIR}/resources ${CMAKE_SOURCE_DIR}/tests/win32)
target_link_libraries(win32_tests PRIVATE lirva_win32 gtest_main)
add_test(NAME win32_tests COMMAND win32_tests --gtest_output=xml:test-results/win32_tests.xml
         WORKING_DIRECTORY ${CMAKE_BINARY_DIR})

# The end-to-end test driver and its stand-in target.
if(EXISTS ${CMAKE_SOURCE_DIR}/cmake/e2e.cmake)
  include(${CMAKE_SOURCE_DIR}/cmake/e2e.cmake)
endif()

# The program itself.
add_executable(lirva WIN32 ${CMAKE_SOURCE_DIR}/app/main.cpp ${PROGRAM_RESOURCES})
target_include_directories(lirva PRIVATE ${CMAKE_SOURCE_DIR}/resources)
target_link_libraries(lirva PRIVATE lirva_win32)

# The installer: the program with its help pages and trailer, made by a small tool
# built for the build machine.
file(GLOB HELP_FILES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/help/*)
set(MAKE_INSTALLER ${CMAKE_BINARY_DIR}/make-installer)
set(MAKE_INSTALLER_SOURCES ${CMAKE_SOURCE_DIR}/tools/make_installer.cpp ${CMAKE_SOURCE_DIR}/setup/package.cpp
    ${CMAKE_SOURCE_DIR}/common/text.cpp
    ${CMAKE_SOURCE_DIR}/common/path.cpp)
add_custom_command(OUTPUT ${MAKE_INSTALLER}
  COMMAND c++ -std=c++17 -O2 -I${CMAKE_SOURCE_DIR} ${MAKE_INSTALLER_SOURCES} -o ${MAKE_INSTALLER}
  DEPENDS ${MAKE_INSTALLER_SOURCES} ${CMAKE_SOURCE_DIR}/setup/package.h
  COMMENT "Building the installer packaging tool")
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/lirvasetup.exe
  COMMAND ${MAKE_INSTALLER} ${CMAKE_BINARY_DIR}/lirvasetup.exe $<TARGET_FILE:lirva> ${CMAKE_SOURCE_DIR}/resources/help
  COMMAND chmod +x ${CMAKE_BINARY_DIR}/lirvasetup.exe
  DEPENDS lirva ${MAKE_INSTALLER} ${HELP_FILES}
  COMMENT "Packing lirvasetup.exe")
add_custom_target(installer ALL DEPENDS ${CMAKE_BINARY_DIR}/lirvasetup.exe)

# Benchmarks of the Windows side (run by hand or by bench/ scripts under Wine).
add_executable(field_load_bench ${CMAKE_SOURCE_DIR}/bench/win32/field_load_bench.cpp ${PROGRAM_RESOURCES})
target_include_directories(field_load_bench PRIVATE ${CMAKE_SOURCE_DIR}/resources)
target_link_libraries(field_load_bench PRIVATE lirva_win32)
add_executable(player_bench ${CMAKE_SOURCE_DIR}/bench/win32/player_bench.cpp ${PROGRAM_RESOURCES})
target_include_directories(player_bench PRIVATE ${CMAKE_SOURCE_DIR}/resources)
target_link_libraries(player_bench PRIVATE lirva_win32)
