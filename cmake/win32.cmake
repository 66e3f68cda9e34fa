# The Windows side: programs and tests that only the mingw build makes.

# The portable core's tests once more, compiled for Windows and run under Wine,
# together with the tests of the Win32 side.
file(GLOB WIN32_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/win32/*.cpp)
add_executable(win32_tests ${CORE_TEST_SOURCES} ${WIN32_TEST_SOURCES})
target_link_libraries(win32_tests PRIVATE lirva_core gtest_main)
add_test(NAME win32_tests COMMAND win32_tests --gtest_output=xml:test-results/win32_tests.xml
         WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
