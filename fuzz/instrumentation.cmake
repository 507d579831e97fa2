# Flags for a fuzzing build (KOVA_BUILD_FUZZERS), included before any target is
# defined so that every library the fuzz targets reach is instrumented for
# coverage and checked by the address and undefined-behaviour sanitizers.
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  message(FATAL_ERROR "KOVA_BUILD_FUZZERS needs clang (libFuzzer); use the fuzz preset")
endif()
add_compile_options(-fsanitize=fuzzer-no-link,address,undefined
                    -fno-sanitize-recover=undefined -fno-omit-frame-pointer -g -O1)
# The sanitizer runtime is one shared library, so that the shared libraries of the
# tree (some linked with --no-undefined, some loaded with LoadLibraryA) all resolve
# to the same runtime as the fuzz target.
execute_process(
  COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libclang_rt.asan-x86_64.so
  OUTPUT_VARIABLE _kova_asan_runtime OUTPUT_STRIP_TRAILING_WHITESPACE)
get_filename_component(_kova_sanitizer_dir "${_kova_asan_runtime}" DIRECTORY)
add_link_options(-fsanitize=address,undefined -shared-libsan
                 "LINKER:-rpath,${_kova_sanitizer_dir}")
