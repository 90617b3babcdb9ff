# The release step. `cmake --workflow --preset release` configures, builds
# UpDate.exe and then the `dist` target, which checks the exe (imports,
# mitigations), signs it when a certificate is given and writes dist/: the
# exe, a zip of it and SHA256SUMS (scripts/make-dist).
find_package(Python3 REQUIRED COMPONENTS Interpreter)

set(UPDATE_DIST_DIR "${PROJECT_SOURCE_DIR}/dist" CACHE PATH
    "Where the release step writes UpDate.exe, its zip and SHA256SUMS")
set(UPDATE_SIGN_PKCS12 "" CACHE FILEPATH
    "Code-signing certificate and key (PKCS#12); empty: the environment's UPDATE_SIGN_PKCS12, else unsigned")
set(UPDATE_SIGN_PASSWORD_FILE "" CACHE FILEPATH
    "File holding the certificate's password; empty: the environment's UPDATE_SIGN_PASSWORD")
set(UPDATE_SIGN_TIMESTAMP_URL "" CACHE STRING
    "RFC 3161 time-stamp server; empty: the environment's UPDATE_SIGN_TIMESTAMP_URL, else none")
set(UPDATE_SIGN_CA_FILE "" CACHE FILEPATH
    "Certificates the signature and its time stamp are verified against; empty: the environment's UPDATE_SIGN_CA_FILE, else the system's")

foreach(input UPDATE_SIGN_PKCS12 UPDATE_SIGN_PASSWORD_FILE UPDATE_SIGN_CA_FILE)
  if(NOT "${${input}}" STREQUAL "" AND (NOT EXISTS "${${input}}" OR IS_DIRECTORY "${${input}}"))
    message(FATAL_ERROR "${input}: no such file: '${${input}}'")
  endif()
endforeach()
if(NOT "${UPDATE_SIGN_PKCS12}$ENV{UPDATE_SIGN_PKCS12}" STREQUAL "")
  find_program(UPDATE_OSSLSIGNCODE osslsigncode)
  if(NOT UPDATE_OSSLSIGNCODE)
    message(FATAL_ERROR "osslsigncode (Debian package osslsigncode) is needed to sign UpDate.exe")
  endif()
  message(STATUS "Release: UpDate.exe will be signed")
else()
  message(STATUS "Release: no certificate given (UPDATE_SIGN_PKCS12): UpDate.exe will not be signed")
endif()

set(dist_arguments
  --exe "$<TARGET_FILE:UpDate>" --out "${UPDATE_DIST_DIR}" --version "${UPDATE_DATA_VERSION}"
  --epoch "${UPDATE_SOURCE_DATE_EPOCH}" --objdump "${CMAKE_OBJDUMP}"
  --check "${PROJECT_SOURCE_DIR}/tests/release/check_exe.py")
foreach(option pkcs12 password-file timestamp-url ca-file)
  string(TOUPPER "UPDATE_SIGN_${option}" variable)
  string(REPLACE "-" "_" variable "${variable}")
  if(NOT "${${variable}}" STREQUAL "")
    list(APPEND dist_arguments --${option} "${${variable}}")
  endif()
endforeach()
add_custom_target(dist
  COMMAND "${Python3_EXECUTABLE}" "${PROJECT_SOURCE_DIR}/scripts/make-dist" ${dist_arguments}
  COMMENT "Making ${UPDATE_DIST_DIR}"
  VERBATIM)
add_dependencies(dist UpDate)
