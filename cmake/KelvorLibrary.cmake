# kelvor_add_library(<name> <dir> [LINK <libs>...] [EXCLUDE <files>...])
# One static library from the .cpp files of <dir>. Its headers are included by their path from
# the repository's root, which names the layer each lives in. A folder
# whose code has not been written yet gives an interface library, so the tree always builds.
#
# Most of the time spent on a library source goes into reading the headers it includes, so
# with KELVOR_UNITY_BUILD (on by default) a library's sources are compiled eight at a time as
# one unit: each source must then keep its own names in its own anonymous namespace distinct
# from its neighbours'.
function(kelvor_add_library name dir)
  cmake_parse_arguments(L "" "" "LINK;EXCLUDE" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${dir}/*.cpp)
  foreach(excluded IN LISTS L_EXCLUDE)
    list(REMOVE_ITEM sources ${dir}/${excluded})
  endforeach()
  file(GLOB headers CONFIGURE_DEPENDS ${dir}/*.h)
  if(sources)
    add_library(${name} STATIC ${sources} ${headers})
    target_link_libraries(${name} PUBLIC ${L_LINK})
    kelvor_precompile_qt(${name})
    if(KELVOR_UNITY_BUILD)
      set_target_properties(${name} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 8)
    endif()
  else()
    add_library(${name} INTERFACE)
    target_link_libraries(${name} INTERFACE ${L_LINK})
  endif()
endfunction()
