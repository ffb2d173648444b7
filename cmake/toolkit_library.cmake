# toolkit_add_library(NAME SOURCES ... LINKS ...): one static library of the
# toolkit. Its headers, like every header of the project, are included by
# their path from the project's root; LINKS are the libraries its users link
# along with it.
function(toolkit_add_library name)
  cmake_parse_arguments(L "" "" "SOURCES;LINKS" ${ARGN})
  add_library(${name} STATIC ${L_SOURCES})
  target_include_directories(${name} PUBLIC $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>)
  if(L_LINKS)
    target_link_libraries(${name} PUBLIC ${L_LINKS})
  endif()
endfunction()
