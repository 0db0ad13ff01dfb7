# Install rules and the exported package: an outside project writes
#     find_package(VNOrvak REQUIRED)
#     target_link_libraries(app PRIVATE VNOrvak::MessageControl)
# Headers keep the folders the sources include them by ("control/...",
# "telephony/...", "shared/..."), under include/vnorvak.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(VNORVAK_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/vnorvak)
set(VNORVAK_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/VNOrvak)

# vnorvak_install_library(target folder export-name): the library, every
# header among its sources (into include/vnorvak/<folder>, subfolders kept),
# and its place in the package as VNOrvak::<export-name>.
function(vnorvak_install_library target folder export_name)
    set_target_properties(${target} PROPERTIES EXPORT_NAME ${export_name})
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
                    DESTINATION ${VNORVAK_INSTALL_INCLUDEDIR}/${folder}/${subfolder})
        endif()
    endforeach()
    install(TARGETS ${target} EXPORT VNOrvakTargets
            ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
            LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
            RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endfunction()

function(vnorvak_install_package)
    install(EXPORT VNOrvakTargets NAMESPACE VNOrvak:: DESTINATION ${VNORVAK_INSTALL_CMAKEDIR})
    configure_package_config_file(
        ${PROJECT_SOURCE_DIR}/cmake/VNOrvakConfig.cmake.in
        ${PROJECT_BINARY_DIR}/VNOrvakConfig.cmake
        INSTALL_DESTINATION ${VNORVAK_INSTALL_CMAKEDIR})
    write_basic_package_version_file(${PROJECT_BINARY_DIR}/VNOrvakConfigVersion.cmake
        COMPATIBILITY SameMinorVersion)
    install(FILES ${PROJECT_BINARY_DIR}/VNOrvakConfig.cmake
                  ${PROJECT_BINARY_DIR}/VNOrvakConfigVersion.cmake
            DESTINATION ${VNORVAK_INSTALL_CMAKEDIR})
endfunction()
