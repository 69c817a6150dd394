# Qt's Italian catalogue cut down to the contexts whose texts the program can show: the whole
# catalogue would carry, among much else, the texts of Qt's regular-expression errors, which
# the program never shows and which look like a copy of a regular-expression library inside it.
#   cmake -DLCONVERT=<lconvert> -DINPUT=<qtbase_it.qm> -DOUTPUT=<cut .qm> -DCONTEXTS=<a;b;...> -P qt-catalogue.cmake
execute_process(COMMAND ${LCONVERT} -i ${INPUT} -of ts -o ${OUTPUT}.ts COMMAND_ERROR_IS_FATAL ANY)
file(READ ${OUTPUT}.ts catalogue)
string(FIND "${catalogue}" "<context>" first)
string(SUBSTRING "${catalogue}" 0 ${first} kept)
foreach(context IN LISTS CONTEXTS)
  string(FIND "${catalogue}" "<context>\n    <name>${context}</name>\n" begin)
  if(begin EQUAL -1)
    message(FATAL_ERROR "${INPUT} has no context ${context}")
  endif()
  string(SUBSTRING "${catalogue}" ${begin} -1 rest)
  string(FIND "${rest}" "</context>\n" length)
  string(SUBSTRING "${rest}" 0 ${length} block)
  string(APPEND kept "${block}</context>\n")
endforeach()
file(WRITE ${OUTPUT}.ts "${kept}</TS>\n")
execute_process(COMMAND ${LCONVERT} -i ${OUTPUT}.ts -o ${OUTPUT} COMMAND_ERROR_IS_FATAL ANY)
