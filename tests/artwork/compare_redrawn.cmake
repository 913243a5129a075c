# cmake -DGENERATOR=generate_skin -DRESOURCES=dir -DOUT=scratch -P compare_redrawn.cmake
# Runs the generator into OUT and compares each bitmap it writes with the one
# in RESOURCES, byte for byte: the 1x set, the 1.5x set and the 2x set.
file(REMOVE_RECURSE "${OUT}")
file(MAKE_DIRECTORY "${OUT}")
execute_process(COMMAND "${GENERATOR}" "${OUT}" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "generate_skin failed: ${status}")
endif()

file(GLOB written RELATIVE "${OUT}" "${OUT}/*")
set(expected)
foreach(suffix "" "@1.5x" "@2x")
  foreach(name panel knob tube circuit)
    list(APPEND expected "${name}${suffix}.bmp")
  endforeach()
endforeach()

set(faults)
foreach(file IN LISTS expected)
  if(NOT EXISTS "${OUT}/${file}")
    list(APPEND faults "${file}: not written")
    continue()
  endif()
  execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${OUT}/${file}" "${RESOURCES}/${file}"
                  RESULT_VARIABLE differs)
  if(differs)
    list(APPEND faults "${file}: differs from the committed file")
  endif()
endforeach()
list(REMOVE_ITEM written ${expected})
foreach(file IN LISTS written)
  list(APPEND faults "${file}: written but not committed")
endforeach()

if(faults)
  list(JOIN faults "\n  " text)
  message(FATAL_ERROR "The generator does not redraw the committed bitmaps:\n  ${text}\n"
                      "After a deliberate change to the artwork, redraw them with the varnox-skin target.")
endif()
list(LENGTH expected count)
message(STATUS "All ${count} bitmaps redrawn byte for byte")
