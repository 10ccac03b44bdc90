corvane_test(capture_road_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/CaptureRoadTest.cpp
  LIBS manager)

corvane_test(coordinator_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/CoordinatorTest.cpp
  LIBS manager)
