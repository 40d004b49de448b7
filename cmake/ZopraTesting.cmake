# Test helpers shared by every test folder.
include(GoogleTest)

function(zopra_add_subdirectory_if_present dir)
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt)
        add_subdirectory(${dir})
    endif()
endfunction()

if(CMAKE_CROSSCOMPILING)
    # No packaged GoogleTest for the target: build it from Debian's sources with our toolchain.
    set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    # GoogleTest 1.12 and later name its targets GTest::... itself.
    if(NOT TARGET GTest::gtest)
        add_library(GTest::gtest ALIAS gtest)
        add_library(GTest::gtest_main ALIAS gtest_main)
        add_library(GTest::gmock ALIAS gmock)
    endif()
else()
    find_package(GTest REQUIRED)
endif()

# zopra_add_test(<target> SOURCES <files...> LIBS <libraries...> [LABELS <labels...>])
# One GoogleTest executable; natively each test case becomes a CTest test, under an
# emulator (Wine) the executable is one CTest test so that Wine starts once.
function(zopra_add_test target)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
    add_executable(${target} ${ARG_SOURCES})
    target_link_libraries(${target} PRIVATE ${ARG_LIBS} GTest::gmock GTest::gtest_main)
    # Shared test support: #include "support/...".
    target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    if(CMAKE_CROSSCOMPILING)
        add_test(NAME ${target} COMMAND ${target})
        set_tests_properties(${target} PROPERTIES TIMEOUT 300 LABELS "${ARG_LABELS}")
    else()
        gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60
            PROPERTIES TIMEOUT 120 LABELS "${ARG_LABELS}")
    endif()
endfunction()
