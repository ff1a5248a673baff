# Checks what the plug-in module shows a host.
#   cmake -DMODULE=<module> -DTOOL=<nm | objdump> -DWINDOWS=<bool> -P CheckExports.cmake
# Windows (objdump -p): the export table holds exactly "_getPlugin", and
# every imported DLL is a system DLL. Elsewhere (nm -D): "_getPlugin" is
# defined, and no other dynamic symbol is one of ours.

function(fail message)
  message(FATAL_ERROR "${MODULE}: ${message}")
endfunction()

function(run_tool out)
  execute_process(COMMAND ${TOOL} ${ARGN} ${MODULE}
                  OUTPUT_VARIABLE text RESULT_VARIABLE status ERROR_VARIABLE errors)
  if(NOT status EQUAL 0)
    fail("${TOOL} failed: ${errors}")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

function(check_windows_module)
  run_tool(dump -p)
  # The names are listed after this heading, up to the next blank line.
  string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table\n([^\n]+\n)*" name_table "${dump}")
  string(REGEX MATCHALL "\n[ \t]*\\[ *[0-9]+\\] [^\n]+" export_lines "${name_table}")
  set(exports)
  foreach(line IN LISTS export_lines)
    string(REGEX REPLACE "^\n[ \t]*\\[ *[0-9]+\\] " "" name "${line}")
    list(APPEND exports "${name}")
  endforeach()
  if(NOT exports STREQUAL "_getPlugin")
    fail("exports [${exports}], expected exactly _getPlugin")
  endif()

  string(REGEX MATCHALL "DLL Name: [^\n]+" import_lines "${dump}")
  set(system_dll "^(kernel32|user32|advapi32|shlwapi|shell32|version|msvcrt|ucrtbase|ntdll|ole32|oleaut32|api-ms-win-[a-z0-9-]+)\\.dll$")
  foreach(line IN LISTS import_lines)
    string(REPLACE "DLL Name: " "" dll "${line}")
    string(STRIP "${dll}" dll)
    string(TOLOWER "${dll}" lower)
    if(NOT lower MATCHES "${system_dll}")
      fail("imports ${dll}, which is not a system DLL")
    endif()
  endforeach()
endfunction()

function(check_posix_module)
  run_tool(symbols -D --defined-only)
  if(NOT symbols MATCHES "[ \t][TW] _getPlugin\n")
    fail("does not export _getPlugin")
  endif()
  string(REGEX MATCHALL "[^ \t\n]*(Qel|getPlugin|ombrix)[^\n]*" ours "${symbols}")
  if(NOT ours STREQUAL "_getPlugin")
    fail("exports [${ours}], expected only _getPlugin of ours")
  endif()
endfunction()

if(WINDOWS)
  check_windows_module()
else()
  check_posix_module()
endif()
