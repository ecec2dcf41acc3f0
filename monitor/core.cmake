# The offerings page parser and change detection: pure logic, no windows.
target_sources(offerwatch_core PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/OfferingsParser.h ${CMAKE_CURRENT_LIST_DIR}/OfferingsParser.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ChangeDetector.h ${CMAKE_CURRENT_LIST_DIR}/ChangeDetector.cpp)
