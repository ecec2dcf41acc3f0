# The local-mail channel: its logic in the core, its setup window in the GUI library.
target_sources(offerwatch_core PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/MapiChannel.h ${CMAKE_CURRENT_LIST_DIR}/MapiChannel.cpp)
target_sources(offerwatch_gui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/FrmMAPI.ui ${CMAKE_CURRENT_LIST_DIR}/FrmMAPI.h ${CMAKE_CURRENT_LIST_DIR}/FrmMAPI.cpp)
