# Shared build settings and helpers for every layer.

add_library(vostrel_warnings INTERFACE)
target_compile_options(vostrel_warnings INTERFACE -Wall -Wextra -Wpedantic)

if(VOSTREL_SANITIZE)
  add_compile_options(-fsanitize=${VOSTREL_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=${VOSTREL_SANITIZE})
endif()

if(VOSTREL_FUZZ)
  # Coverage for the code under test too, or the fuzzers only see their harness.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# vostrel_add_library(NAME SOURCES... DEPS ...): one static library per layer;
# includes are rooted at the repository (`#include "environment/vec2.hpp"`).
function(vostrel_add_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE vostrel_warnings)
endfunction()

# vostrel_add_test(NAME SOURCES... DEPS ... [LABELS ...]): one GoogleTest binary,
# registered with CTest case by case. Tests run from the binary directory.
function(vostrel_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gmock GTest::gtest_main vostrel_warnings)
  target_compile_definitions(${name} PRIVATE VOSTREL_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  set(labels ${ARG_LABELS})
  if(NOT labels)
    set(labels unit)
  endif()
  gtest_discover_tests(${name} PROPERTIES LABELS "${labels}" DISCOVERY_TIMEOUT 60)
endfunction()

# vostrel_check_no_link(TARGET PATTERN): fails the configuration when TARGET or anything it links,
# directly or through other targets, matches PATTERN. Keeps a layer free of a dependency its
# tests and tools should not need.
function(vostrel_check_no_link target pattern)
  set(pending ${target})
  set(seen "")
  while(pending)
    list(POP_FRONT pending current)
    if(current IN_LIST seen)
      continue()
    endif()
    list(APPEND seen ${current})
    if(current MATCHES "${pattern}")
      message(FATAL_ERROR "${target} must not link ${current}")
    endif()
    if(TARGET ${current})
      get_target_property(links ${current} INTERFACE_LINK_LIBRARIES)
      if(links)
        foreach(link IN LISTS links)
          # Private dependencies of static libraries show up as $<LINK_ONLY:name>.
          string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" link "${link}")
          list(APPEND pending ${link})
        endforeach()
      endif()
    endif()
  endwhile()
endfunction()
