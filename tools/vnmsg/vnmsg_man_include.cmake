# Writes the help2man include file of vnmsg: every command's own --help
# under "COMMANDS IN DETAIL", and where the files are. Expects PROGRAM (vnmsg)
# and OUT.
set(text "[COMMANDS IN DETAIL]\n")
foreach(command list mark-heard mark-new export play purge log heard env scan entities make-demo)
    execute_process(COMMAND "${PROGRAM}" ${command} --help OUTPUT_VARIABLE help RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "vnmsg ${command} --help: exit ${rc}")
    endif()
    string(REPLACE "\\" "\\\\" help "${help}")
    set(text "${text}.SS ${command}\n.nf\n${help}.fi\n")
endforeach()
string(APPEND text [=[
[FILES]
.TP
.I <data folder>/messages/
the installation's shared messages folder ("vnmsg env" shows it)
.TP
.I <data folder>/heard/<host>-<program>.txt
the heard log of one program on one workstation
.TP
.I <local folder>/Log<yymmdd>.txt, <local folder>/Port<n>.txt
this workstation's error log and port logs
]=])
file(WRITE "${OUT}" "${text}")
