# cmake --install: the plug-in, the runtime, the logging library and qelhost
# side by side in one folder (bin/), as a host machine has them: qelhost
# loads the plug-in from its own folder, and the plug-in finds the runtime
# and the logging library beside itself.
set(QEL_INSTALL_FOLDER bin)
foreach(target QelContainerQuickTime QuickTimeRuntime Qel_Logging qelhost)
  if(TARGET ${target})
    install(TARGETS ${target}
      RUNTIME DESTINATION ${QEL_INSTALL_FOLDER}
      LIBRARY DESTINATION ${QEL_INSTALL_FOLDER}
      ARCHIVE EXCLUDE_FROM_ALL)
  endif()
endforeach()
