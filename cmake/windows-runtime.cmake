# A Windows build puts its programs and DLLs in one directory, bin/, with the
# MinGW runtime DLLs they load (libstdc++, libgcc, winpthreads), so that each
# runs from there without a search path; the install carries the runtime too.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bin)
set(TQXML_MINGW_RUNTIME "")
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                  OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(IS_ABSOLUTE "${path}" AND EXISTS "${path}")
    get_filename_component(path "${path}" REALPATH)
    list(APPEND TQXML_MINGW_RUNTIME ${path})
  endif()
endforeach()
file(COPY ${TQXML_MINGW_RUNTIME} DESTINATION ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
install(FILES ${TQXML_MINGW_RUNTIME} DESTINATION ${CMAKE_INSTALL_BINDIR})
