# Benchmark of the filter: the host's entry-point path against the engine called directly.
if(KVR_WIN32)
  add_executable(engine_bench ${CMAKE_CURRENT_LIST_DIR}/engine_bench.cpp)
  target_link_libraries(engine_bench PRIVATE kvr_filter kvr_stress_host psapi)
  kvr_plugin_beside(engine_bench)
endif()
