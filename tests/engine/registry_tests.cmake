corvane_test(registry_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/RegistryExportTest.cpp
          ${CMAKE_CURRENT_LIST_DIR}/RegistryCompareTest.cpp
  LIBS engine)
