# vacuola_add_test(NAME SOURCES... LIBS... [GUI] [LABELS...])
# One executable per test file, registered with ctest. Tests never depend on the
# machine's locale: LANG and LC_ALL are fixed, and widget tests run offscreen.
function(vacuola_add_test name)
    cmake_parse_arguments(ARG "GUI" "" "SOURCES;LIBS;LABELS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE vacuola_options vacuola_test_support Qt6::Test ${ARG_LIBS})
    add_test(NAME ${name} COMMAND ${name})
    set(env "LANG=C.UTF-8" "LC_ALL=C.UTF-8" "QT_QPA_PLATFORM=offscreen" "TZ=UTC")
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${env}" TIMEOUT 120)
    if(ARG_LABELS)
        set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}")
    endif()
endfunction()
