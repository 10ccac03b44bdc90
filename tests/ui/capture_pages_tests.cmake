# The capture pages (first snapshot, setup launch, second snapshot): their
# rules without a window, and the real sheet under the virtual display.
corvane_test(capture_pages_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/CapturePagesTest.cpp ${CMAKE_CURRENT_LIST_DIR}/WizardHarness.cpp
          ${CMAKE_CURRENT_LIST_DIR}/TestManifest.rc ${CMAKE_SOURCE_DIR}/tests/common/VersionResource.rc
  LIBS ui)
add_dependencies(capture_pages_tests setup_tree)
