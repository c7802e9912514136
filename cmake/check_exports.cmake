# Fails unless the shared library LIBRARY exports exactly the functions that
# HEADER declares with TALMER_API (nm -D --defined-only).
file(STRINGS ${HEADER} declarations REGEX "^TALMER_API [^(]*FPD_[A-Za-z]+\\(")
set(declared "")
foreach(line IN LISTS declarations)
  string(REGEX MATCH "FPD_[A-Za-z]+\\(" name "${line}")
  string(REPLACE "(" "" name "${name}")
  list(APPEND declared ${name})
endforeach()
list(SORT declared)

execute_process(COMMAND ${NM} -D --defined-only ${LIBRARY}
                OUTPUT_VARIABLE symbols RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${NM} could not read ${LIBRARY}")
endif()
string(REGEX REPLACE "\n$" "" symbols "${symbols}")
string(REPLACE "\n" ";" symbols "${symbols}")
set(exported "")
foreach(line IN LISTS symbols)
  string(REGEX REPLACE "^.* " "" name "${line}")
  list(APPEND exported ${name})
endforeach()
list(SORT exported)

if(NOT declared STREQUAL exported)
  message(FATAL_ERROR "${LIBRARY} does not export exactly the functions of talmer.h:\n"
                      "declared: ${declared}\nexported: ${exported}")
endif()
list(LENGTH exported count)
message(STATUS "${count} functions exported, those of talmer.h")
