# The session, its handle table and the 22 interface operations.
add_library(kova_api STATIC
  ${CMAKE_CURRENT_LIST_DIR}/browse_bridge.cc
  ${CMAKE_CURRENT_LIST_DIR}/kova_api.cc
  ${CMAKE_CURRENT_LIST_DIR}/kova_session.cc)
target_include_directories(kova_api PUBLIC ${PROJECT_SOURCE_DIR}
                           ${PROJECT_SOURCE_DIR}/include/kovaintr)
target_link_libraries(kova_api PUBLIC kova_model PRIVATE kova_options)


if(KOVA_BUILD_TESTS)
  # The scripted browse dialog.
  add_library(kova_test_browse SHARED ${CMAKE_CURRENT_LIST_DIR}/testing/browse_double.cc)
  set_target_properties(kova_test_browse PROPERTIES OUTPUT_NAME kovatestbrowse)
  target_include_directories(kova_test_browse PRIVATE ${PROJECT_SOURCE_DIR}
                             ${PROJECT_SOURCE_DIR}/include/kovaintr)
  target_link_libraries(kova_test_browse PRIVATE kova_common kova_platform kova_options)

  kova_add_gtest(api_facade_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/browse_bridge_test.cc
            ${CMAKE_CURRENT_LIST_DIR}/kova_api_test.cc
            ${CMAKE_CURRENT_LIST_DIR}/kova_api_files_test.cc
            ${CMAKE_CURRENT_LIST_DIR}/kova_api_publish_test.cc
            ${CMAKE_CURRENT_LIST_DIR}/kova_session_test.cc
    LIBS kova_api)
  # The session asks the support library for its directories.
  add_dependencies(api_facade_test zolbin kova_test_browse)
  if(KOVA_LDAP_TESTS)
    # The interface on a Kova stored in the private slapd.
    kova_add_gtest(api_ldap_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/kova_api_ldap_test.cc
                   LIBS kova_api kova_slapd_fixture)
    add_dependencies(api_ldap_test zolbin wldap32)
  endif()
endif()
