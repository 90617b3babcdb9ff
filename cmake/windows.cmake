# The Windows build (UpDate.exe and the Windows test programs, run under
# Wine): its flags, and the functions that build and link as the product is.
add_compile_options(-Wall -Wextra -Werror -municode
                    "-ffile-prefix-map=${PROJECT_SOURCE_DIR}=." "-ffile-prefix-map=${PROJECT_BINARY_DIR}=.")
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
# Every program links its runtime statically: the exe needs no DLL that
# Windows does not ship. ASLR, DEP and terminal-server awareness are asked
# for explicitly, whatever the linker's defaults. The subsystem version is
# Windows 7's, the oldest the program runs on (_WIN32_WINNT above; the
# release checks hold its imports to it).
add_link_options(-static -Wl,--dynamicbase -Wl,--nxcompat -Wl,--tsaware
                 -Wl,--major-subsystem-version,6 -Wl,--minor-subsystem-version,1)

# The link time stamp, the one date a build would otherwise take from the
# clock: SOURCE_DATE_EPOCH when it is set (the linker reads it from the
# environment of the link, which the launcher provides whatever the build's
# own environment), none at all otherwise. Either way builds repeat byte for byte.
set(UPDATE_SOURCE_DATE_EPOCH "$ENV{SOURCE_DATE_EPOCH}")
if(UPDATE_SOURCE_DATE_EPOCH STREQUAL "")
  set(UPDATE_SOURCE_DATE_EPOCH 0)
  add_link_options(-Wl,--no-insert-timestamp)
