# The Package Content Review pages in the real sheet.
corvane_test(content_review_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ContentReviewTest.cpp ${CMAKE_CURRENT_LIST_DIR}/WizardHarness.cpp
          ${CMAKE_CURRENT_LIST_DIR}/TestManifest.rc
  LIBS ui)
