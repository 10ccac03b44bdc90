add_executable(xml_bench ${CMAKE_CURRENT_LIST_DIR}/XmlBench.cpp)
target_link_libraries(xml_bench PRIVATE project)
set_target_properties(xml_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
add_dependencies(xml_bench data)
