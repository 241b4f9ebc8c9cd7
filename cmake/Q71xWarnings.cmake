# SPDX-License-Identifier: GPL-2.0-or-later
# Our own code builds warning-free; third-party code (GoogleTest, Qt) is not held to this.
function(q71x_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    # GCC 12's flow-based bounds warnings fire on inlined standard-library copies at -O2 where no
    # access is out of bounds; they stay visible as warnings but do not fail the build.
    target_compile_options(${target} PRIVATE -Wno-error=array-bounds -Wno-error=stringop-overflow
                                             -Wno-error=stringop-overread -Wno-error=restrict)
  endif()
endfunction()

# Adds a static library from every .cpp in the listed folders (non-recursive), and every
# .cpp below the folders listed as TREES, so that a new source file needs no edit here.
function(q71x_glob_library target)
  cmake_parse_arguments(ARG "" "" "DIRS;TREES;LINKS" ${ARGN})
  set(sources)
  foreach(dir ${ARG_DIRS})
    file(GLOB found CONFIGURE_DEPENDS ${dir}/*.cpp)
    list(APPEND sources ${found})
  endforeach()
  # A room split into family folders: every folder below it too.
  foreach(dir ${ARG_TREES})
    file(GLOB_RECURSE found CONFIGURE_DEPENDS ${dir}/*.cpp)
    list(APPEND sources ${found})
  endforeach()
  if(sources)
    add_library(${target} STATIC ${sources})
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${target} PUBLIC ${ARG_LINKS})
    q71x_warnings(${target})
  else()
    # Header-only so far.
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${target} INTERFACE ${ARG_LINKS})
  endif()
endfunction()
