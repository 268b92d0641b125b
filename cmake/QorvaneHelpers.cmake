# qorvane_test(NAME name SOURCES ... LIBS ... LABELS ... [TIMEOUT s] [LAUNCHER command...])
# One GoogleTest executable registered with ctest as a single test so that the
# labels (unit, gui, e2e, slow) select it as a whole.
function(qorvane_test)
    cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS;LAUNCHER" ${ARGN})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 300)
    endif()
    add_executable(${T_NAME} ${T_SOURCES})
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main
                                            Threads::Threads)
    target_compile_definitions(${T_NAME} PRIVATE
        QORVANE_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
        QORVANE_BIN_DIR="${CMAKE_BINARY_DIR}/bin")
    add_test(NAME ${T_NAME} COMMAND ${T_LAUNCHER} $<TARGET_FILE:${T_NAME}> --gtest_color=no)
    set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABELS}" TIMEOUT ${T_TIMEOUT}
        ENVIRONMENT "QORVANE_TEST_TMP=${CMAKE_BINARY_DIR}/test-tmp")
endfunction()

# qorvane_gui_test(NAME name SOURCES ... LIBS ... [LABELS ...] [TIMEOUT s])
# A test that needs the private X session: it requires the "xsession" fixture
# (tests/gui), carries the label gui, and holds the session alone while it
# runs, because windows, focus and screenshots of two tests would mix.
function(qorvane_gui_test)
    cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 300)
    endif()
    qorvane_test(NAME ${T_NAME} SOURCES ${T_SOURCES} LIBS ${T_LIBS} qv_test_x11
                 LABELS gui ${T_LABELS} TIMEOUT ${T_TIMEOUT})
    set_tests_properties(${T_NAME} PROPERTIES FIXTURES_REQUIRED xsession RESOURCE_LOCK xsession)
    set_property(TEST ${T_NAME} APPEND PROPERTY ENVIRONMENT
                 "QORVANE_XSESSION_DIR=${CMAKE_BINARY_DIR}/xsession"
                 "QORVANE_TEST_OUTPUT=${CMAKE_BINARY_DIR}/test-output")
endfunction()
