# The whole capture road against its floor (road_bench.sh): the floor walker,
# Built beside, not in, build/bench: run-bench.sh runs every program there.
# the "setup" that changes the workload, and the runner that measures both.
foreach(tool walk change)
  add_executable(${tool} ${CMAKE_CURRENT_LIST_DIR}/${tool}.cpp)
  target_link_options(${tool} PRIVATE -municode)
  target_compile_options(${tool} PRIVATE -Wno-unused-parameter -Wno-sign-compare)
  set_target_properties(${tool} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench/tools)
endforeach()
add_executable(road_run ${CMAKE_CURRENT_LIST_DIR}/RoadRun.cpp)
target_link_libraries(road_run PRIVATE psapi)
target_link_options(road_run PRIVATE -municode)
set_target_properties(road_run PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench/tools)
