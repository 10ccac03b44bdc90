corvane_test(capture_report_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/CaptureReportTest.cpp
  LIBS manager)
