# Compiler settings shared by every target of the project.
add_library(kova_options INTERFACE)
target_compile_options(kova_options INTERFACE -Wall -Wextra -Wno-unused-parameter)
if(KOVA_WARNINGS_AS_ERRORS)
  target_compile_options(kova_options INTERFACE -Werror)
endif()
if(KOVA_SANITIZE)
  list(JOIN KOVA_SANITIZE "," _kova_sanitizers)
  target_compile_options(kova_options INTERFACE -fsanitize=${_kova_sanitizers}
                         -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(kova_options INTERFACE -fsanitize=${_kova_sanitizers})
endif()

# kova_add_gtest(NAME SOURCES src... [LIBS lib...])
# One GoogleTest executable; every test case becomes its own CTest test.
function(kova_add_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} kova_test_util GTest::gtest GTest::gtest_main
                        kova_options)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
                       PROPERTIES ENVIRONMENT "KOVA_BUILD_DIR=${CMAKE_BINARY_DIR}")
endfunction()
