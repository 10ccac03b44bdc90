corvane_test(system_settings_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/SystemSettingsTest.cpp
  LIBS engine ole32 uuid)
