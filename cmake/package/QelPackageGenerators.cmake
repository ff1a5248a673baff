# Read by cpack once per generator. The installer is one installation of
# the component Runtime (everything not installed only by name), not an
# installer with a choice of components.
if(CPACK_GENERATOR STREQUAL "NSIS")
  set(CPACK_MONOLITHIC_INSTALL ON)
endif()
