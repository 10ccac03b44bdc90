corvane_test(clean_capture_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/CleanCaptureTest.cpp ${CMAKE_CURRENT_LIST_DIR}/PerUserDataTest.cpp
  LIBS engine ole32 uuid shell32)
