# The script reader's libFuzzer target (clang only). Included from
# fuzz/CMakeLists.txt: include(${CMAKE_CURRENT_SOURCE_DIR}/script_reader.cmake)
#
# The library's sources are compiled once more with coverage instrumentation
# (lxniccfg_fuzz_core, shared by every fuzzing target that wants it), so the
# fuzzer is guided by the reader's walk and not only by this target's file,
# while the regular library targets stay as they are.
if(NOT TARGET lxniccfg_fuzz_core)
  add_library(lxniccfg_fuzz_core STATIC ${LXNICCFG_SOURCES})
  target_include_directories(lxniccfg_fuzz_core PUBLIC
    ${CMAKE_SOURCE_DIR}/include ${CMAKE_SOURCE_DIR}/src)
  target_compile_options(lxniccfg_fuzz_core PUBLIC -fsanitize=fuzzer-no-link,address,undefined)
  target_link_options(lxniccfg_fuzz_core PUBLIC -fsanitize=address,undefined)
  target_link_libraries(lxniccfg_fuzz_core PUBLIC XercesC::XercesC lxnicif)
endif()

add_executable(script_reader_fuzzer ${CMAKE_CURRENT_LIST_DIR}/script_reader_fuzzer.cpp)
target_link_options(script_reader_fuzzer PRIVATE -fsanitize=fuzzer)
target_link_libraries(script_reader_fuzzer PRIVATE lxniccfg_fuzz_core)
