# Run at install time: writes the desktop entry with the installed program's full path, then
# brings the desktop's databases under the prefix up to date where the tools exist (not when
# staging into DESTDIR, where a package's own scripts do that).
# In: ZELMORA_DESKTOP_IN, ZELMORA_BINDIR, ZELMORA_DATADIR (relative to the prefix or absolute).
foreach(_dir BINDIR DATADIR)
  if(IS_ABSOLUTE "${ZELMORA_${_dir}}")
    set(_${_dir} "${ZELMORA_${_dir}}")
  else()
    set(_${_dir} "${CMAKE_INSTALL_PREFIX}/${ZELMORA_${_dir}}")
  endif()
endforeach()

# The Exec key's quoting: an argument with a reserved character goes in double quotes, with
# '"', '`', '$' and '\' escaped; '%' is doubled; then the string escape of '\'.
set(_exec "${_BINDIR}/zelmora")
string(REPLACE "%" "%%" _exec "${_exec}")
if(_exec MATCHES "[] \t\"'\\\\><~|&;$*?#()`[]")
  string(REGEX REPLACE "([\"`$\\\\])" "\\\\\\1" _exec "${_exec}")
  set(_exec "\"${_exec}\"")
endif()
string(REPLACE "\\" "\\\\" ZELMORA_EXEC "${_exec}")

set(_entry "$ENV{DESTDIR}${_DATADIR}/applications/zelmora.desktop")
configure_file("${ZELMORA_DESKTOP_IN}" "${_entry}" @ONLY)
message(STATUS "Installing: ${_entry}")

if("$ENV{DESTDIR}" STREQUAL "")
  find_program(_mimedb update-mime-database)
  find_program(_desktopdb update-desktop-database)
  if(_mimedb)
    execute_process(COMMAND "${_mimedb}" "${_DATADIR}/mime" OUTPUT_QUIET ERROR_QUIET TIMEOUT 60)
  endif()
  if(_desktopdb)
    execute_process(COMMAND "${_desktopdb}" "${_DATADIR}/applications" OUTPUT_QUIET ERROR_QUIET TIMEOUT 60)
  endif()
endif()
