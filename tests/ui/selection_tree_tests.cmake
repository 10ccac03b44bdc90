# The selection trees and browse dialogs, and the advanced include/exclude
# sheet: their rules without a window, then the real controls and sheet.
corvane_test(selection_tree_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/SelectionTreeTest.cpp ${CMAKE_CURRENT_LIST_DIR}/TestManifest.rc
  LIBS ui)

corvane_test(advance_sheet_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/AdvanceSheetTest.cpp ${CMAKE_CURRENT_LIST_DIR}/WizardHarness.cpp
          ${CMAKE_CURRENT_LIST_DIR}/TestManifest.rc
  LIBS ui)
