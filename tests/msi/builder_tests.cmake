# The MSI builder: rows, cabinet and failure paths in-process, and the host-side
# checks of a built package with independent tools and Wine's own msiexec.
corvane_test(builder_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/BuilderTest.cpp ${CMAKE_CURRENT_LIST_DIR}/FileRulesTest.cpp
          ${CMAKE_CURRENT_LIST_DIR}/CabinetPlanTest.cpp
          ${CMAKE_CURRENT_LIST_DIR}/MachineValuesTest.cpp
          ${CMAKE_CURRENT_LIST_DIR}/PipelinePartsTest.cpp
          ${CMAKE_CURRENT_LIST_DIR}/ResultTest.cpp
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

# A package beyond one cabinet: three 1 GB files and thousands of small ones,
# built by the program's command line into a package with cabinets beside it,
# extracted with msiextract, installed and removed with Wine's msiexec.
add_executable(large_project_writer ${CMAKE_CURRENT_LIST_DIR}/LargeProjectWriter.cpp)
target_link_libraries(large_project_writer PRIVATE project testsupport)
target_link_options(large_project_writer PRIVATE -municode)
set_target_properties(large_project_writer PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
add_dependencies(large_project_writer data)
add_test(NAME e2e_large_package COMMAND bash ${CMAKE_SOURCE_DIR}/tests/e2e/large_package.sh ${CMAKE_BINARY_DIR})
set_tests_properties(e2e_large_package PROPERTIES TIMEOUT 2400)
