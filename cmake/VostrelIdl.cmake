# vostrel_add_idl_library(NAME IDL <files...> [INCLUDES <dirs...>] [DEPS <targets...>])
# Compiles IDL files with omniidl (C++ stubs with type codes, -Wba) at build time into
# ${CMAKE_CURRENT_BINARY_DIR}/idl and builds one static library from the stubs. The
# generated headers are reachable both by bare name (the stubs include each other that
# way) and rooted at the build tree (e.g. "rtc/idl/RTC.hh").
include_guard(GLOBAL)

find_program(OMNIIDL_EXECUTABLE omniidl REQUIRED)
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)
pkg_check_modules(OMNIORB REQUIRED IMPORTED_TARGET GLOBAL omniORB4 omniDynamic4 omnithread4)
set(VOSTREL_OMNIORB_IDL_DIR /usr/share/idl/omniORB CACHE PATH "omniORB's standard IDL files")

function(vostrel_add_idl_library name)
  cmake_parse_arguments(ARG "" "" "IDL;INCLUDES;DEPS" ${ARGN})
  set(out ${CMAKE_CURRENT_BINARY_DIR}/idl)
  file(MAKE_DIRECTORY ${out})
  set(inc_flags -I${VOSTREL_OMNIORB_IDL_DIR})
  foreach(dir ${ARG_INCLUDES})
    list(APPEND inc_flags -I${dir})
  endforeach()
  set(sources)
  foreach(idl ${ARG_IDL})
    get_filename_component(abs ${idl} ABSOLUTE)
    get_filename_component(base ${idl} NAME_WE)
    get_filename_component(dir ${abs} DIRECTORY)
    set(generated ${out}/${base}.hh ${out}/${base}SK.cc ${out}/${base}DynSK.cc)
    add_custom_command(
      OUTPUT ${generated}
      COMMAND ${OMNIIDL_EXECUTABLE} -bcxx -Wba -I${dir} ${inc_flags} -C${out} ${abs}
      DEPENDS ${abs} ${ARG_IDL}
      COMMENT "omniidl ${base}.idl"
      VERBATIM)
    list(APPEND sources ${out}/${base}SK.cc ${out}/${base}DynSK.cc)
  endforeach()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${out} ${PROJECT_BINARY_DIR} ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC PkgConfig::OMNIORB ${ARG_DEPS})
  # Generated code is not ours to keep warning-free.
  target_compile_options(${name} PRIVATE -w)
endfunction()
