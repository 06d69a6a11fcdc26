# tilvane_collect_sources(<out-var> <dir>): the .cpp files of a folder for this platform.
# A seam's implementations sit beside it as name_win.cpp and name_posix.cpp; only the
# one for the target platform is compiled.
function(tilvane_collect_sources out dir)
  file(GLOB all CONFIGURE_DEPENDS "${dir}/*.cpp")
  set(kept)
  foreach(f IN LISTS all)
    if(WIN32 AND f MATCHES "_posix\\.cpp$")
      continue()
    endif()
    if(NOT WIN32 AND f MATCHES "_win\\.cpp$")
      continue()
    endif()
    list(APPEND kept "${f}")
  endforeach()
  set(${out} "${kept}" PARENT_SCOPE)
endfunction()

# tilvane_core_library(<name> <dir> DEPS ...): a static library of one core folder.
function(tilvane_core_library name)
  cmake_parse_arguments(ARG "" "" "DEPS;PRIVATE_DEPS" ${ARGN})
  tilvane_collect_sources(srcs "${CMAKE_CURRENT_SOURCE_DIR}")
  if(NOT srcs)
    message(FATAL_ERROR "${name}: no sources in ${CMAKE_CURRENT_SOURCE_DIR}")
  endif()
  add_library(${name} STATIC ${srcs})
  set_target_properties(${name} PROPERTIES LINKER_LANGUAGE CXX)
  target_include_directories(${name} PUBLIC "${PROJECT_SOURCE_DIR}")
  target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE tilvane_warnings ${ARG_PRIVATE_DEPS})
  if(WIN32)
    # Keep the Windows headers lean and Unicode everywhere.
    target_compile_definitions(${name} PRIVATE WIN32_LEAN_AND_MEAN NOMINMAX UNICODE _UNICODE)
  endif()
endfunction()
