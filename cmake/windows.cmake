# The Windows build: UpDate.exe and the Windows test programs, run under Wine.
add_compile_options(-Wall -Wextra -Werror -municode
                    "-ffile-prefix-map=${PROJECT_SOURCE_DIR}=." "-ffile-prefix-map=${PROJECT_BINARY_DIR}=.")
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
# Every program links its runtime statically: the exe needs no DLL that
# Windows does not ship. No link timestamp, so builds repeat byte for byte.
add_link_options(-static -Wl,--no-insert-timestamp
                 -Wl,--dynamicbase -Wl,--nxcompat -Wl,--tsaware)
set(UPDATE_PRODUCT_FLAGS -fno-exceptions -fno-rtti -Os -ffunction-sections -fdata-sections)

set(UPDATE_WINE_PREFIX "${PROJECT_BINARY_DIR}/wineprefix")
set(CMAKE_CROSSCOMPILING_EMULATOR "${PROJECT_SOURCE_DIR}/scripts/wine-run")

# The platform layer every Windows program shares; the message box is kept
# apart so test programs can record boxes instead of showing them.
add_library(update_platform STATIC
  platform/ansi_win32.cpp
  platform/file_system_win32.cpp
  platform/window_lookup_win32.cpp
  registry/registry_api_win32.cpp
  resources/resource_access_win32.cpp)
target_include_directories(update_platform PUBLIC "${PROJECT_SOURCE_DIR}" "${UPDATE_GENERATED_DIR}")
target_compile_options(update_platform PRIVATE ${UPDATE_PRODUCT_FLAGS})

add_library(update_message_box STATIC platform/message_box_win32.cpp)
target_include_directories(update_message_box PUBLIC "${PROJECT_SOURCE_DIR}")
target_compile_options(update_message_box PRIVATE ${UPDATE_PRODUCT_FLAGS})

# The compiled resource script, linked into the exe and into the test
# programs that read the catalogue from their own module.
add_library(update_resources OBJECT resources/UpDate.rc)
target_include_directories(update_resources PRIVATE
  "${UPDATE_GENERATED_DIR}" "${PROJECT_SOURCE_DIR}/resources" "${PROJECT_SOURCE_DIR}/resources/assets")
# windres reads these files itself, so the build cannot see them; without
# this a changed payload, picture, manifest or icon leaves a stale exe.
# (OBJECT_DEPENDS is a property of the source file, not of the target.)
file(GLOB update_icon_files "${PROJECT_SOURCE_DIR}/resources/assets/icon_*.bin")
set_property(SOURCE resources/UpDate.rc PROPERTY OBJECT_DEPENDS
  "${UPDATE_PAYLOAD};${UPDATE_PICTURE};${PROJECT_SOURCE_DIR}/resources/UpDate.manifest;${UPDATE_GENERATED_DIR}/catalogue.h;${update_icon_files}")
set(CMAKE_RC_FLAGS "-c 65001")

# Runs a Windows test program as one CTest test under Wine.
function(update_add_wine_test name)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "WINEPREFIX=${UPDATE_WINE_PREFIX}" TIMEOUT 2400)
endfunction()

# GoogleTest built from the Debian sources with the cross toolchain.
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest "${PROJECT_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL SYSTEM)
