# talmer_add_fuzzer(NAME source [CORPUS folder] [DICT file] LIBS libs...)
#   A libFuzzer target, built with TALMER_BUILD_FUZZERS (preset "fuzz") and
#   run by scripts/fuzz.sh from its seed corpus, by default the folder
#   fuzz/<stem> beside the source (the stem is NAME without "_fuzzer"), with
#   the words of its dictionary fuzz/<stem>.dict when there is one. The
#   preset compiles everything with -fsanitize=fuzzer-no-link,address,undefined;
#   the target itself gets -fsanitize=fuzzer, which gives it libFuzzer's main.
option(TALMER_BUILD_FUZZERS "Build the libFuzzer targets (clang only)" OFF)

if(TALMER_BUILD_FUZZERS)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "TALMER_BUILD_FUZZERS needs clang (the preset \"fuzz\")")
  endif()
  add_custom_target(fuzzers)
  # The targets for fuzz.sh, one a line: name, corpus, dictionary (or
  # nothing), separated by tabs.
  file(WRITE ${PROJECT_BINARY_DIR}/fuzzers.txt "")
endif()

function(talmer_add_fuzzer name source)
  if(NOT TALMER_BUILD_FUZZERS)
    return()
  endif()
  cmake_parse_arguments(ARG "" "CORPUS;DICT" "LIBS" ${ARGN})
  string(REGEX REPLACE "_fuzzer$" "" stem ${name})
  if(NOT ARG_CORPUS)
    set(ARG_CORPUS ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/${stem})
  endif()
  if(NOT ARG_DICT AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/${stem}.dict)
    set(ARG_DICT ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/${stem}.dict)
  endif()
  add_executable(${name} ${source})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  add_dependencies(fuzzers ${name})
  file(APPEND ${PROJECT_BINARY_DIR}/fuzzers.txt "${name}\t${ARG_CORPUS}\t${ARG_DICT}\n")
endfunction()
