# Services and environment variables as Windows Installer rows.
corvane_test(service_rows_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ServiceRowsTest.cpp
  LIBS msibuilder project)
add_dependencies(service_rows_tests blankmsi)
