# Helpers shared by the folder CMakeLists.

# engine_library(<name> [SUBFOLDERS] [DEPS <lib>...] [PACKAGES <imported target>...])
# Builds every .cpp of the calling folder into one static library; with SUBFOLDERS the
# .cpp files of its subfolders too (scene/ and physics/ are grouped by topic, one library
# each). Headers are included from the repository root: #include "core/world/GameWorld.h".
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

# link_engine(<target>): links every engine library; only programs (the game, the tests, the
# tools, the benchmarks) and the libraries made for them call it. Each library names the lower
# ones it uses as DEPS, so the linker sees every library before the ones below it and no
# grouping is needed: a call up the folder order fails to link. Higher folders are reached
# through interfaces the lower ones declare, registered at start-up (app/EngineRegistration).
function(link_engine target)
  get_property(libs GLOBAL PROPERTY KELVARUN_ENGINE_LIBS)
  list(REVERSE libs)  # highest first, so each library comes before the ones it may call
  target_link_libraries(${target} PRIVATE ${libs})
endfunction()
