# Benchmark of the filter: the host's entry-point path against the engine called directly.
if(KVR_WIN32)
  add_executable(engine_bench ${CMAKE_CURRENT_LIST_DIR}/engine_bench.cpp)
  target_link_libraries(engine_bench PRIVATE kvr_filter psapi)
  add_dependencies(engine_bench aggregation)
  add_custom_command(TARGET engine_bench POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:aggregation> $<TARGET_FILE_DIR:engine_bench>)
endif()
