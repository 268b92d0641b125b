# qorvane_test(NAME name SOURCES ... LIBS ... LABELS ... [TIMEOUT s])
# One GoogleTest executable registered with ctest as a single test so that the
# labels (unit, gui, e2e, slow) select it as a whole.
function(qorvane_test)
    cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 300)
    endif()
    add_executable(${T_NAME} ${T_SOURCES})
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main
                                            Threads::Threads)
    target_compile_definitions(${T_NAME} PRIVATE
        QORVANE_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
        QORVANE_BIN_DIR="${CMAKE_BINARY_DIR}/bin")
    add_test(NAME ${T_NAME} COMMAND ${T_NAME} --gtest_color=no)
    set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABELS}" TIMEOUT ${T_TIMEOUT}
        ENVIRONMENT "QORVANE_TEST_TMP=${CMAKE_BINARY_DIR}/test-tmp")
endfunction()
