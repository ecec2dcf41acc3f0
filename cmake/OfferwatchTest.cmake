# SPDX-FileCopyrightText: 2026 The Offerwatch developers
# SPDX-License-Identifier: GPL-3.0-or-later
# offerwatch_add_test(NAME name SOURCES files... LIBS libs... [TIMEOUT seconds])
# Builds one QtTest executable and registers it with CTest to run headless.
function(offerwatch_add_test)
    cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS" ${ARGN})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 120)
    endif()
    add_executable(${T_NAME} ${T_SOURCES})
    target_link_libraries(${T_NAME} PRIVATE Qt6::Test ${T_LIBS})
    add_test(NAME ${T_NAME} COMMAND ${T_NAME})
    set_tests_properties(${T_NAME} PROPERTIES
        TIMEOUT ${T_TIMEOUT}
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QTWEBENGINE_DISABLE_SANDBOX=1;OFFERWATCH_BIN_DIR=${PROJECT_BINARY_DIR}/bin;OFFERWATCH_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
endfunction()
