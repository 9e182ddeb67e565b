# Benchmark of the settings area: the INI engine against the Windows profile functions on the
# same files (Windows only: the baseline is a Windows service). Included from
# bench/CMakeLists.txt.
if(KVR_WIN32)
  add_executable(ini_bench ${CMAKE_CURRENT_LIST_DIR}/ini_bench.cpp)
  target_link_libraries(ini_bench PRIVATE kvr_wreg)
endif()
