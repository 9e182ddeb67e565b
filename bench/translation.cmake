# Benchmark of the translation area: the string hash trie against std::unordered_map and the
# language-file parser at 1 MB and 10 MB. Included from bench/CMakeLists.txt. Meaningful
# figures need an optimised build: cmake --preset bench && cmake --build --preset bench, then
# build/bench/bench/trie_bench.
add_executable(trie_bench ${CMAKE_CURRENT_LIST_DIR}/trie_bench.cpp)
target_link_libraries(trie_bench PRIVATE kvr_translation_core kvr_component)
