corvane_test(xml_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/XmlLayerTest.cpp
          ${CMAKE_CURRENT_LIST_DIR}/ProjectWritersTest.cpp
          ${CMAKE_CURRENT_LIST_DIR}/ProjectReadersTest.cpp
  LIBS project)
