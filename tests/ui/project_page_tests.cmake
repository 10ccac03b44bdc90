# The Create Project File and MSI page: its rules without a window, then the
# page and its shortcut dialog in the real sheet, up to the built package.
corvane_test(project_page_logic_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ProjectPageLogicTest.cpp
  LIBS ui)

corvane_test(project_page_gui_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ProjectPageGuiTest.cpp ${CMAKE_CURRENT_LIST_DIR}/WizardHarness.cpp
          ${CMAKE_CURRENT_LIST_DIR}/TestManifest.rc
  LIBS ui msibuilder)
