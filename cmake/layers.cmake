# qeld_layer(NAME [DEPENDS layer...] [PRIVATE_LIBS lib...] [SOURCES file...])
#
# Builds src/NAME as the library qeld_NAME, from the given sources or else from every .cpp below
# the folder. Each layer's headers are reached through an include
# folder of its own that holds only that layer, so a file sees the headers of its own layer and
# of the layers it depends on, and an include of a layer above fails to compile.
function(qeld_layer name)
  cmake_parse_arguments(LAYER "" "" "DEPENDS;PRIVATE_LIBS;SOURCES" ${ARGN})
  if(LAYER_SOURCES)
    set(sources ${LAYER_SOURCES})
  else()
    file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  endif()
  add_library(qeld_${name} STATIC ${sources})
  set(root ${PROJECT_BINARY_DIR}/include/${name})
  file(MAKE_DIRECTORY ${root})
  if(NOT EXISTS ${root}/${name})
    file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${root}/${name} SYMBOLIC)
  endif()
  target_include_directories(qeld_${name} PUBLIC ${root})
  foreach(dependency IN LISTS LAYER_DEPENDS)
    target_link_libraries(qeld_${name} PUBLIC qeld_${dependency})
  endforeach()
  if(LAYER_PRIVATE_LIBS)
    target_link_libraries(qeld_${name} PRIVATE ${LAYER_PRIVATE_LIBS})
  endif()
endfunction()
