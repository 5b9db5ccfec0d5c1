# cmake -DNM=.. -DOBJCOPY=.. -DPREFIX=real_ -DIN=lib.a -DOUT=copy.a -P RenameSymbols.cmake
# Copies a static archive with every global symbol it defines renamed to
# PREFIX<name>, so that it links beside another definition of the same API.
# References to symbols it does not define (the C library) are kept.
execute_process(COMMAND ${NM} --defined-only -g ${IN} OUTPUT_VARIABLE listing COMMAND_ERROR_IS_FATAL ANY)
string(REGEX MATCHALL "[^\n]+" lines "${listing}")
set(map "")
foreach(line IN LISTS lines)
  if(line MATCHES "^[0-9a-fA-F]+ [A-Z] ([A-Za-z_][A-Za-z0-9_]*)$")
    string(APPEND map "${CMAKE_MATCH_1} ${PREFIX}${CMAKE_MATCH_1}\n")
  endif()
endforeach()
if(map STREQUAL "")
  message(FATAL_ERROR "${IN} defines no symbols")
endif()
file(WRITE ${OUT}.map "${map}")
execute_process(COMMAND ${OBJCOPY} --redefine-syms=${OUT}.map ${IN} ${OUT} COMMAND_ERROR_IS_FATAL ANY)
