# Helpers shared by every folder's CMakeLists.txt.

# Adds a folder when it has a CMakeLists.txt, so that subsystems can land one at a time.
function(ar_add_subsystem dir)
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

# A library of one subsystem: headers are included as "folder/file.h" from the repository root.
function(ar_add_library target)
  add_library(${target} STATIC ${ARGN})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
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
