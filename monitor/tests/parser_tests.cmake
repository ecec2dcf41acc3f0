offerwatch_add_test(NAME tst_offerings_parser
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_offerings_parser.cpp
    LIBS offerwatch_core)
offerwatch_add_test(NAME tst_change_detector
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_change_detector.cpp
    LIBS offerwatch_core)
