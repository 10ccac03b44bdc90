# Blank.msi and the cabinet maker.
set(TEMPLATE_TEST_DIR ${CMAKE_CURRENT_LIST_DIR})

# Edits a package the way the MSI build does; used by the install test.
add_executable(msi_package_edit ${TEMPLATE_TEST_DIR}/PackageEdit.cpp)
target_link_libraries(msi_package_edit PRIVATE common msi)
target_link_options(msi_package_edit PRIVATE -municode)
set_target_properties(msi_package_edit PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
add_dependencies(msi_package_edit blankmsi makecab)

add_test(NAME template_install
         COMMAND bash ${TEMPLATE_TEST_DIR}/install_test.sh ${CMAKE_BINARY_DIR} ${CMAKE_SOURCE_DIR})
set_tests_properties(template_install PROPERTIES TIMEOUT 900)

corvane_test(template_tests SOURCES ${TEMPLATE_TEST_DIR}/TemplateTest.cpp LIBS common msi)
add_dependencies(template_tests blankmsi)

add_test(NAME blank_msi_check COMMAND bash ${TEMPLATE_TEST_DIR}/blank_msi_check.sh ${CMAKE_BINARY_DIR})

corvane_test(makecab_tests SOURCES ${TEMPLATE_TEST_DIR}/MakecabTest.cpp LIBS makecabcore cabinet msi)
add_dependencies(makecab_tests makecab)
add_test(NAME makecab_gcab_check COMMAND bash ${TEMPLATE_TEST_DIR}/makecab_gcab_check.sh ${CMAKE_BINARY_DIR})
