# Fails if PROGRAM takes a function from the C runtime DLL whose last bit may
# differ from glibc's: pow, and the conversions of text to floating numbers.
# duneforge's values must not depend on the Windows runtime's arithmetic (and
# under Wine, Wine's own DLL would answer), so the program carries its own.
#   cmake -DOBJDUMP=<objdump> -DPROGRAM=<exe> -P check_import_table.cmake
cmake_minimum_required(VERSION 3.24)
set(forbidden pow powf powl strtod strtof strtold _strtod_l _strtof_l atof _atof_l sscanf _sscanf_l)
set(runtime_dlls msvcrt.dll ucrtbase.dll)

execute_process(COMMAND ${OBJDUMP} -p ${PROGRAM} OUTPUT_VARIABLE table RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} could not read ${PROGRAM}")
endif()
string(REPLACE "\n" ";" lines "${table}")
set(dll "")
set(runtime_imports)
set(dlls)
foreach(line IN LISTS lines)
  if(line MATCHES "^[ \t]*DLL Name: (.+)$")
    string(TOLOWER "${CMAKE_MATCH_1}" dll)
    list(APPEND dlls ${dll})
  elseif(line MATCHES "^[ \t]*[0-9a-fA-F]+[ \t]+[0-9]+[ \t]+([A-Za-z_][A-Za-z0-9_@]*)[ \t]*$")
    set(name ${CMAKE_MATCH_1})
    if(dll IN_LIST runtime_dlls OR dll MATCHES "^api-ms-win-crt-")
      list(APPEND runtime_imports ${name})
    endif()
  elseif(line MATCHES "^[ \t]*$" OR line MATCHES "^The Import Tables|^[ \t]*vma:")
  else()
    set(dll "")
  endif()
endforeach()
# The table must have been read: the program takes its file functions from
# the runtime.
if(NOT runtime_imports)
  message(FATAL_ERROR "no import of the C runtime found in ${PROGRAM} (DLLs: ${dlls}); cannot check it")
endif()
foreach(name IN LISTS forbidden)
  if(name IN_LIST runtime_imports)
    message(FATAL_ERROR "${PROGRAM} takes ${name} from the C runtime DLL; its results must be the program's own")
  endif()
endforeach()
list(LENGTH runtime_imports count)
message(STATUS "${count} imports from the C runtime, none of: ${forbidden}")
