# Installs the build into WORK/prefix, configures and builds the consumer in
# CONSUMER_SOURCE against it alone, and runs it on a small installation.
file(REMOVE_RECURSE "${WORK}")

function(run what)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "${what} failed (${rc}):\n${out}\n${err}")
    endif()
    set(output "${out}" PARENT_SCOPE)
endfunction()

run("install" ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${WORK}/prefix")
foreach(file include/vnorvak/control/message_control.h lib/cmake/VNOrvak/VNOrvakConfig.cmake)
    if(NOT EXISTS "${WORK}/prefix/${file}")
        message(FATAL_ERROR "the install lacks ${file}")
    endif()
endforeach()

run("configure the consumer" ${CMAKE_COMMAND} -S "${CONSUMER_SOURCE}" -B "${WORK}/build"
    -G "${GENERATOR}" -DCMAKE_BUILD_TYPE=Debug "-DCMAKE_PREFIX_PATH=${WORK}/prefix"
    "-DCMAKE_CXX_FLAGS=${CONSUMER_FLAGS}" "-DCMAKE_EXE_LINKER_FLAGS=${CONSUMER_FLAGS}")
run("build the consumer" ${CMAKE_COMMAND} --build "${WORK}/build")

# A workstation with the simulated voice board and one new message for
# entity 1001.
set(ws "${WORK}/workstation")
file(WRITE "${ws}/appdata/Qrn/Vantel/QelLocal.ini"
     "[Zuzidivuz]\nVnPath=${ws}/install\n\n[Messages]\nMsgTimer=0\n\n[VoiceBoard]\nDriver=simulated\n")
file(WRITE "${ws}/install/VNT/Data/messages/NA000001001A.vox" "voice")
set(ENV{VNORVAK_LOCAL_APPDATA} "${ws}/appdata")
set(ENV{VNORVAK_MACHINE_DIR} "${ws}/machine")
set(ENV{VNORVAK_SYSTEM_DIR} "${ws}/system")
run("run the consumer" "${WORK}/build/consumer" 1001)
foreach(line "MsgUpdated MsgCnt=1 NewMsgCnt=1" "IDChanged 1001 HasNewMessages=1"
             "Play button: enabled")
    string(FIND "${output}" "${line}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "the consumer did not print \"${line}\":\n${output}")
    endif()
endforeach()
