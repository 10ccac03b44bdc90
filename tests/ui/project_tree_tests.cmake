# The project tree control in real tree-view windows.
corvane_test(project_tree_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ProjectTreeTest.cpp ${CMAKE_CURRENT_LIST_DIR}/TestManifest.rc
  LIBS ui)
