# Compile settings every target of the project shares: strict warnings, strict
# Qt string handling, and the optional sanitizer build.
if(VNORVAK_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all
                        -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()

# The fuzzing build instruments every target for libFuzzer's coverage; only
# the fuzz targets themselves link libFuzzer's main().
if(VNORVAK_BUILD_FUZZERS)
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined
                        -fno-sanitize-recover=all -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()

function(vnorvak_target_defaults target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Werror)
    target_compile_definitions(${target} PRIVATE
        QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII QT_USE_QSTRINGBUILDER
        QT_NO_KEYWORDS QT_NO_FOREACH)
endfunction()
