# Helpers shared by the folder CMakeLists.

# engine_library(<name> [SUBFOLDERS] [DEPS <lib>...] [PACKAGES <imported target>...])
# Builds every .cpp of the calling folder into one static library; with SUBFOLDERS the
# .cpp files of its subfolders too (scene/ and physics/ are grouped by topic, one library
# each). Headers are included from the repository root: #include "core/GameWorld.h".
function(engine_library name)
  cmake_parse_arguments(ARG "SUBFOLDERS" "" "DEPS;PACKAGES" ${ARGN})
  if(ARG_SUBFOLDERS)
    file(GLOB_RECURSE sources CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp")
  else()
    file(GLOB sources CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp")
  endif()
  if(NOT sources)
    set(sources "${PROJECT_SOURCE_DIR}/cmake/empty.cpp")
  endif()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC "${PROJECT_SOURCE_DIR}")
  target_link_libraries(${name} PUBLIC ${ARG_DEPS} ${ARG_PACKAGES})
  set_property(GLOBAL APPEND PROPERTY KELVARUN_ENGINE_LIBS ${name})
endfunction()

# link_engine(<target>): links every engine library as one group; only programs (the game,
# the tests, the tools, the benchmarks) and the libraries made for them call it. The world
# and the park reach the higher folders through interfaces registered at start-up, but a few
# scene, physics and math classes still call the render, sound and world classes above
# them; until they do not, the group resolves those at the final link.
function(link_engine target)
  get_property(libs GLOBAL PROPERTY KELVARUN_ENGINE_LIBS)
  set(files)
  foreach(lib ${libs})
    list(APPEND files "$<TARGET_FILE:${lib}>")
  endforeach()
  add_dependencies(${target} ${libs})
  target_link_libraries(${target} PRIVATE ${libs} "-Wl,--start-group" ${files} "-Wl,--end-group")
endfunction()
