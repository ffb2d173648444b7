# Installs the build tree under a fresh prefix, checks that the programs, the
# plug-in and the headers are there, then configures, builds and runs a tiny
# project that finds the toolkit with find_package and links its model file
# library. Run with cmake -P and:
#   BUILD_DIR   the toolkit's build tree
#   WORK_DIR    a scratch folder (emptied first)
#   CONSUMER    the consumer project's source folder
#   CXX         the C++ compiler; CXX_FLAGS and LINK_FLAGS for the consumer
#               (the sanitizer flags of a sanitizer build)
#   LIBDIR      the library folder under the prefix (lib, lib64, ...)
#   PROGRAMS    the program names the installed tree must hold
#   DATADIR     the data folder under the prefix (share), and DATA_FILES the
#               files it must hold, relative to it
foreach(var BUILD_DIR WORK_DIR CONSUMER CXX LIBDIR)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "install_and_consume: ${var} is not set")
  endif()
endforeach()

file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")
set(prefix "${WORK_DIR}/prefix")

function(run step)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "install_and_consume: ${step} failed (${result}):\n${out}\n${err}")
  endif()
  set(run_output "${out}" PARENT_SCOPE)
endfunction()

run("install" "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${prefix}")

set(expected
  "include/modelfiles/mdl7w.h"
  "include/modelfiles/model_file_opener.h"
  "${LIBDIR}/libloamwriter.so"
  "${LIBDIR}/cmake/terrain_toolkit/terrain_toolkitConfig.cmake"
  "${LIBDIR}/cmake/terrain_toolkit/terrain_toolkitConfigVersion.cmake")
foreach(program IN LISTS PROGRAMS)
  list(APPEND expected "bin/${program}")
endforeach()
foreach(file IN LISTS DATA_FILES)
  list(APPEND expected "${DATADIR}/${file}")
endforeach()
foreach(file IN LISTS expected)
  if(NOT EXISTS "${prefix}/${file}")
    message(FATAL_ERROR "install_and_consume: ${file} is not installed under the prefix")
  endif()
endforeach()

run("configuring the consumer" "${CMAKE_COMMAND}" -S "${CONSUMER}" -B "${WORK_DIR}/consumer"
    "-DCMAKE_PREFIX_PATH=${prefix}" "-DCMAKE_CXX_COMPILER=${CXX}" "-DCMAKE_CXX_FLAGS=${CXX_FLAGS}"
    "-DCMAKE_EXE_LINKER_FLAGS=${LINK_FLAGS}")
run("building the consumer" "${CMAKE_COMMAND}" --build "${WORK_DIR}/consumer")
run("running the consumer" "${WORK_DIR}/consumer/consumer" "${WORK_DIR}/model.mdl")
if(NOT run_output MATCHES "consumer: ok")
  message(FATAL_ERROR "install_and_consume: the consumer said: ${run_output}")
endif()
message(STATUS "${run_output}")
