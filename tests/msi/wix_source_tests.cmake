# The package's WiX source: written by the program's build mode with -Wxs,
# built again with wixl, its tables compared with the package's and both
# packages installed with Wine's msiexec.
# The scene's project comes of builder_package_maker -wix (builder_tests.cmake).

add_test(NAME wix_source_check
         COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/wix_source_check.py ${CMAKE_BINARY_DIR} ${CMAKE_SOURCE_DIR})
set_tests_properties(wix_source_check PROPERTIES TIMEOUT 900)
