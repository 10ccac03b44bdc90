# The existing-project road: the rules of its two pages without a window,
# then the pages in the real sheet up to the built package.
corvane_test(existing_project_logic_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ExistingProjectLogicTest.cpp
  LIBS ui)

corvane_test(build_msi_page_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/BuildMsiPageTest.cpp ${CMAKE_CURRENT_LIST_DIR}/WizardHarness.cpp
          ${CMAKE_CURRENT_LIST_DIR}/TestManifest.rc
  LIBS ui msibuilder)

corvane_test(show_project_page_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ShowProjectPageTest.cpp ${CMAKE_CURRENT_LIST_DIR}/WizardHarness.cpp
          ${CMAKE_CURRENT_LIST_DIR}/TestManifest.rc
  LIBS ui)
