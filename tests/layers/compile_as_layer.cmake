# Compiles PROBE exactly as the build compiles a source of the library TARGET:
# the same compiler, flags and include path, taken from COMMANDS (the build's
# compile_commands.json). Fails as that compile fails.
#   cmake -DCOMMANDS=... -DTARGET=varnox_engine -DPROBE=probe.cpp -P compile_as_layer.cmake
file(READ ${COMMANDS} json)
string(JSON count LENGTH "${json}")
math(EXPR last "${count} - 1")
foreach(i RANGE ${last})
  string(JSON command GET "${json}" ${i} command)
  # The object a command writes names the target it compiles for.
  if(NOT command MATCHES " -o ([^ ]*CMakeFiles/${TARGET}\\.dir/[^ ]+)")
    continue()
  endif()
  set(output ${CMAKE_MATCH_1})
  string(JSON file GET "${json}" ${i} file)
  string(JSON directory GET "${json}" ${i} directory)
  string(REPLACE "${output}" "${PROBE}.o" command "${command}")
  string(REPLACE "${file}" "${PROBE}" command "${command}")
  message(STATUS "as ${file}: ${command}")
  execute_process(COMMAND sh -c "${command}" WORKING_DIRECTORY ${directory} RESULT_VARIABLE result)
  file(REMOVE ${PROBE}.o)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "the probe does not compile as a source of ${TARGET}")
  endif()
  return()
endforeach()
message(FATAL_ERROR "no source of ${TARGET} in ${COMMANDS}")
