set(FILE_TEST_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/FileSnapshotTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FileCompareTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/IniChangeTrackerTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FileChangeDocumentTest.cpp)
corvane_test(file_tests
  SOURCES ${FILE_TEST_SOURCES}
  LIBS engine)
