# libKovaIntr.so: the in-process COM server shell around the facade. It exports
# only the four server entry points and the type-library data (server/exports.map);
# everything else is hidden.
if(NOT TARGET kova_api)
  message(STATUS "kova_api not defined yet: libKovaIntr.so is not built")
  return()
endif()
add_library(kova_server SHARED
  server/class_factory.cc
  server/exports.cc
  server/kova_module.cc
  server/kova_object.cc
  server/registry_scripts.cc
  server/type_library_data.cc)
set_target_properties(kova_server PROPERTIES
  OUTPUT_NAME KovaIntr
  CXX_VISIBILITY_PRESET hidden
  VISIBILITY_INLINES_HIDDEN ON
  LINK_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/server/exports.map)
# Without unique symbols the library can really be unloaded by CoFreeUnusedLibraries.
target_compile_options(kova_server PRIVATE $<$<CXX_COMPILER_ID:GNU>:-fno-gnu-unique>)
target_include_directories(kova_server PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/include)
target_link_options(kova_server PRIVATE
  -Wl,--version-script=${CMAKE_CURRENT_SOURCE_DIR}/server/exports.map -Wl,--no-undefined)
target_link_libraries(kova_server PRIVATE kova_api kova_platform kova_options)
install(TARGETS kova_server LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/kovaintr)

if(KOVA_BUILD_TESTS)
  kova_add_gtest(api_server_test SOURCES server/server_test.cc LIBS kova_platform)
  target_include_directories(api_server_test PRIVATE ${PROJECT_SOURCE_DIR}/include)
  add_dependencies(api_server_test kova_server)
  # The tests also run kovactl and start sessions, which ask the support library
  # for the user directory; both are defined later in the tree.
  function(kova_server_test_dependencies)
    foreach(target kovactl zolbin)
      if(TARGET ${target})
        add_dependencies(api_server_test ${target})
      endif()
    endforeach()
  endfunction()
  cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL kova_server_test_dependencies)
endif()
