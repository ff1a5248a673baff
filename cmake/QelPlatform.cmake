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
