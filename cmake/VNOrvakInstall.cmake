# Install rules and the exported package: an outside project writes
#     find_package(VNOrvak REQUIRED)
#     target_link_libraries(app PRIVATE VNOrvak::MessageControl)
# Headers keep the folders the sources include them by ("control/...",
# "telephony/...", "shared/..."), under include/vnorvak.
#
# Install components (one Debian package each, packaging/CMakeLists.txt):
# shared, telephony, core and control (a shared library each), dev (headers,
# CMake package, the libraries' link names), sip (the SIP line's plug-in),
# console (vnhost), tools (vnmsg), designer (the Qt Designer plugin).
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

# vnorvak_install_library(target folder export-name): the versioned shared
# library, every header among its sources (into include/vnorvak/<folder>,
# subfolders kept), and its place in the package as VNOrvak::<export-name>,
# whose users compile as C++20. The library is in an install component (and
# Debian package) of its own, named after the target without "vnorvak_".
function(vnorvak_install_library target folder export_name)
    set_target_properties(${target} PROPERTIES
        EXPORT_NAME ${export_name}
        VERSION ${PROJECT_VERSION}
        SOVERSION ${VNORVAK_SOVERSION})
    target_compile_features(${target} PUBLIC cxx_std_20)
    target_include_directories(${target} PUBLIC
        $<INSTALL_INTERFACE:${VNORVAK_INSTALL_INCLUDEDIR}>)
    get_target_property(sources ${target} SOURCES)
    get_target_property(source_dir ${target} SOURCE_DIR)
    # A header in a subfolder of the sources (telephony/sip/...) keeps it.
    foreach(source IN LISTS sources)
        if(source MATCHES "\\.h$")
            cmake_path(ABSOLUTE_PATH source BASE_DIRECTORY ${source_dir})
            cmake_path(RELATIVE_PATH source BASE_DIRECTORY ${source_dir} OUTPUT_VARIABLE relative)
            cmake_path(GET relative PARENT_PATH subfolder)
            install(FILES ${source}
                    DESTINATION ${VNORVAK_INSTALL_INCLUDEDIR}/${folder}/${subfolder}
                    COMPONENT dev)
        endif()
    endforeach()
    string(REGEX REPLACE "^vnorvak_" "" component ${target})
    install(TARGETS ${target} EXPORT VNOrvakTargets
            ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev
            LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT ${component}
                    NAMELINK_COMPONENT dev
            RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT ${component})
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
