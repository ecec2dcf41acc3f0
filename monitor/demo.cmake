# The built-in sample offerings page behind --demo.
target_sources(offerwatch_core PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/DemoOfferingsServer.h
    ${CMAKE_CURRENT_LIST_DIR}/DemoOfferingsServer.cpp)
