# Shared build helpers: one library per subsystem, tests, benchmarks and fuzz targets.

set(VISTREL_WARNINGS -Wall -Wextra -Wno-unused-parameter)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  # GCC 12 reports false overlaps in std::string concatenation at -O2.
  list(APPEND VISTREL_WARNINGS -Wno-restrict)
endif()

# A fuzzing build instruments every library, so that libFuzzer sees coverage inside the
# code under test, not only in the fuzz target's own source.
if(VISTREL_FUZZ AND CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  # Every report halts, so that libFuzzer writes the input as an artifact.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
                      -fno-omit-frame-pointer -g)
  add_link_options(-fsanitize=address,undefined)
endif()

if(VISTREL_SANITIZE)
  add_compile_options(-fsanitize=${VISTREL_SANITIZE} -fno-sanitize-recover=all
                      -fno-omit-frame-pointer -g)
  add_link_options(-fsanitize=${VISTREL_SANITIZE})
endif()

# vistrel_library(NAME SOURCES... [DEPS libs...])
# Defines the library vistrel_NAME with src/ as its include root.
function(vistrel_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;PRIVATE_DEPS" ${ARGN})
  add_library(vistrel_${name} STATIC ${ARG_SOURCES})
  target_include_directories(vistrel_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_compile_options(vistrel_${name} PRIVATE ${VISTREL_WARNINGS})
  target_link_libraries(vistrel_${name} PUBLIC ${ARG_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
  set_property(GLOBAL APPEND PROPERTY VISTREL_LIBRARIES vistrel_${name})
endfunction()

# vistrel_test(NAME SOURCES... [DEPS libs...])
# A GoogleTest executable registered with ctest.
function(vistrel_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_compile_options(${name} PRIVATE ${VISTREL_WARNINGS})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} vistrel_test_support GTest::gtest_main GTest::gmock)
  gtest_discover_tests(${name}
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    PROPERTIES ENVIRONMENT "VISTREL_PHOTOS=${VISTREL_PHOTOS_DIR}"
    DISCOVERY_TIMEOUT 60)
endfunction()

# vistrel_bench(NAME SOURCES... [DEPS libs...])
function(vistrel_bench name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_compile_options(${name} PRIVATE ${VISTREL_WARNINGS})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} benchmark::benchmark_main)
  target_compile_definitions(${name} PRIVATE VISTREL_PHOTOS_DIR="${VISTREL_PHOTOS_DIR}")
endfunction()

# vistrel_fuzz(NAME SOURCES... [DEPS libs...])
# The source defines LLVMFuzzerTestOneInput. With clang and VISTREL_FUZZ a libFuzzer
# binary NAME is built; always a NAME_replay executable runs the seed corpus
# fuzz/corpus/NAME under ctest, so every target keeps compiling and its regression
# inputs keep passing with any compiler.
function(vistrel_fuzz name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  if(VISTREL_FUZZ AND CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    add_executable(${name} ${ARG_SOURCES})
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_libraries(${name} PRIVATE ${ARG_DEPS})
  endif()
  add_executable(${name}_replay ${ARG_SOURCES} ${PROJECT_SOURCE_DIR}/fuzz/replay_main.cpp)
  target_link_libraries(${name}_replay PRIVATE ${ARG_DEPS})
  if(VISTREL_TESTS)
    add_test(NAME fuzz_replay.${name}
      COMMAND ${name}_replay ${PROJECT_SOURCE_DIR}/fuzz/corpus/${name})
  endif()
endfunction()
