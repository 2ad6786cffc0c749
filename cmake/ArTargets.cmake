# Helpers shared by every folder's CMakeLists.txt.

# The folders of the tracking core, and sim, which its tests and benchmarks render frames with.
# With AR_CORE_ONLY only these are added (at any depth: tests/detect, bench/pose, ...), besides the
# tests, fuzz and bench folders that hold them.
set(AR_CORE_FOLDERS camera detect pose sim)

# Adds a folder when it has a CMakeLists.txt.
function(ar_add_subsystem dir)
  get_filename_component(name ${dir} NAME)
  if(AR_CORE_ONLY AND NOT name IN_LIST AR_CORE_FOLDERS AND NOT name MATCHES "^(tests|fuzz|bench)$")
    return()
  endif()
  if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt)
    add_subdirectory(${dir})
  endif()
endfunction()

# Our own targets build warning-free; CI turns warnings into errors with AR_WERROR.
function(ar_target_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(AR_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# A library of one subsystem: headers are included as "folder/file.h" from the repository root,
# or from the package's include folder once installed (cmake/ArInstall.cmake).
function(ar_add_library target)
  add_library(${target} STATIC ${ARGN})
  target_include_directories(${target} PUBLIC $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>)
  ar_target_warnings(${target})
endfunction()

# A GoogleTest executable whose cases show up in ctest by name.
function(ar_add_gtest target)
  add_executable(${target} ${ARGN})
  ar_target_warnings(${target})
  target_link_libraries(${target} PRIVATE GTest::gtest_main)
  # Tests find their fixtures and Data/ relative to the repository root.
  gtest_discover_tests(${target} WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                       DISCOVERY_TIMEOUT 60
                       PROPERTIES ENVIRONMENT "AR_TEST_BUILD_DIR=${CMAKE_BINARY_DIR}")
endfunction()

# A fuzz target: a source defining LLVMFuzzerTestOneInput, the libraries it needs, and a seed
# corpus folder. With clang and AR_FUZZ=ON it links libFuzzer; otherwise it links a replay main
# and a test named fuzz_replay_<target> runs it on every file of the corpus.
#   ar_add_fuzzer(fuzz_model SOURCES model_fuzz.cpp LIBS ar_model CORPUS corpus/model)
function(ar_add_fuzzer target)
  cmake_parse_arguments(F "" "CORPUS" "SOURCES;LIBS" ${ARGN})
  if(AR_FUZZ AND CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    add_executable(${target} ${F_SOURCES})
    target_compile_options(${target} PRIVATE -fsanitize=fuzzer)
    target_link_options(${target} PRIVATE -fsanitize=fuzzer)
  else()
    add_executable(${target} ${F_SOURCES} ${PROJECT_SOURCE_DIR}/fuzz/replay_main.cpp)
    file(GLOB_RECURSE corpus_files ${CMAKE_CURRENT_SOURCE_DIR}/${F_CORPUS}/*)
    if(corpus_files)
      add_test(NAME fuzz_replay_${target} COMMAND ${target} ${corpus_files}
               WORKING_DIRECTORY ${PROJECT_SOURCE_DIR})
    endif()
  endif()
  target_link_libraries(${target} PRIVATE ${F_LIBS})
  ar_target_warnings(${target})
endfunction()
