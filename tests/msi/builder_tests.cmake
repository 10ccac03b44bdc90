# The MSI builder: rows, cabinet and failure paths in-process, and the host-side
# checks of a built package with independent tools and Wine's own msiexec.
corvane_test(builder_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/BuilderTest.cpp ${CMAKE_CURRENT_LIST_DIR}/FileRulesTest.cpp
          ${CMAKE_CURRENT_LIST_DIR}/MachineValuesTest.cpp
          ${CMAKE_SOURCE_DIR}/tests/common/VersionResource.rc
  LIBS msibuilder project)
add_dependencies(builder_tests blankmsi makecab)

# Builds the package the host-side check installs.
add_executable(builder_package_maker ${CMAKE_CURRENT_LIST_DIR}/BuilderPackageMaker.cpp)
target_link_libraries(builder_package_maker PRIVATE msibuilder project testsupport)
target_link_options(builder_package_maker PRIVATE -municode)
set_target_properties(builder_package_maker PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
add_dependencies(builder_package_maker blankmsi makecab data wineprefix)

add_test(NAME builder_package_check
         COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/builder_package_check.sh ${CMAKE_BINARY_DIR} ${CMAKE_SOURCE_DIR})
set_tests_properties(builder_package_check PROPERTIES TIMEOUT 900)
