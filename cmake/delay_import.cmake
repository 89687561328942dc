# Delay-load import libraries for the DLLs that are not KnownDLLs.
#
# Windows looks for a DLL named in a program's import table first beside the program, and an installer is
# started from the user's Downloads folder, where any web page can leave a file called WININET.dll. Only
# KnownDLLs (always taken from the system folder) may stay in the import table; every other DLL is named in
# the delay-import table instead and loaded on first use, after the program has restricted its DLL search to
# the system folder (app/dll_search_win.cpp). GNU ld has no /DELAYLOAD switch: dlltool writes a delay-load
# import library from a .def file, which is made here from the toolchain's ordinary import library.
#
# quarn_delay_import_libraries(OUT_VAR dll...) sets OUT_VAR to the delay-load libraries of the given DLLs.
function(quarn_delay_import_libraries out_var)
  set(result)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    # i686 import symbols are __imp__Name@N; the DLL exports Name (dlltool -k drops the @N).
    set(prefix "__imp__")
    set(kill_at -k)
  else()
    set(prefix "__imp_")
    set(kill_at)
  endif()
  string(LENGTH "${prefix}" prefix_length)
  foreach(dll IN LISTS ARGN)
    find_library(_implib_${dll} NAMES lib${dll}.a ${dll} NO_CACHE)
    if(NOT _implib_${dll})
      message(FATAL_ERROR "no import library for ${dll}.dll")
    endif()
    execute_process(COMMAND ${CMAKE_NM} ${_implib_${dll}} OUTPUT_VARIABLE symbols RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR "${CMAKE_NM} could not read ${_implib_${dll}}")
    endif()
    string(REGEX MATCHALL " I ${prefix}[^\r\n]+" imports "${symbols}")
    set(def "LIBRARY ${dll}.dll\nEXPORTS\n")
    set(seen)
    foreach(line IN LISTS imports)
      string(SUBSTRING "${line}" 3 -1 name)
      string(SUBSTRING "${name}" ${prefix_length} -1 name)
      if(NOT name IN_LIST seen)
        list(APPEND seen "${name}")
        string(APPEND def "${name}\n")
      endif()
    endforeach()
    if(NOT seen)
      message(FATAL_ERROR "${_implib_${dll}} names no function of ${dll}.dll")
    endif()
    set(dir ${CMAKE_BINARY_DIR}/delay-import)
    file(MAKE_DIRECTORY ${dir})
    file(WRITE ${dir}/${dll}.def "${def}")
    set(lib ${dir}/lib${dll}-delay.a)
    execute_process(COMMAND ${CMAKE_DLLTOOL} ${kill_at} -d ${dir}/${dll}.def -y ${lib} -D ${dll}.dll
                    RESULT_VARIABLE rc ERROR_VARIABLE err)
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR "dlltool could not write the delay-load library of ${dll}.dll: ${err}")
    endif()
    list(APPEND result ${lib})
  endforeach()
  set(${out_var} ${result} PARENT_SCOPE)
endfunction()
