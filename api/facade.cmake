# The session, its handle table and the 22 interface operations.
add_library(kova_api STATIC
  ${CMAKE_CURRENT_LIST_DIR}/facade_seams.cc
  ${CMAKE_CURRENT_LIST_DIR}/kova_api.cc
  ${CMAKE_CURRENT_LIST_DIR}/kova_session.cc)
target_include_directories(kova_api PUBLIC ${PROJECT_SOURCE_DIR}
                           ${PROJECT_SOURCE_DIR}/include/kovaintr)
target_link_libraries(kova_api PUBLIC kova_model PRIVATE kova_options)


if(KOVA_BUILD_TESTS)
  kova_add_gtest(api_facade_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/kova_api_test.cc
            ${CMAKE_CURRENT_LIST_DIR}/kova_api_files_test.cc
            ${CMAKE_CURRENT_LIST_DIR}/kova_session_test.cc
    LIBS kova_api)
  # The session asks the support library for its directories.
  add_dependencies(api_facade_test zolbin)
  if(KOVA_LDAP_TESTS)
    # The interface on a Kova stored in the private slapd.
    kova_add_gtest(api_ldap_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/kova_api_ldap_test.cc
                   LIBS kova_api kova_slapd_fixture)
    add_dependencies(api_ldap_test zolbin wldap32)
  endif()
endif()
