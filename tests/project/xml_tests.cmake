corvane_test(xml_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/XmlLayerTest.cpp
          ${CMAKE_CURRENT_LIST_DIR}/ProjectWritersTest.cpp
          ${CMAKE_CURRENT_LIST_DIR}/ProjectReadersTest.cpp
  LIBS project)

corvane_test(include_exclude_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/IncludeExcludeTest.cpp
  LIBS project)

corvane_test(change_set_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ChangeSetTest.cpp
  LIBS project)
