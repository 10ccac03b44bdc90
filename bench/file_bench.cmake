add_executable(file_bench ${CMAKE_CURRENT_LIST_DIR}/FileBench.cpp)
target_link_libraries(file_bench PRIVATE engine psapi)
set_target_properties(file_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
add_dependencies(file_bench data)
