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

foreach(input UPDATE_PAYLOAD UPDATE_PICTURE)
  if(NOT EXISTS "${${input}}" OR IS_DIRECTORY "${${input}}")
    message(FATAL_ERROR "${input}: no such file: '${${input}}'")
  endif()
  file(SIZE "${${input}}" size)
  if(size EQUAL 0)
    message(FATAL_ERROR "${input}: the file is empty: '${${input}}'")
  endif()
  set_property(DIRECTORY "${PROJECT_SOURCE_DIR}" APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${${input}}")
endforeach()

foreach(text UPDATE_DATA_VERSION UPDATE_DATA_FILE_NAME UPDATE_DESCRIPTION UPDATE_TARGET_WINDOW_TITLE UPDATE_MAKER)
  if("${${text}}" STREQUAL "")
    message(FATAL_ERROR "${text} must not be empty")
  endif()
  if("${${text}}" MATCHES "[\"\\\\]")
    message(FATAL_ERROR "${text} must not hold a quote or a backslash: '${${text}}'")
  endif()
endforeach()

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
