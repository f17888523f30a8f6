cmake_minimum_required(VERSION 3.25)
# Fails when the program named by PROGRAM imports from a library that Windows 10 and 11 do not
# bring themselves, such as a compiler's runtime that would have to lie beside it.
execute_process(COMMAND ${OBJDUMP} -p ${PROGRAM} OUTPUT_VARIABLE imports RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} could not read ${PROGRAM}")
endif()
string(REGEX MATCHALL "DLL Name: [^\r\n]+" names "${imports}")
if(NOT names)
  message(FATAL_ERROR "no import table found in ${PROGRAM}")
endif()
# The secure transport uses the system's security package and certificate store, and the proxy
# settings come from the system's HTTP services library.
set(system KERNEL32.DLL USER32.DLL GDI32.DLL COMCTL32.DLL SHELL32.DLL MSVCRT.DLL ADVAPI32.DLL SECUR32.DLL CRYPT32.DLL
    WINHTTP.DLL)
foreach(entry IN LISTS names)
  string(REPLACE "DLL Name: " "" name "${entry}")
  string(TOUPPER "${name}" name)
  if(NOT name IN_LIST system)
    message(FATAL_ERROR "${PROGRAM} imports from ${name}, which is not part of Windows")
  endif()
endforeach()
message(STATUS "${PROGRAM} imports only from the system: ${names}")
