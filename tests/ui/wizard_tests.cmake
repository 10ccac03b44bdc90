# The wizard's rules without a window.
corvane_test(wizard_logic_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/WizardLogicTest.cpp ${CMAKE_SOURCE_DIR}/tests/common/VersionResource.rc
  LIBS ui)

# The real sheet under the virtual display; the test program carries a version
# resource so that it can stand in for a setup program.
corvane_test(wizard_gui_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/WizardGuiTest.cpp ${CMAKE_CURRENT_LIST_DIR}/WizardHarness.cpp
          ${CMAKE_CURRENT_LIST_DIR}/GroundworkGuiTest.cpp
          ${CMAKE_CURRENT_LIST_DIR}/TestManifest.rc ${CMAKE_SOURCE_DIR}/tests/common/VersionResource.rc
  LIBS ui)

# Pictures of every page and message box, for `make screenshots`; not a test.
add_executable(wizard_screenshots
  ${CMAKE_CURRENT_LIST_DIR}/Screenshots.cpp ${CMAKE_CURRENT_LIST_DIR}/WizardHarness.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TestManifest.rc)
target_link_libraries(wizard_screenshots PRIVATE ui testsupport windowscodecs)
set_target_properties(wizard_screenshots PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
add_dependencies(wizard_screenshots wineprefix data)
target_link_options(wizard_screenshots PRIVATE -municode)
