# The native build: the update logic over the portable stand-ins of the Windows
# services, tested fast and under the sanitizers.
option(UPDATE_SANITIZE "Build the native tests with AddressSanitizer and UndefinedBehaviorSanitizer" ON)
if(UPDATE_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()
# The fuzz build (clang only) instruments everything for libFuzzer's coverage
# and builds the fuzz targets instead of the tests.
option(UPDATE_FUZZ "Build the libFuzzer targets instead of the native tests" OFF)
if(UPDATE_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "UPDATE_FUZZ needs clang (-fsanitize=fuzzer); use the fuzz preset")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
add_compile_options(-Wall -Wextra -Werror)
# libstdc++ checks every index: a string read past its terminator, or a
# vector past its end, stops the tests at once, sanitized or not.
add_compile_definitions(_GLIBCXX_ASSERTIONS)
set(UPDATE_PRODUCT_FLAGS -fno-exceptions -fno-rtti)
function(update_product_code target)
  target_compile_options(${target} PRIVATE ${UPDATE_PRODUCT_FLAGS})
endfunction()
