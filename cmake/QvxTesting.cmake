# GoogleTest from Debian's sources, built with the configuration's own compiler
# (mingw for win, the host compiler with or without sanitizers for native).
enable_testing()

# Environment for running our programs in the sanitizer build: system
# libraries' own process-lifetime allocations are not our leaks.
set(QVX_RUN_ENV "")
if(QVX_SANITIZE)
  set(QVX_RUN_ENV "LSAN_OPTIONS=suppressions=${CMAKE_CURRENT_LIST_DIR}/lsan.supp:print_suppressions=0")
endif()

set(QVX_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
if(NOT QVX_FUZZ)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  add_subdirectory(${QVX_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
endif()

# Google Benchmark only natively and without sanitizers: figures are for release code.
set(QVX_BENCH OFF)
if(NOT QVX_WIN AND NOT QVX_SANITIZE AND NOT QVX_FUZZ)
  find_package(benchmark QUIET)
  if(benchmark_FOUND)
    set(QVX_BENCH ON)
  endif()
endif()

# qvx_add_test(<name> SOURCES ... [LIBS ...] [WIN_ONLY] [NATIVE_ONLY])
# One ctest entry per executable. Under the win configuration ctest runs it
# through scripts/wine-run (CMAKE_CROSSCOMPILING_EMULATOR).
function(qvx_add_test name)
  cmake_parse_arguments(T "WIN_ONLY;NATIVE_ONLY" "" "SOURCES;LIBS" ${ARGN})
  if(QVX_FUZZ)
    return()
  endif()
  if(T_WIN_ONLY AND NOT QVX_WIN)
    return()
  endif()
  if(T_NATIVE_ONLY AND QVX_WIN)
    return()
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gmock GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests/common)
  target_compile_definitions(${name} PRIVATE
    QVX_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    QVX_SHARED_DIR="${QVX_SHARED_DIR}"
    QVX_BINARY_DIR="${CMAKE_BINARY_DIR}")
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "QVX_BUILD_DIR=${CMAKE_BINARY_DIR}"
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
  if(QVX_RUN_ENV)
    set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT "${QVX_RUN_ENV}")
  endif()
endfunction()

# qvx_add_benchmark(<name> SOURCES ... [LIBS ...]): Google Benchmark program,
# native release builds only; not registered with ctest.
function(qvx_add_benchmark name)
  cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
  if(NOT QVX_BENCH)
    return()
  endif()
  add_executable(${name} ${B_SOURCES})
  target_link_libraries(${name} PRIVATE ${B_LIBS} benchmark::benchmark)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests/common)
  target_compile_definitions(${name} PRIVATE
    QVX_SOURCE_DIR="${CMAKE_SOURCE_DIR}" QVX_SHARED_DIR="${QVX_SHARED_DIR}"
    QVX_BINARY_DIR="${CMAKE_BINARY_DIR}")
endfunction()

# qvx_add_fuzzer(<name> SOURCES ... [LIBS ...]): libFuzzer target, fuzz preset only.
function(qvx_add_fuzzer name)
  cmake_parse_arguments(F "" "" "SOURCES;LIBS" ${ARGN})
  if(NOT QVX_FUZZ)
    return()
  endif()
  add_executable(${name} ${F_SOURCES})
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
endfunction()
