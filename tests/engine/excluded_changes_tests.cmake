corvane_test(excluded_changes_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ExcludedChangesTest.cpp
  LIBS engine)
