# The package's WiX source: written by the program's build mode with -Wxs,
# built again with wixl, its tables compared with the package's and both
# packages installed with Wine's msiexec.
add_executable(wix_source_project ${CMAKE_CURRENT_LIST_DIR}/WixSourceProject.cpp)
target_link_libraries(wix_source_project PRIVATE msibuilder project testsupport)
target_link_options(wix_source_project PRIVATE -municode)
set_target_properties(wix_source_project PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
add_dependencies(wix_source_project CorvaneRepackager blankmsi makecab data wineprefix)

add_test(NAME wix_source_check
         COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/wix_source_check.py ${CMAKE_BINARY_DIR} ${CMAKE_SOURCE_DIR})
set_tests_properties(wix_source_check PROPERTIES TIMEOUT 900)
