# Warnings and sanitizers live in one INTERFACE target that every layer links privately.
add_library(zelwan_options INTERFACE)
add_library(zelwan::options ALIAS zelwan_options)
target_compile_features(zelwan_options INTERFACE cxx_std_20)
target_compile_options(zelwan_options INTERFACE -Wall -Wextra)
if(ZELWAN_SANITIZE)
    target_compile_options(zelwan_options INTERFACE
        -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    target_link_options(zelwan_options INTERFACE -fsanitize=address,undefined)
endif()
if(ZELWAN_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        message(FATAL_ERROR "ZELWAN_FUZZ needs clang (libFuzzer): CC=clang-14 CXX=clang++-14")
    endif()
    # Every layer carries the fuzzer's coverage counters; only the fuzz targets link its main.
    target_compile_options(zelwan_options INTERFACE
        -fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    target_link_options(zelwan_options INTERFACE -fsanitize=address,undefined)
endif()

# zelwan_add_test(<name> [OWN_MAIN] SOURCES ... LIBS ... ENV ...): one GoogleTest program per layer.
# OWN_MAIN: the program brings its own main (the Qt tests create their QApplication there).
function(zelwan_add_test name)
    cmake_parse_arguments(ARG "OWN_MAIN" "" "SOURCES;LIBS;ENV" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock zelwan::options)
    if(NOT ARG_OWN_MAIN)
        target_link_libraries(${name} PRIVATE GTest::gtest_main)
    endif()
    gtest_discover_tests(${name}
        DISCOVERY_TIMEOUT 60
        PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;${ARG_ENV}")
endfunction()
