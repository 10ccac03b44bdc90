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
