# Checks that the plug-in library exports only its two entry points, needs
# nothing a desktop Linux system lacks and keeps its stack non-executable.
# libsamplerate (rate conversion) comes with the desktop's ALSA plug-ins and
# JACK, and Debian ships it only as a shared library.
execute_process(COMMAND nm -D --defined-only ${PLUGIN} OUTPUT_VARIABLE symbols RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "nm failed on ${PLUGIN}")
endif()
string(REGEX MATCHALL "[^\n]+" lines "${symbols}")
set(exported "")
foreach(line IN LISTS lines)
  if(line MATCHES "^[0-9a-f]* +[A-Za-z] +(.+)$")
    list(APPEND exported "${CMAKE_MATCH_1}")
  endif()
endforeach()
list(SORT exported)
if(NOT exported STREQUAL "VSTPluginMain;main")
  message(FATAL_ERROR "exported symbols are '${exported}', expected only VSTPluginMain and main")
endif()

execute_process(COMMAND readelf -dW ${PLUGIN} OUTPUT_VARIABLE dynamic)
string(REGEX MATCHALL "Shared library: \\[[^]]+\\]" needed "${dynamic}")
foreach(entry IN LISTS needed)
  string(REGEX REPLACE "Shared library: \\[([^]]+)\\]" "\\1" lib "${entry}")
  if(NOT lib MATCHES "^(libc|libm|libstdc\\+\\+|libgcc_s|libpthread|libdl|ld-linux-x86-64|libX11|libxcb[a-z-]*|libcairo|libfreetype|libfontconfig|libsamplerate)\\.so"
     AND NOT (SANITIZED AND lib MATCHES "^lib(a|ub|t)san"))
    message(FATAL_ERROR "the plug-in needs ${lib}, which a desktop system may lack")
  endif()
endforeach()

execute_process(COMMAND readelf -lW ${PLUGIN} OUTPUT_VARIABLE segments)
if(segments MATCHES "GNU_STACK[^\n]*RWE")
  message(FATAL_ERROR "the plug-in asks for an executable stack")
endif()
message(STATUS "exports: ${exported}; needs: ${needed}")
