# Installing like a desktop program (cmake --install BUILD [--prefix DIR]) and the Debian
# package (cd BUILD && cpack -G DEB).
#
# The programs look for their data beside themselves first (the build tree) and then in
# <bin>/../share/torvane, so the two destinations below must stay siblings under the prefix.

set(TORVANE_DATA_DESTINATION share/torvane)

foreach(program torvane torvane-cli torvane-devsim)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION bin)
  endif()
endforeach()

install(DIRECTORY
    ${CMAKE_SOURCE_DIR}/data/lang
    ${CMAKE_SOURCE_DIR}/data/ddtemplate
    ${CMAKE_SOURCE_DIR}/data/help
  DESTINATION ${TORVANE_DATA_DESTINATION})
# The examples without their generator input: vantor.tcf is what users open.
install(DIRECTORY ${CMAKE_SOURCE_DIR}/data/examples
  DESTINATION ${TORVANE_DATA_DESTINATION}
  PATTERN "*.in" EXCLUDE)
# The about box's change log, when the build could take it from git.
install(FILES ${CMAKE_BINARY_DIR}/bin/lastCommits.ini
  DESTINATION ${TORVANE_DATA_DESTINATION} OPTIONAL)

install(FILES ${CMAKE_SOURCE_DIR}/packaging/torvane.desktop DESTINATION share/applications)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/torvane.svg DESTINATION share/icons/hicolor/scalable/apps)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/torvane-mime.xml
  DESTINATION share/mime/packages RENAME torvane.xml)
install(FILES
    ${CMAKE_SOURCE_DIR}/packaging/man/torvane.1
    ${CMAKE_SOURCE_DIR}/packaging/man/torvane-cli.1
  DESTINATION share/man/man1)

# --- Debian package
set(CPACK_PACKAGE_NAME torvane)
set(CPACK_PACKAGE_VENDOR "Kellerbrand")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "configuration tool for fieldbus gateways on a serial line")
# The long description as it appears in the package, line by line.
set(CPACK_PACKAGE_DESCRIPTION "Torvane reads the configuration image of a fieldbus gateway attached through
RS232 or RS485 (often a USB serial adapter), shows it as named, typed
parameters described by a description file, writes it back and keeps images
in .gwc files.
The package holds the window program torvane, the command-line program
torvane-cli and the gateway simulator torvane-devsim, with language files,
help, EDS templates and example data.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Torvane developers <torvane@kellerbrand.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the programs link are found by dpkg-shlibdeps (package dpkg-dev), so the
# package names exactly what this build needs on the machine it is built on.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The package carries the programs without their debugging information.
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
include(CPack)

# The installed layout is checked by installing into a prefix inside the build folder.
if(BUILD_TESTING)
  add_test(NAME test_install COMMAND ${CMAKE_COMMAND}
    -DBUILD_DIR=${CMAKE_BINARY_DIR}
    -DPREFIX=${CMAKE_BINARY_DIR}/testinstall/prefix
    -DWORK_DIR=${CMAKE_BINARY_DIR}/testinstall/work
    -P ${CMAKE_SOURCE_DIR}/tests/packaging/CheckInstall.cmake)
  set_tests_properties(test_install PROPERTIES TIMEOUT 120 LABELS packaging
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;XDG_CONFIG_HOME=${CMAKE_BINARY_DIR}/testconfig/test_install")
endif()
