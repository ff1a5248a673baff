# Compiler settings shared by every target, and the rule that picks a
# platform's sibling sources (*_win32.cpp or *_posix.cpp).

add_compile_options(-Wall -Wextra -Wno-unused-parameter)
if(WIN32)
  # The product is a self-contained 32-bit DLL: no MinGW runtime DLLs.
  add_link_options(-static -static-libgcc -static-libstdc++)
  add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 UNICODE)
  set(QEL_PLATFORM_SUFFIX win32)
  set(QEL_OTHER_PLATFORM_SUFFIX posix)
else()
  set(QEL_PLATFORM_SUFFIX posix)
  set(QEL_OTHER_PLATFORM_SUFFIX win32)
endif()

# qel_sources(OUT dir...): the C++ and assembly sources of the folders, without
# the other platform's siblings.
function(qel_sources out)
  set(files)
  foreach(dir IN LISTS ARGN)
    file(GLOB found CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.S)
    list(APPEND files ${found})
  endforeach()
  list(FILTER files EXCLUDE REGEX "_${QEL_OTHER_PLATFORM_SUFFIX}\\.(cpp|S)$")
  set(${out} ${files} PARENT_SCOPE)
endfunction()

# qel_shipped_module(target): on Windows the DLL carries no debug
# information; it stays in the build folder as NAME.debug, linked to the
# DLL by name for debuggers. Called in the folder that makes the target.
function(qel_shipped_module target)
  if(NOT WIN32 OR NOT CMAKE_OBJCOPY)
    return()
  endif()
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_OBJCOPY} --only-keep-debug $<TARGET_FILE_NAME:${target}> $<TARGET_FILE_NAME:${target}>.debug
    COMMAND ${CMAKE_OBJCOPY} --strip-debug --add-gnu-debuglink=$<TARGET_FILE_NAME:${target}>.debug
            $<TARGET_FILE_NAME:${target}>
    WORKING_DIRECTORY $<TARGET_FILE_DIR:${target}>
    VERBATIM)
endfunction()

# qel_version_resource(target DESCRIPTION text [FILE_VERSION a.b.c.d]): on
# Windows, the module or program carries a version resource. Its product
# version is always the project's; its file version too, unless FILE_VERSION
# gives another (a runtime QuickTime.qts keeps QuickTime's numbering, which
# the plug-in's loader compares with 7.0.2).
function(qel_version_resource target)
  cmake_parse_arguments(ARG "" "DESCRIPTION;FILE_VERSION" "" ${ARGN})
  if(NOT WIN32)
    return()
  endif()
  set(QEL_PRODUCT_VERSION_DOTS "${PROJECT_VERSION}.0")
  if(NOT ARG_FILE_VERSION)
    set(ARG_FILE_VERSION ${QEL_PRODUCT_VERSION_DOTS})
  endif()
  set(QEL_FILE_VERSION_DOTS ${ARG_FILE_VERSION})
  string(REPLACE "." "," QEL_FILE_VERSION_COMMAS ${QEL_FILE_VERSION_DOTS})
  string(REPLACE "." "," QEL_PRODUCT_VERSION_COMMAS ${QEL_PRODUCT_VERSION_DOTS})
  set(QEL_FILE_DESCRIPTION ${ARG_DESCRIPTION})
  set(QEL_TARGET ${target})
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "EXECUTABLE")
    set(QEL_FILE_TYPE 0x1)
  else()
    set(QEL_FILE_TYPE 0x2)
  endif()
  # Two steps: the values first, then the file name, known only at
  # generation.
  set(generated ${CMAKE_CURRENT_BINARY_DIR}/${target}-version)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/QelVersion.rc.in ${generated}.rc.in @ONLY)
  file(GENERATE OUTPUT ${generated}.rc INPUT ${generated}.rc.in)
  target_sources(${target} PRIVATE ${generated}.rc)
endfunction()

# qel_win32_library(SCRIPT OUT): runs scripts/SCRIPT, which builds a static
# library for the Windows build from the distribution's source package (or
# finds it in its cache), and sets OUT to the prefix it installed into.
# Asked at every configure, so that a new version or configuration, or a
# cache folder removed, is followed: a cache hit answers at once, a miss
# builds the library.
function(qel_win32_library script out)
  execute_process(COMMAND ${PROJECT_SOURCE_DIR}/scripts/${script}
                  OUTPUT_VARIABLE prefix OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE built)
  if(NOT built EQUAL 0)
    message(FATAL_ERROR "a library for Windows could not be built (scripts/${script})")
  endif()
  set(${out} ${prefix} PARENT_SCOPE)
endfunction()
