# cpack on the Windows build: the release, named with the version.
#
#   QelContainerQuickTime-<version>-win32.zip          what cmake --install puts
#   QelContainerQuickTime-<version>-win32.exe          the same as an installer
#                                                      (cmake/package/NSIS.template.in)
#   QelContainerQuickTime-<version>-win32-symbols.zip  the modules' debug information
#
# The archives are one per install component (Runtime, Symbols); the
# installer holds Runtime alone (cmake/package/QelPackageGenerators.cmake).
if(NOT WIN32)
  return()
endif()

set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME ${PROJECT_NAME}-${PROJECT_VERSION}-win32)
set(CPACK_PACKAGE_INSTALL_DIRECTORY ${PROJECT_NAME})
set(CPACK_GENERATOR ZIP NSIS)
set(CPACK_COMPONENTS_ALL Runtime Symbols)
set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
# Both archives unpack into the same folder, so that a debugger finds each
# NAME.debug beside its module.
set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_ARCHIVE_RUNTIME_FILE_NAME ${CPACK_PACKAGE_FILE_NAME})
set(CPACK_ARCHIVE_SYMBOLS_FILE_NAME ${CPACK_PACKAGE_FILE_NAME}-symbols)
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/package/QelPackageGenerators.cmake)
# CPack takes NSIS.template.in from here before its own.
set(CPACK_MODULE_PATH ${PROJECT_SOURCE_DIR}/cmake/package)
set(CPACK_NSIS_COMPRESSOR "/SOLID lzma")
# Read by the template.
set(CPACK_QEL_PLUGIN_FOLDER "lib\\QelContainerQuickTime")
set(CPACK_QEL_VERSION_4 ${PROJECT_VERSION}.0)
include(CPack)
