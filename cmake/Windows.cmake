# The Windows build. Each difference from Linux lives in a file of a `windows` folder beside
# the sources it stands in for, with the reason at its top:
#
# - src/common/windows/posix.h is put before every source of the engine and the command line:
#   the POSIX calls those make, as Windows answers them (UTF-8 names, binary mode, a file's
#   identity and times, rename over an existing file, ...); posix.cpp holds them;
# - a source of Linux's whose counterpart is in `windows` is left out: the file views
#   (file_mapping.cpp), the held signals, paths and the program's folder, the console.
set(VERDALIA_WINDOWS_POSIX ${CMAKE_SOURCE_DIR}/src/common/windows/posix.h)

# Replaces in `list_var` each source of src/<layer> that src/<layer>/windows stands in for,
# adds the rest of src/<layer>/windows, and puts posix.h before every source not of Windows'.
function(verdalia_windows_sources list_var layer)
  set(sources ${${list_var}})
  file(GLOB windows_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/${layer}/windows/*.cpp)
  foreach(source IN LISTS windows_sources)
    get_filename_component(name ${source} NAME)
    list(REMOVE_ITEM sources ${CMAKE_SOURCE_DIR}/src/${layer}/${name})
  endforeach()
  set_source_files_properties(${sources} PROPERTIES COMPILE_OPTIONS
                              "-include;${VERDALIA_WINDOWS_POSIX}")
  set(${list_var} ${sources} ${windows_sources} PARENT_SCOPE)
endfunction()

# Windows 10 and later; no min/max macros from windows.h.
add_compile_definitions(_WIN32_WINNT=0x0A00 WINVER=0x0A00 NOMINMAX WIN32_LEAN_AND_MEAN
                        UNICODE _UNICODE)
add_link_options(-static)

# The manifest (names and texts in UTF-8 for the system's narrow calls, Windows 10 and later)
# and the version of both programs.
configure_file(${CMAKE_SOURCE_DIR}/scripts/windows/verdalia.rc.in
               ${CMAKE_BINARY_DIR}/windows/verdalia.rc @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/scripts/windows/verdalia.manifest
               ${CMAKE_BINARY_DIR}/windows/verdalia.manifest COPYONLY)
set(VERDALIA_WINDOWS_RESOURCES ${CMAKE_BINARY_DIR}/windows/verdalia.rc)

# The tests under wine: GoogleTest from Debian's sources (package googletest) built with the
# same compiler, and every test source put behind posix.h as the engine's are.
function(verdalia_windows_gtest)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endfunction()

# The tests that do not apply on Windows, each with why; the rest run there as on Linux.
function(verdalia_windows_tests list_var)
  set(sources ${${list_var}})
  list(REMOVE_ITEM sources
    # libmdb's own reading and words: Windows reads Access through ODBC.
    ${CMAKE_SOURCE_DIR}/tests/refdata/test_mdb_source.cpp
    # Linux's signals (sigaction) around a private copy of a database.
    ${CMAKE_SOURCE_DIR}/tests/refdata/test_sqlite_source.cpp
    # A write cut off by Linux's file-size limit (setrlimit); the corpus's saves run instead.
    ${CMAKE_SOURCE_DIR}/tests/reports/test_error_list_writer.cpp
    # Each test takes the file view's guard: Windows reads data files into memory instead.
    ${CMAKE_SOURCE_DIR}/tests/common/test_data_file.cpp
    # A locale made with glibc's localedef.
    ${CMAKE_SOURCE_DIR}/tests/logical/test_number_text.cpp
    # The private copy of a WAL database goes to TMPDIR, which the test sets; Windows takes
    # its temporary folder from TEMP.
    ${CMAKE_SOURCE_DIR}/tests/refdata/test_out_of_memory.cpp)
  set_source_files_properties(${sources} PROPERTIES COMPILE_OPTIONS
                              "-include;${VERDALIA_WINDOWS_POSIX}")
  set(${list_var} ${sources} PARENT_SCOPE)
endfunction()