else()
  if(NOT UPDATE_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$" OR UPDATE_SOURCE_DATE_EPOCH GREATER 4294967295)
    message(FATAL_ERROR "SOURCE_DATE_EPOCH must be seconds since 1970 that fit a PE time stamp "
                        "(0 to 4294967295), not '${UPDATE_SOURCE_DATE_EPOCH}'")
  endif()
  add_link_options(-Wl,--insert-timestamp)
  foreach(language C CXX)
    set(CMAKE_${language}_LINKER_LAUNCHER "${CMAKE_COMMAND}" -E env "SOURCE_DATE_EPOCH=${UPDATE_SOURCE_DATE_EPOCH}")
  endforeach()
endif()
# The product's code is compiled for size (-Oz: as -Os, but choosing the
# shorter instruction where -Os would choose the faster, GCC 12 and later);
# each function gets a section of its own for the linker to drop. The data
# do not (-fno-data-sections): link-time optimisation already drops every
# datum nothing uses, and a section each only padded the rest apart.
# -fno-declone-ctor-dtor: GCC's default at -Os moves the body shared by a
# constructor's or destructor's complete and base variants into a third
# function that both call; with link-time optimisation one variant is all
# the program keeps, and the extra function and its calls are only cost.
# -fno-inline-functions-called-once: a function called from one place is no
# longer inlined there whatever its size; inlining the large ones grew their
# callers' frames and their spills more than it saved the call.
# -fno-optimize-sibling-calls, -fno-caller-saves, -fno-expensive-optimizations:
# a call in tail position stays a call instead of a jump after the caller's
# frame is torn down in place; a value live across a call stays in a
# register the callee preserves (or on the stack) instead of being saved and
# restored around the call; and the costlier CSE passes are left out. Each
# gains speed on hot loops, which this program has none of; together they
# shorten its code by about 240 bytes.
# -malign-data=abi: an array or structure is aligned as the ABI requires
# (its largest member's alignment) rather than to 32 bytes, a cache line, as
# GCC does for any datum of 32 bytes or more; the read-only tables and texts
# here are read once a run, and the padding between them was about 90 bytes.
set(UPDATE_PRODUCT_FLAGS -fno-exceptions -fno-rtti -Oz -ffunction-sections -fno-data-sections
    -fno-declone-ctor-dtor -fno-inline-functions-called-once
    -fno-optimize-sibling-calls -fno-caller-saves -fno-expensive-optimizations -malign-data=abi)
# On 32-bit Windows the unwind tables serve only libgcc's unwinder, that is
# C++ exceptions, which the product never throws (structured exceptions walk
# a chain on the stack instead), so they are left out. 64-bit Windows unwinds
# every exception with these tables, so there they stay.
#
# The rest of this block trades speed the program never needs for size; each
# flag's saving in UpDate.exe's code overhead, alone, is in the CHANGELOG
# (bench/exe-size measures it; the file grows in 512-byte steps).
# - -mno-stack-arg-probe: MinGW probes every frame larger than a page
#   (libgcc's ___chkstk_ms) and, to know each frame's size up front, keeps
#   the space for outgoing arguments in the frame (-maccumulate-outgoing-
#   args), so every call is made with movs instead of pushes. Without the
#   probe the arguments are pushed. A frame over 4 KiB would then step over
#   the stack's guard page and fault instead of growing the stack, so a frame
#   over 4 KiB is an error, at the link too, where the frames are laid out
#   (-Werror=frame-larger-than=4096; today's largest is about 2 KiB), and so
#   is a variable-length array (-Werror=vla), whose size no check can see.
# - -mpreferred-stack-boundary=2: keep the stack 4-byte aligned, as the
#   32-bit Windows ABI does (Windows calls the window procedure, and
#   msvcrt's functions are called, with 4-byte alignment only), instead of
#   padding every frame to 16 bytes. The code uses no SSE (the target is
#   pentiumpro, -mfpmath=387), and GCC realigns on entry the frame of any
#   function with a local that needs more (alignas, or a vector type), since
#   it now assumes 4 coming in as well: sound, and more so than the default,
#   which assumes a 16-byte aligned stack that Windows never promised.
#   i686 only: the x86-64 ABI fixes 16 bytes.
# - -fomit-frame-pointer: MinGW's i686 compiler keeps EBP as a frame pointer
#   in every function at every level of optimisation (`-Q --help=optimizers`
#   shows it off even at -Oz), which costs each function its prologue and
#   epilogue and the code one register fewer. Nothing here walks the stack
#   by EBP: 32-bit structured exceptions chain their records through FS:[0].
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  list(APPEND UPDATE_PRODUCT_FLAGS -fno-asynchronous-unwind-tables -fomit-frame-pointer
       -mno-stack-arg-probe -Werror=frame-larger-than=4096 -Werror=vla -mpreferred-stack-boundary=2)
endif()

# The product's code is also optimised at link time, across its files, when
# the product is linked: what nothing calls is dropped and what one place
# calls is inlined there. Its objects carry ordinary code as well (fat LTO
# objects), and every other program is linked from that: the test programs,
# built with exceptions, cannot be linked with the LTO form, where ld
# reports an inline function of both kinds (std::u16string's) as defined twice.
add_link_options(-fno-lto)
function(update_product_code target)
  target_compile_options(${target} PRIVATE ${UPDATE_PRODUCT_FLAGS} -flto -ffat-lto-objects)
endfunction()

# Each build runs its programs in a Wine prefix of its own. The 64-bit
# build's prefix never runs a 32-bit program (scripts/lib/wine.sh).
set(UPDATE_WINE_PREFIX "${PROJECT_BINARY_DIR}/wineprefix")
math(EXPR UPDATE_BITS "${CMAKE_SIZEOF_VOID_P} * 8")
set(UPDATE_WINE_ENVIRONMENT "WINEPREFIX=${UPDATE_WINE_PREFIX}" "UPDATE_WINE_BITS=${UPDATE_BITS}")
set(CMAKE_CROSSCOMPILING_EMULATOR "${PROJECT_SOURCE_DIR}/scripts/wine-run")

# C names take a leading underscore on 32-bit x86 only.
if(UPDATE_BITS EQUAL 32)
  set(UPDATE_C_PREFIX _)
endif()
# ld 2.40 crashes when code generated at link time is the first to need a
# function of the C library. The compiler calls these on its own (for new,
# abort and the copies in std::u16string), so the objects it leaves for the
# link do not name them; named on the command line, they are taken first.
# Only those the program calls are named (each adds an import): if ld ever
# ends with "terminated with signal 11" here, the program has come to call
# another (memcpy, memset, ...), which belongs in this list, or a function
# has come to need a stack frame larger than a page, which makes the 64-bit
# compiler call libgcc's stack probe (___chkstk_ms): keep frames smaller.
# (The 32-bit build has no probes and refuses such a frame, above.)
set(UPDATE_C_LIBRARY_CALLS)
foreach(function malloc free abort memmove)
  list(APPEND UPDATE_C_LIBRARY_CALLS "-Wl,--undefined=${UPDATE_C_PREFIX}${function}")
endforeach()

# Links `target` as the product is linked: GUI, started by update_runtime (app/),
# stripped, unused sections dropped, with a link map beside it (bench/exe-size
# reads where the bytes come from in it; the map is no part of the exe).
function(update_link_gui_program target)
  update_product_code(${target})
  target_link_libraries(${target} PRIVATE update_runtime)
  target_link_options(${target} PRIVATE -flto ${UPDATE_PRODUCT_FLAGS} -nostartfiles
                      -Wl,--entry,${UPDATE_C_PREFIX}UpdateEntry ${UPDATE_C_LIBRARY_CALLS} -s -Wl,--gc-sections
                      -mwindows "-Wl,-Map,$<TARGET_FILE_DIR:${target}>/$<TARGET_FILE_BASE_NAME:${target}>.map")
endfunction()

# Links the program (app/, all but its start-up hardening) into `target`.
function(update_link_program target)
  update_link_gui_program(${target})
  target_link_libraries(${target} PRIVATE update_app)
endfunction()

# The compiled resource script (resources/), for the exe and the test
# programs that read the catalogue from their own module.
set(CMAKE_RC_FLAGS "-c 65001")

# Runs a Windows test program as one CTest test under Wine.
function(update_add_wine_test name)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "${UPDATE_WINE_ENVIRONMENT}" TIMEOUT 2400)
endfunction()

# GoogleTest built from its sources with the cross toolchain (Debian's
# package googletest puts them in /usr/src/googletest).
set(UPDATE_GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest's source folder, built for Windows")
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory("${UPDATE_GOOGLETEST_SOURCE_DIR}" "${PROJECT_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL SYSTEM)
