# libFuzzer targets, one per reader of untrusted bytes (clang only).
add_custom_target(fuzzers)
file(GLOB FUZZ_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/fuzz/*.cpp)
foreach(src ${FUZZ_SOURCES})
  get_filename_component(name ${src} NAME_WE)
  add_executable(${name} ${src})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_libraries(${name} PRIVATE lirva_core_fuzz)
  add_dependencies(fuzzers ${name})
endforeach()

# The core once more, instrumented for coverage and the sanitizers.
add_library(lirva_core_fuzz STATIC ${CORE_SOURCES})
target_include_directories(lirva_core_fuzz PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_options(lirva_core_fuzz PRIVATE -fsanitize=fuzzer-no-link,address,undefined)
