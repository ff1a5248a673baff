# cmake -DCPACK=... -DBUILD=... -DOUT=... -P MakePackages.cmake: the
# release's archives and installer, made afresh in OUT.
file(REMOVE_RECURSE ${OUT})
execute_process(COMMAND ${CPACK} --config ${BUILD}/CPackConfig.cmake -B ${OUT}
                RESULT_VARIABLE result COMMAND_ECHO STDOUT)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cpack failed")
endif()
