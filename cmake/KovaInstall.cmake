# What `cmake --install` lays out, and what a client program builds against.
#
#   <libdir>/kovaintr/        libKovaIntr.so, libkovaplatform.so*, libwldap32.so,
#                             libzolbin.so and the other shipped component libraries
#   <includedir>/kovaintr/    kova_intr_api.h and the platform headers it needs
#   <bindir>/                 kovareg, kovactl
#   <mandir>/man1, man5/      the manual pages
#   <datadir>/doc/kovaintr/   README.md, doc/*.md, examples/
#   <libdir>/cmake/KovaIntr/  find_package(KovaIntr): the target KovaIntr::KovaIntr
#   <libdir>/pkgconfig/       kovaintr.pc
#
# The libraries stay in one folder because LoadLibraryA looks for x.dll as libx.so
# in the folder of the module that asks; the run paths (CMAKE_INSTALL_RPATH) point
# the tools at that folder and the libraries at each other.
include(CMakePackageConfigHelpers)

set(KOVA_INSTALL_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/KovaIntr)
set(KOVA_INSTALL_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/kovaintr)

# The client's target: the interface header, the platform's COM and automation
# headers and libkovaplatform.so. A client never links the component: it loads it
# through CoCreateInstance.
add_library(kova_client INTERFACE)
set_target_properties(kova_client PROPERTIES EXPORT_NAME KovaIntr)
target_include_directories(kova_client INTERFACE
  $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include/kovaintr>
  $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}/kovaintr>)
target_compile_features(kova_client INTERFACE cxx_std_17)
target_link_libraries(kova_client INTERFACE kova_platform)
add_library(KovaIntr::KovaIntr ALIAS kova_client)
set_target_properties(kova_platform PROPERTIES EXPORT_NAME Platform)

install(TARGETS kova_client kova_platform EXPORT KovaIntrTargets
        LIBRARY DESTINATION ${KOVA_INSTALL_LIBRARY_DIR})
install(TARGETS wldap32 LIBRARY DESTINATION ${KOVA_INSTALL_LIBRARY_DIR})

# The shipped components are the shared libraries defined under components/; each
# folder installs its own into KOVA_INSTALL_LIBRARY_DIR. Those whose sources define
# DllRegisterServer are COM servers that the package registers: KOVA_COM_SERVERS
# lists their targets, the component's first.
set(KOVA_COM_SERVERS "")
if(TARGET kova_server)
  list(APPEND KOVA_COM_SERVERS kova_server)
endif()
get_property(_kova_component_dirs DIRECTORY ${PROJECT_SOURCE_DIR}/components
             PROPERTY SUBDIRECTORIES)
foreach(_dir IN LISTS _kova_component_dirs)
  get_property(_targets DIRECTORY ${_dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(_target IN LISTS _targets)
    get_target_property(_type ${_target} TYPE)
    if(NOT _type MATCHES "^(SHARED|MODULE)_LIBRARY$" OR _target MATCHES "test")
      continue()
    endif()
    get_target_property(_sources ${_target} SOURCES)
    get_target_property(_source_dir ${_target} SOURCE_DIR)
    foreach(_source IN LISTS _sources)
      if(NOT IS_ABSOLUTE ${_source})
        set(_source ${_source_dir}/${_source})
      endif()
      if(EXISTS ${_source})
        file(STRINGS ${_source} _exports REGEX "DllRegisterServer")
        if(_exports)
          list(APPEND KOVA_COM_SERVERS ${_target})
          break()
        endif()
      endif()
    endforeach()
  endforeach()
endforeach()

# The client headers: kova_intr_api.h, objbase.h (CoInitialize, CLSIDFromProgID,
# CoCreateInstance, the BSTR functions), winnls.h (UTF-8 to and from the UTF-16
# of a BSTR) and every platform header they include, found by following their
# #include "..." lines.
set(_kova_platform_include ${PROJECT_SOURCE_DIR}/platform/include)
set(_kova_pending ${PROJECT_SOURCE_DIR}/include/kovaintr/kova_intr_api.h
    ${_kova_platform_include}/objbase.h ${_kova_platform_include}/winnls.h)
set(KOVA_CLIENT_HEADERS "")
while(_kova_pending)
  list(POP_FRONT _kova_pending _header)
  if(_header IN_LIST KOVA_CLIENT_HEADERS)
    continue()
  endif()
  list(APPEND KOVA_CLIENT_HEADERS ${_header})
  set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_header})
  file(STRINGS ${_header} _includes REGEX "^#include \"[^\"]+\"")
  foreach(_line IN LISTS _includes)
    string(REGEX REPLACE "^#include \"([^\"]+)\".*" "\\1" _name "${_line}")
    if(NOT EXISTS ${_kova_platform_include}/${_name})
      message(FATAL_ERROR "${_header} includes ${_name}, which platform/include lacks")
    endif()
    list(APPEND _kova_pending ${_kova_platform_include}/${_name})
  endforeach()
