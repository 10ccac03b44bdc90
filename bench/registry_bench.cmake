add_executable(registry_bench ${CMAKE_CURRENT_LIST_DIR}/RegistryBench.cpp)
target_link_libraries(registry_bench PRIVATE engine)
set_target_properties(registry_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
