corvane_test(scan_details_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ScanDetailsFileTest.cpp
  LIBS manager)
