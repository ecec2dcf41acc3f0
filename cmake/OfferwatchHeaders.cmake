# SPDX-FileCopyrightText: 2026 The Offerwatch developers
# SPDX-License-Identifier: GPL-3.0-or-later
# offerwatch_export_headers(target [ONLY header...] [ALSO header...])
# Headers are included by their folder ("monitor/Monitor.h"). Each target offers only the
# headers of its own folder, through a folder of links made for it, so a header of a target
# that is not linked (a part further up, or a window folder from the logic below it) is not
# found and the wrong include fails to build instead of slipping through. ONLY narrows the
# headers to those named, for a folder that holds two targets; ALSO names headers of another
# folder (from the source root) whose code the target compiles into itself.
function(offerwatch_export_headers target)
    cmake_parse_arguments(H "" "" "ONLY;ALSO" ${ARGN})
    file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
    set(root ${PROJECT_BINARY_DIR}/include/${target})
    file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
    if(H_ONLY)
        list(TRANSFORM H_ONLY PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/ OUTPUT_VARIABLE headers)
    endif()
    file(REMOVE_RECURSE ${root})
    file(MAKE_DIRECTORY ${root}/${folder})
    foreach(header IN LISTS headers)
        get_filename_component(name ${header} NAME)
        file(CREATE_LINK ${header} ${root}/${folder}/${name} SYMBOLIC)
    endforeach()
    foreach(header IN LISTS H_ALSO)
        get_filename_component(dir ${header} DIRECTORY)
        file(MAKE_DIRECTORY ${root}/${dir})
        file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${header} ${root}/${header} SYMBOLIC)
    endforeach()
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE")
        target_include_directories(${target} PRIVATE ${root})
    else()
        target_include_directories(${target} PUBLIC ${root})
    endif()
endfunction()
