# One Debian package with everything installed: the program, the three libraries with their
# headers and CMake packages, the model tool, the Python module, manual pages, the .desktop entry
# and the icon. Dependencies are computed from the binaries (dpkg-shlibdeps): cpack -G DEB.
set(CPACK_PACKAGE_NAME selkietest)
set(CPACK_PACKAGE_VENDOR "Selkie")
set(CPACK_PACKAGE_CONTACT "Selkie Test maintainers <selkietest@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The package's own libraries carry a shlibs file, so that other packages can depend on them.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
# CPack puts the summary first and indents these lines.
string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Port A is a virtual Sony 9-pin machine that answers an editor; port B controls\n"
  "a real machine from a panel. Also the VyoModel status model library (C headers,\n"
  "CMake and pkg-config packages, a Python module) and its vyomodel tool.")
include(CPack)
