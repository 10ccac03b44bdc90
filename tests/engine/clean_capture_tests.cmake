corvane_test(clean_capture_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/CleanCaptureTest.cpp
  LIBS engine ole32 uuid shell32)
