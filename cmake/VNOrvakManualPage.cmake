# vnorvak_add_manual_page(target name [INCLUDE script]): the section 1 manual
# page of the program `target`, made by help2man from its --help and
# --version, and installed compressed (as Debian wants) into man1 with the
# folder's default install component. `name` is the page's one-line
# description. INCLUDE names a CMake script, run as
# `cmake -DPROGRAM=<program> -DOUT=<file> -P script`, that writes help2man's
# include file (sections of its own).
function(vnorvak_add_manual_page target name)
    cmake_parse_arguments(PARSE_ARGV 2 arg "" "INCLUDE" "")
    find_program(HELP2MAN help2man)
    if(NOT HELP2MAN)
        message(WARNING "help2man not found (scripts/install-deps installs it): no ${target} manual page")
        return()
    endif()
    set(page ${CMAKE_CURRENT_BINARY_DIR}/${target}.1)
    set(include_steps)
    set(include_option)
    if(arg_INCLUDE)
        set(include_file ${CMAKE_CURRENT_BINARY_DIR}/${target}.h2m)
        set(include_steps COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:${target}>
                                  -DOUT=${include_file} -P ${arg_INCLUDE})
        set(include_option --include ${include_file})
    endif()
    add_custom_command(OUTPUT ${page}.gz
        ${include_steps}
        COMMAND ${HELP2MAN} --no-info --section=1 --name ${name} ${include_option}
                --output ${page} $<TARGET_FILE:${target}>
        COMMAND gzip -9nf ${page}
        DEPENDS ${target} ${arg_INCLUDE}
        COMMENT "Generating the ${target} manual page"
        VERBATIM)
    add_custom_target(${target}_man ALL DEPENDS ${page}.gz)
    install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()
