# Install rules and the exported package: an outside project writes
#     find_package(VNOrvak REQUIRED)
#     target_link_libraries(app PRIVATE VNOrvak::MessageControl)
# Headers keep the folders the sources include them by ("control/...",
# "telephony/...", "shared/..."), under include/vnorvak.
#
# Install components (one Debian package each, packaging/CMakeLists.txt):
# shared, telephony, core and control (a shared library each), dev (the
# host's headers, CMake package, the libraries' link names), sip (the SIP
# line's plug-in), console (vnhost), tools (vnmsg), designer (the Qt Designer
# plugin).
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)
include(VNOrvakManualPage)

set(VNORVAK_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/vnorvak)
set(VNORVAK_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/VNOrvak)
# Voice-board plug-ins, beside the libraries (telephony/voice_board_plugins.h).
set(VNORVAK_INSTALL_PLUGINDIR ${CMAKE_INSTALL_LIBDIR}/vnorvak/voice-boards)

# The libraries are shared; while the major version is 0 every minor version
# may change their binary interface, so the SONAME carries both.
if(PROJECT_VERSION_MAJOR EQUAL 0)
    set(VNORVAK_SOVERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR})
else()
    set(VNORVAK_SOVERSION ${PROJECT_VERSION_MAJOR})
endif()

# In the build tree every library lands in lib/ and the plug-ins beneath it,
# as once installed, so the plug-ins are found the same way in both.
set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/lib)
set(VNORVAK_VOICE_BOARD_PLUGIN_BUILD_DIR ${PROJECT_BINARY_DIR}/lib/vnorvak/voice-boards)

# Installed under a prefix of its own (not /usr), a program finds the
# libraries beside it; Debian's /usr needs and wants no search path.
if(NOT CMAKE_INSTALL_PREFIX STREQUAL "/usr")
    set(CMAKE_INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
endif()

# The headers a host includes; those they include in turn are installed with
# them, and no other: the rest are the libraries' own.
set(VNORVAK_HOST_HEADERS
    control/message_control.h
    control/message_playback.h
    control/playback_state.h
    control/message_box_prompter.h
    shared/error.h
    shared/prompter.h)

# vnorvak_install_library(target export-name): the versioned shared library,
# in an install component (and Debian package) of its own named after the
# target without "vnorvak_", and its place in the package as
# VNOrvak::<export-name>, whose users compile as C++20.
function(vnorvak_install_library target export_name)
    set_target_properties(${target} PROPERTIES
        EXPORT_NAME ${export_name}
        VERSION ${PROJECT_VERSION}
        SOVERSION ${VNORVAK_SOVERSION})
    target_compile_features(${target} PUBLIC cxx_std_20)
    target_include_directories(${target} PUBLIC
        $<INSTALL_INTERFACE:${VNORVAK_INSTALL_INCLUDEDIR}>)
    string(REGEX REPLACE "^vnorvak_" "" component ${target})
    install(TARGETS ${target} EXPORT VNOrvakTargets
            ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev
            LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT ${component}
                    NAMELINK_COMPONENT dev
            RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT ${component})
endfunction()

# The host's headers and every header they include, each into
# include/vnorvak/<its folder in the tree>.
function(vnorvak_install_host_headers)
    set(pending ${VNORVAK_HOST_HEADERS})
    set(installed)
    while(pending)
        list(POP_FRONT pending header)
        if(header IN_LIST installed)
            continue()
        endif()
        list(APPEND installed ${header})
        cmake_path(GET header PARENT_PATH folder)
        install(FILES ${PROJECT_SOURCE_DIR}/${header}
                DESTINATION ${VNORVAK_INSTALL_INCLUDEDIR}/${folder} COMPONENT dev)
        file(STRINGS ${PROJECT_SOURCE_DIR}/${header} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
        foreach(line IN LISTS lines)
            string(REGEX REPLACE "^[^\"]*\"([^\"]+)\".*$" "\\1" included "${line}")
            # Quoted names are found beside the header first, then from the
            # tree's top ("control/...").
            if(EXISTS ${PROJECT_SOURCE_DIR}/${folder}/${included})
                list(APPEND pending ${folder}/${included})
            elseif(EXISTS ${PROJECT_SOURCE_DIR}/${included})
                list(APPEND pending ${included})
            else()
                message(FATAL_ERROR "${header} includes \"${included}\", which is not in the tree")
            endif()
        endforeach()
    endwhile()
endfunction()

# vnorvak_install_voice_board_plugin(target component): a voice-board plug-in
# into the plug-in folder.
function(vnorvak_install_voice_board_plugin target component)
    if(NOT CMAKE_INSTALL_PREFIX STREQUAL "/usr")
        set_target_properties(${target} PROPERTIES INSTALL_RPATH "$ORIGIN/../..")
    endif()
    install(TARGETS ${target}
            LIBRARY DESTINATION ${VNORVAK_INSTALL_PLUGINDIR} COMPONENT ${component}
                    NAMELINK_SKIP)
endfunction()

function(vnorvak_install_package)
    vnorvak_install_host_headers()
    install(EXPORT VNOrvakTargets NAMESPACE VNOrvak:: DESTINATION ${VNORVAK_INSTALL_CMAKEDIR}
            COMPONENT dev)
    configure_package_config_file(
        ${PROJECT_SOURCE_DIR}/cmake/VNOrvakConfig.cmake.in
        ${PROJECT_BINARY_DIR}/VNOrvakConfig.cmake
        INSTALL_DESTINATION ${VNORVAK_INSTALL_CMAKEDIR}
        PATH_VARS VNORVAK_INSTALL_PLUGINDIR)
    write_basic_package_version_file(${PROJECT_BINARY_DIR}/VNOrvakConfigVersion.cmake
        COMPATIBILITY SameMinorVersion)
    install(FILES ${PROJECT_BINARY_DIR}/VNOrvakConfig.cmake
                  ${PROJECT_BINARY_DIR}/VNOrvakConfigVersion.cmake
            DESTINATION ${VNORVAK_INSTALL_CMAKEDIR} COMPONENT dev)
endfunction()
