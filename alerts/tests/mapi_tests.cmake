offerwatch_add_test(NAME tst_mapi_channel SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_mapi_channel.cpp
    LIBS offerwatch_core offerwatch_testsupport)
offerwatch_add_test(NAME tst_messaging_session SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_messaging_session.cpp
    LIBS offerwatch_core offerwatch_testsupport)
