# Builds draft.dat from its SQL: cmake -DSQLITE3=... -DSQL=... -DOUT=... -P make_draft.cmake
file(REMOVE "${OUT}")
execute_process(COMMAND "${SQLITE3}" "${OUT}" INPUT_FILE "${SQL}" RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  file(REMOVE "${OUT}")
  message(FATAL_ERROR "draft.dat: ${err}")
endif()
