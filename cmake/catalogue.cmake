# The release inputs: everything that changes from one data update to the next.
# Each is a cache variable whose default is the shipped value; the resource
# script and the native build both read them from the generated catalogue.h.

set(UPDATE_DATA_VERSION "7.0.8" CACHE STRING "Data version: shown in the success message and recorded as VerTOL")
set(UPDATE_DATA_FILE_NAME "unit.xml" CACHE STRING "Name of the data file in the installation folder")
set(UPDATE_DESCRIPTION "该更新程序，纠正了单位换算中的某些数据错误。" CACHE STRING "Line shown in the window")
set(UPDATE_TARGET_WINDOW_TITLE "tolvar" CACHE STRING "Title of the target application's main window")
set(UPDATE_MAKER "Tolvar Update Project" CACHE STRING "Maker named in the version block")
set(UPDATE_PAYLOAD "${PROJECT_SOURCE_DIR}/resources/assets/unit.xml" CACHE FILEPATH "The new data file")
set(UPDATE_PICTURE "${PROJECT_SOURCE_DIR}/resources/assets/product.bmp" CACHE FILEPATH "The product picture")

# Everything below checks the inputs when CMake configures, so that a bad one
# stops the release there, with a message naming it, rather than as a build
# error or as an exe that fails on its users' machines.

# Stops the configure step unless the variable `input` names a file that can
# be carried: present, not a folder, readable and not empty.
function(update_check_input_file input)
  set(path "${${input}}")
  if(path MATCHES "\"")
    message(FATAL_ERROR "${input}: the path must not hold a double quote: '${path}'")
  endif()
  if(NOT EXISTS "${path}")
    # EXISTS is false, too, for a file that is there but cannot be read.
    file(GLOB present LIST_DIRECTORIES true "${path}")
    if(present)
      message(FATAL_ERROR "${input}: the file cannot be read: '${path}'")
    endif()
    message(FATAL_ERROR "${input}: no such file: '${path}'")
  endif()
  if(IS_DIRECTORY "${path}")
    message(FATAL_ERROR "${input}: '${path}' is a folder, not a file")
  endif()
  execute_process(COMMAND "${CMAKE_COMMAND}" -E sha256sum "${path}"
                  RESULT_VARIABLE failed OUTPUT_VARIABLE sum ERROR_QUIET)
  if(failed)
    message(FATAL_ERROR "${input}: the file cannot be read: '${path}'")
  endif()
  file(SIZE "${path}" size)
  if(size EQUAL 0)
    message(FATAL_ERROR "${input}: the file is empty: '${path}'")
  endif()
  string(REGEX MATCH "^[0-9a-f]+" sum "${sum}")
  message(STATUS "${input}: ${path} (${size} bytes, SHA-256 ${sum})")
  set_property(DIRECTORY "${PROJECT_SOURCE_DIR}" APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${path}")
endfunction()

# Stops the configure step when the text of the variable `name` is empty or
# holds what the generated header cannot carry: a quote, a backslash or a
# control character.
function(update_check_text name)
  set(text "${${name}}")
  string(ASCII 1 first_control)
  string(ASCII 31 last_control)
  if(text STREQUAL "")
    message(FATAL_ERROR "${name} must not be empty")
  endif()
  if(text MATCHES "[\"\\\\${first_control}-${last_control}]")
    message(FATAL_ERROR "${name} must not hold a quote, a backslash or a control character: '${text}'")
  endif()
endfunction()

# Stops the configure step unless the text of the variable `name` is GB2312
# text, which the ANSI code page of the systems the program is made for (936)
# holds: the program passes versions, names and paths through it, and any
# other character would come out as "?". Sets `bytes_out` to its length in
# GB2312 bytes.
find_program(UPDATE_ICONV iconv)
function(update_check_gb2312 name bytes_out)
  if(NOT UPDATE_ICONV)
    message(FATAL_ERROR "iconv (Debian package libc-bin) is needed to check ${name}")
  endif()
  execute_process(COMMAND "${CMAKE_COMMAND}" -E echo_append "${${name}}"
                  COMMAND "${UPDATE_ICONV}" -f UTF-8 -t GB2312
                  RESULT_VARIABLE failed OUTPUT_VARIABLE encoded ERROR_QUIET)
  if(failed)
    message(FATAL_ERROR "${name} holds characters that GB2312 cannot hold: '${${name}}'")
  endif()
  string(LENGTH "${encoded}" bytes)
  set(${bytes_out} ${bytes} PARENT_SCOPE)
endfunction()

update_check_input_file(UPDATE_PAYLOAD)
update_check_input_file(UPDATE_PICTURE)
file(READ "${UPDATE_PICTURE}" magic LIMIT 2 HEX)
if(NOT magic STREQUAL "424d")  # "BM"
  message(FATAL_ERROR "UPDATE_PICTURE must be a Windows bitmap (.bmp): '${UPDATE_PICTURE}'")
endif()

foreach(text UPDATE_DATA_VERSION UPDATE_DATA_FILE_NAME UPDATE_DESCRIPTION UPDATE_TARGET_WINDOW_TITLE UPDATE_MAKER)
  update_check_text(${text})
endforeach()
foreach(text UPDATE_DATA_VERSION UPDATE_DATA_FILE_NAME UPDATE_TARGET_WINDOW_TITLE)
  update_check_gb2312(${text} ${text}_BYTES)
endforeach()

# VerTOL is read back trimmed, into 254 bytes at most: a version that does not
# survive that would never match what was written, and every run would
# install the update again.
if(UPDATE_DATA_VERSION MATCHES "^ | $")
  message(FATAL_ERROR "UPDATE_DATA_VERSION must not begin or end with a space: '${UPDATE_DATA_VERSION}'")
endif()
if(UPDATE_DATA_VERSION_BYTES GREATER 254)
  message(FATAL_ERROR "UPDATE_DATA_VERSION is ${UPDATE_DATA_VERSION_BYTES} bytes long in GB2312; at most 254 fit")
endif()

# The data file is looked for, and written, in the installation folder only.
string(TOUPPER "${UPDATE_DATA_FILE_NAME}" upper_name)
if(UPDATE_DATA_FILE_NAME MATCHES "[<>:/|?*]|^\\.\\.?$|[. ]$|^ "
   OR upper_name MATCHES "^(CON|PRN|AUX|NUL|COM[1-9]|LPT[1-9])(\\.|$)")
  message(FATAL_ERROR "UPDATE_DATA_FILE_NAME must be a plain Windows file name (no folder, none of < > : / | ? *, "
                      "no device name, no space or dot at either end): '${UPDATE_DATA_FILE_NAME}'")
endif()

set(UPDATE_GENERATED_DIR "${PROJECT_BINARY_DIR}/generated")
configure_file("${PROJECT_SOURCE_DIR}/resources/catalogue.h.in" "${UPDATE_GENERATED_DIR}/catalogue.h" @ONLY)

# The payload as a C++ byte array, for the native build's stand-in of the resources.
function(update_embed_payload out)
  file(READ "${UPDATE_PAYLOAD}" hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  file(SIZE "${UPDATE_PAYLOAD}" size)
  set(source "// Generated from ${UPDATE_PAYLOAD}.\n#include <cstddef>\nnamespace resources {\n"
             "extern const unsigned char kEmbeddedPayload[] = {${bytes}};\n"
             "extern const std::size_t kEmbeddedPayloadSize = ${size};\n}\n")
  file(CONFIGURE OUTPUT "${out}" CONTENT "${source}")
endfunction()
