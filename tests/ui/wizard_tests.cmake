# The wizard's rules without a window.
corvane_test(wizard_logic_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/WizardLogicTest.cpp ${CMAKE_SOURCE_DIR}/tests/common/VersionResource.rc
  LIBS ui)

# The real sheet under the virtual display; the test program carries a version
# resource so that it can stand in for a setup program.
corvane_test(wizard_gui_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/WizardGuiTest.cpp ${CMAKE_CURRENT_LIST_DIR}/WizardHarness.cpp
          ${CMAKE_CURRENT_LIST_DIR}/TestManifest.rc ${CMAKE_SOURCE_DIR}/tests/common/VersionResource.rc
  LIBS ui)

