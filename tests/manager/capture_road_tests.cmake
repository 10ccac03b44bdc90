corvane_test(capture_road_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/CaptureRoadTest.cpp
  LIBS manager)

corvane_test(coordinator_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/CoordinatorTest.cpp ${CMAKE_CURRENT_LIST_DIR}/SessionTest.cpp
  LIBS manager)
