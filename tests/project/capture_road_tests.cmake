corvane_test(capture_road_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/CaptureRoadTest.cpp
  LIBS project engine)