endwhile()
install(FILES ${KOVA_CLIENT_HEADERS} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/kovaintr)

# Manual pages, compressed as Debian keeps them.
set(KOVA_MAN_PAGES kovareg.1 kovactl.1 kovaintr-settings.5 kovaintr-hive.5
    kovaintr-profile.5)
set(_kova_man_outputs "")
foreach(_page IN LISTS KOVA_MAN_PAGES)
  set(_out ${CMAKE_BINARY_DIR}/man/${_page}.gz)
  add_custom_command(OUTPUT ${_out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND gzip -9n -c ${PROJECT_SOURCE_DIR}/man/${_page} > ${_out}
    DEPENDS ${PROJECT_SOURCE_DIR}/man/${_page}
    VERBATIM)
  list(APPEND _kova_man_outputs ${_out})
  string(REGEX REPLACE ".*\\.([0-9])$" "\\1" _section ${_page})
  install(FILES ${_out} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${_section})
endforeach()
add_custom_target(kova_man_pages ALL DEPENDS ${_kova_man_outputs})

install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${KOVA_INSTALL_DOC_DIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/doc/ DESTINATION ${KOVA_INSTALL_DOC_DIR}
        FILES_MATCHING PATTERN "*.md")
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/profile_client
        DESTINATION ${KOVA_INSTALL_DOC_DIR}/examples)

# find_package(KovaIntr): relocatable, found below any prefix it is installed in.
install(EXPORT KovaIntrTargets NAMESPACE KovaIntr:: DESTINATION ${KOVA_INSTALL_CMAKE_DIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/KovaIntrConfig.cmake.in
  ${CMAKE_BINARY_DIR}/KovaIntrConfig.cmake
  INSTALL_DESTINATION ${KOVA_INSTALL_CMAKE_DIR}
  PATH_VARS KOVA_INSTALL_LIBRARY_DIR)
write_basic_package_version_file(${CMAKE_BINARY_DIR}/KovaIntrConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/KovaIntrConfig.cmake
        ${CMAKE_BINARY_DIR}/KovaIntrConfigVersion.cmake
        DESTINATION ${KOVA_INSTALL_CMAKE_DIR})

# kovaintr.pc names absolute folders, so its prefix is filled in at install time
# (a package installs below another prefix than the build was configured with).
set(KOVA_PC_PREFIX "@KOVA_PC_PREFIX@")
configure_file(${PROJECT_SOURCE_DIR}/cmake/kovaintr.pc.in
               ${CMAKE_BINARY_DIR}/kovaintr.pc.in @ONLY)
install(CODE "
  file(READ \"${CMAKE_BINARY_DIR}/kovaintr.pc.in\" _kova_pc)
  string(REPLACE \"@KOVA_PC_PREFIX@\" \"\${CMAKE_INSTALL_PREFIX}\" _kova_pc \"\${_kova_pc}\")
  file(WRITE \"${CMAKE_BINARY_DIR}/kovaintr.pc\" \"\${_kova_pc}\")")
install(FILES ${CMAKE_BINARY_DIR}/kovaintr.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
