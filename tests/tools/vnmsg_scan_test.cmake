# Runs "vnmsg scan" over small folders and checks what it prints.
# Expects VNMSG (the executable) and WORK (a scratch folder).
set(dir "${WORK}/vnmsg_scan")
file(REMOVE_RECURSE "${dir}")
file(MAKE_DIRECTORY "${dir}/messages/NA000000009A.vox")
# Besides the messages: names that are no message names (another extension, a
# lower-case state letter, a short id) are kept apart and shown as such.
foreach(name NA000000007B.vox NA000000007A.vox MA000000003A.vox NA000000007A.wav nC000000012A.vox
        NA0000015.vox)
    file(WRITE "${dir}/messages/${name}" "voice")
    execute_process(COMMAND touch -d "2026-03-13 23:59:59" "${dir}/messages/${name}")
endforeach()
execute_process(COMMAND touch -d "2026-03-14 08:15:00" "${dir}/messages/NA000000007A.wav")

function(expect_output expected)
    execute_process(COMMAND "${VNMSG}" ${ARGN} OUTPUT_VARIABLE out ERROR_VARIABLE err
                    RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0 OR NOT out STREQUAL expected)
        message(FATAL_ERROR "vnmsg ${ARGN}: exit ${rc}\n${out}${err}\nexpected:\n${expected}")
    endif()
endfunction()

expect_output([[
Messages=MA000000003A,NA000000007A,NA000000007B
MsgCnt=3
NewMsgCnt=2
MsgTodayCnt=3
LastMsgDate=2026-03-13 23:59:59
OtherNames=3
Other NA000000007A.wav
Other NA0000015.vox
Other nC000000012A.vox
Entity 000000007 List=NA000000007A,NA000000007B Count=2 HasMsgs=1 HasNew=1
Entity 000000012 List= Count=0 HasMsgs=0 HasNew=0
Entity 000000099 List= Count=0 HasMsgs=0 HasNew=0
]] scan "${dir}/messages" --now "2026-03-13 12:00:00" --entity 7 --entity 12 --entity 99)

expect_output([[
Entity     Messages      New    Heard
000000003          1        0        1
000000007          2        2        0
Entities=2 Messages=3 OtherNames=3
]] entities "${dir}/messages")

# A missing folder, or a file given as one: exit status 3, not an empty list.
foreach(missing "${dir}/missing" "${dir}/messages/NA000000007B.vox")
    execute_process(COMMAND "${VNMSG}" scan "${missing}" OUTPUT_VARIABLE out ERROR_VARIABLE err
                    RESULT_VARIABLE rc)
    if(NOT rc EQUAL 3 OR NOT out STREQUAL "" OR NOT err MATCHES "does not exist or is not a folder")
        message(FATAL_ERROR "scan ${missing}: exit ${rc}\n${out}${err}")
    endif()
endforeach()

# A folder that cannot be read: a message on stderr and a failing exit.
file(CREATE_LINK loop "${dir}/loop" SYMBOLIC)
execute_process(COMMAND "${VNMSG}" scan "${dir}/loop" OUTPUT_VARIABLE out ERROR_VARIABLE err
                RESULT_VARIABLE rc)
if(rc EQUAL 0 OR NOT out STREQUAL "" OR NOT err MATCHES "cannot read .*loop")
    message(FATAL_ERROR "unreadable folder: exit ${rc}\n${out}${err}")
endif()
