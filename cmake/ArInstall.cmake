# Installing the project as the SquareMark package: the subsystem libraries with their public
# headers, the programs, Data/, a CMake package (SquareMark::<folder> targets), a pkg-config file
# for the tracking core, and a Debian package (cpack -G DEB in the build folder).
#
#   <prefix>/include/squaremark/<folder>/*.h       headers, included as <detect/detection.h>
#   <prefix>/lib/libsquaremark_<folder>.a           libraries
#   <prefix>/lib/cmake/SquareMark/                  find_package(SquareMark CONFIG)
#   <prefix>/lib/pkgconfig/squaremark.pc            camera, detect and pose
#   <prefix>/bin/                                   the viewer and the tools
#   <prefix>/share/squaremark/Data/                 patterns, printable markers, camera file, models
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(AR_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/squaremark)
set(AR_INSTALL_DATADIR ${CMAKE_INSTALL_DATADIR}/squaremark)
set(AR_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/SquareMark)
set(AR_PACKAGE_CONTACT "SquareMark maintainers <maintainers@squaremark.invalid>" CACHE STRING
    "Maintainer named in the Debian package")

# Installs ar_<folder> of every named folder that was built as SquareMark::<folder>, with the
# headers callers include: those the target lists (by name, in its folder) in its PUBLIC_HEADER
# property, or else every header of the folder but the _internal.h ones.
function(ar_install_libraries)
  foreach(folder ${ARGN})
    if(NOT TARGET ar_${folder})
      continue()
    endif()
    get_target_property(headers ar_${folder} PUBLIC_HEADER)
    if(NOT headers)
      file(GLOB headers RELATIVE ${PROJECT_SOURCE_DIR}/${folder} ${PROJECT_SOURCE_DIR}/${folder}/*.h)
      list(FILTER headers EXCLUDE REGEX "_internal\\.h$")
    endif()
    list(TRANSFORM headers PREPEND ${PROJECT_SOURCE_DIR}/${folder}/)
    set_target_properties(ar_${folder} PROPERTIES PUBLIC_HEADER "${headers}" EXPORT_NAME ${folder}
                          OUTPUT_NAME squaremark_${folder})
    install(TARGETS ar_${folder} EXPORT SquareMarkTargets
            ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
            PUBLIC_HEADER DESTINATION ${AR_INSTALL_INCLUDEDIR}/${folder}
            INCLUDES DESTINATION ${AR_INSTALL_INCLUDEDIR})
  endforeach()
endfunction()

# The programs (executables built by default) defined in dir and the folders below it.
function(ar_programs_under dir out)
  set(programs)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target ${targets})
    get_target_property(type ${target} TYPE)
    get_target_property(excluded ${target} EXCLUDE_FROM_ALL)
    if(type STREQUAL "EXECUTABLE" AND NOT excluded)
      list(APPEND programs ${target})
    endif()
  endforeach()
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(sub ${subdirs})
    ar_programs_under(${sub} more)
    list(APPEND programs ${more})
  endforeach()
  set(${out} ${programs} PARENT_SCOPE)
endfunction()

# Installs every program built under the named top-level folders into bin/.
function(ar_install_programs)
  get_property(added DIRECTORY ${PROJECT_SOURCE_DIR} PROPERTY SUBDIRECTORIES)
  foreach(folder ${ARGN})
    if(NOT ${PROJECT_SOURCE_DIR}/${folder} IN_LIST added)
      continue()
    endif()
    ar_programs_under(${PROJECT_SOURCE_DIR}/${folder} programs)
    if(programs)
      install(TARGETS ${programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    endif()
  endforeach()
endfunction()

# The CMake package files and the pkg-config file; both find the install prefix relative to
# where they lie, so an unpacked Debian package or a moved prefix works as installed.
function(ar_install_package_files)
  configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/SquareMarkConfig.cmake.in
                                ${PROJECT_BINARY_DIR}/SquareMarkConfig.cmake
                                INSTALL_DESTINATION ${AR_INSTALL_CMAKEDIR} PATH_VARS AR_INSTALL_DATADIR)
  # 0.x releases may change the interface from one minor version to the next.
  write_basic_package_version_file(${PROJECT_BINARY_DIR}/SquareMarkConfigVersion.cmake
                                   VERSION ${PROJECT_VERSION} COMPATIBILITY SameMinorVersion)
  install(EXPORT SquareMarkTargets NAMESPACE SquareMark:: DESTINATION ${AR_INSTALL_CMAKEDIR})
  install(FILES ${PROJECT_BINARY_DIR}/SquareMarkConfig.cmake ${PROJECT_BINARY_DIR}/SquareMarkConfigVersion.cmake
          DESTINATION ${AR_INSTALL_CMAKEDIR})

  file(RELATIVE_PATH AR_PC_TO_PREFIX /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
  string(REGEX REPLACE "/$" "" AR_PC_TO_PREFIX ${AR_PC_TO_PREFIX})
  configure_file(${PROJECT_SOURCE_DIR}/cmake/squaremark.pc.in ${PROJECT_BINARY_DIR}/squaremark.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/squaremark.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endfunction()

# The Debian package: everything installed, under /usr. Its dependencies are the shared libraries
# the programs load (found by dpkg-shlibdeps); the development packages that linking the optional
# libraries needs are recommended.
macro(ar_package_debian)
  set(recommends)
  if(TARGET ar_sim OR TARGET ar_model)
    list(APPEND recommends libstb-dev)
  endif()
  if(TARGET ar_gl OR TARGET ar_model)
    list(APPEND recommends libgl-dev libglu1-mesa-dev)
  endif()
  if(TARGET ar_model)
    list(APPEND recommends libassimp-dev)
  endif()
  if(TARGET ar_video)
    list(APPEND recommends libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev libtinyxml2-dev)
  endif()
  list(JOIN recommends ", " CPACK_DEBIAN_PACKAGE_RECOMMENDS)
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGE_NAME squaremark)
  set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
  set(CPACK_PACKAGE_CONTACT ${AR_PACKAGE_CONTACT})
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Square-marker tracking library, tools and AR viewer")
  set(CPACK_PACKAGE_DESCRIPTION "Finds black-bordered square markers in camera frames, identifies \
their patterns and estimates their poses; with tools for pattern files, printable markers, camera \
files and models, and a desktop AR viewer.")
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION libdevel)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_STRIP_FILES ON)  # the programs; static libraries keep their symbols
  include(CPack)
endmacro()

#   ar_install_package(LIBRARIES <folder>... PROGRAMS <folder>...)
macro(ar_install_package)
  cmake_parse_arguments(AR_PACKAGE "" "" "LIBRARIES;PROGRAMS" ${ARGN})
  ar_install_libraries(${AR_PACKAGE_LIBRARIES})
  ar_install_programs(${AR_PACKAGE_PROGRAMS})
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/Data DESTINATION ${AR_INSTALL_DATADIR})
  ar_install_package_files()
  ar_package_debian()
endmacro()
