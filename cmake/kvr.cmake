# Helpers shared by every folder of the project.
#
#   kvr_add_library(name [PLATFORM_FREE] SOURCES ... [DEPS ...])
#     A static library. PLATFORM_FREE libraries include no Windows header and are built in
#     every preset; the others only in the Windows presets.
#
#   kvr_add_test(name [PLATFORM_FREE] [DISPLAY] SOURCES ... [DEPS ...] [ARGS ...])
#     A GoogleTest executable registered with ctest. In the Windows presets ctest runs it
#     through Wine (the toolchain's emulator). DISPLAY runs it on a display (a virtual one when
#     none is set), for top-level windows. PLATFORM_FREE tests run under Wine only with
#     -DKVR_WINE_PORTABLE_TESTS=ON (set by the win64 preset).

function(kvr_add_library name)
  cmake_parse_arguments(ARG "PLATFORM_FREE" "" "SOURCES;DEPS" ${ARGN})
  if(NOT ARG_PLATFORM_FREE AND NOT KVR_WIN32)
    return()
  endif()
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/include)
  if(ARG_DEPS)
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  endif()
endfunction()

function(kvr_add_test name)
  cmake_parse_arguments(ARG "PLATFORM_FREE;DISPLAY" "TIMEOUT" "SOURCES;DEPS;ARGS" ${ARGN})
  if(NOT ARG_PLATFORM_FREE AND NOT KVR_WIN32)
    return()
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  # Platform-free tests run natively under the sanitizers; the Windows presets build them, and
  # run them under Wine when asked for (the win64 preset does; the 32-bit Wine may be emulated).
  if(ARG_PLATFORM_FREE AND KVR_WIN32 AND NOT KVR_WINE_PORTABLE_TESTS)
    return()
  endif()
  if(ARG_DISPLAY AND KVR_WIN32)
    add_test(NAME ${name} COMMAND ${PROJECT_SOURCE_DIR}/cmake/with-display.sh
             ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:${name}> ${ARG_ARGS})
  else()
    add_test(NAME ${name} COMMAND ${name} ${ARG_ARGS})
  endif()
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 600)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${ARG_TIMEOUT})
  if(KVR_WIN32)
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine_prefix)
  endif()
endfunction()

#   kvr_plugin_beside(target)
#     Keeps a copy of aggregation.dll and its help file beside a Windows program that loads it,
#     refreshed whenever the DLL is rebuilt (not only when the program is relinked).
function(kvr_plugin_beside target)
  set(copy ${CMAKE_CURRENT_BINARY_DIR}/aggregation.dll)
  add_custom_command(OUTPUT ${copy}
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:aggregation> ${copy}
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE_DIR:aggregation>/aggregation.chm
            ${CMAKE_CURRENT_BINARY_DIR}/aggregation.chm
    DEPENDS aggregation)
  add_custom_target(${target}_plugin_copy DEPENDS ${copy})
  add_dependencies(${target} ${target}_plugin_copy)
endfunction()
