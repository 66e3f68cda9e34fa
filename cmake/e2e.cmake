# The end-to-end test driver (a console program that drives another program's
# windows from outside) and the small program its own tests drive.
set(E2E_DRIVER_DIR ${CMAKE_SOURCE_DIR}/tests/e2e/driver)

add_executable(lirva-driver
  ${E2E_DRIVER_DIR}/driver_main.cpp ${E2E_DRIVER_DIR}/protocol.cpp
  ${E2E_DRIVER_DIR}/remote_memory.cpp ${E2E_DRIVER_DIR}/window_query.cpp
  ${E2E_DRIVER_DIR}/window_commands.cpp ${E2E_DRIVER_DIR}/message_commands.cpp
  ${E2E_DRIVER_DIR}/input_commands.cpp ${E2E_DRIVER_DIR}/control_commands.cpp
  ${E2E_DRIVER_DIR}/dialog_commands.cpp ${E2E_DRIVER_DIR}/process_commands.cpp)
target_compile_definitions(lirva-driver PRIVATE WINVER=0x0600 _WIN32_WINNT=0x0600 _WIN32_IE=0x0700)
target_link_libraries(lirva-driver PRIVATE comctl32 comdlg32 user32 gdi32)

add_executable(driver-target WIN32
  ${E2E_DRIVER_DIR}/target_main.cpp ${E2E_DRIVER_DIR}/driver_target.rc)
target_compile_definitions(driver-target PRIVATE WINVER=0x0600 _WIN32_WINNT=0x0600 _WIN32_IE=0x0700)
target_include_directories(driver-target PRIVATE ${E2E_DRIVER_DIR})
target_link_libraries(driver-target PRIVATE comctl32 comdlg32 shell32 user32 gdi32)

# Each suite drives its programs under Wine on an Xvfb display and in a Wine prefix
# of its own (wine-e2e-<name> in the build folder).
function(add_e2e_suite name)
  add_test(NAME e2e_${name}
           COMMAND /usr/bin/python3 ${CMAKE_SOURCE_DIR}/tests/e2e/test_${name}.py
                   --build ${CMAKE_BINARY_DIR} --prefix ${CMAKE_BINARY_DIR}/wine-e2e-${name}
                   --xml ${CMAKE_BINARY_DIR}/test-results/e2e_${name}.xml
           WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
endfunction()

# The HTTP client in a real progress window, and a stand-in for the sibling
# programs and their installers, for the network suite.
add_executable(http_probe ${E2E_DRIVER_DIR}/http_probe.cpp ${PROGRAM_RESOURCES})
target_include_directories(http_probe PRIVATE ${CMAKE_SOURCE_DIR}/resources)
target_link_libraries(http_probe PRIVATE lirva_win32)
add_executable(stand_in ${E2E_DRIVER_DIR}/stand_in.cpp)
target_link_libraries(stand_in PRIVATE advapi32)

# The driver's own tests, on its stand-in target program.
add_e2e_suite(driver)
# The editor (lirva.exe) driven from outside: files added through the real
# file-open dialog, tags written, messages, registry values, web pages.
add_e2e_suite(editor)
# The player opened from the editor, its sound captured at real-time rate.
add_e2e_suite(player)
# The installer and the uninstaller.
add_e2e_suite(setup)
# The HTTP client, the version check and the sibling programs against servers on
# 127.0.0.1.
add_e2e_suite(network)
