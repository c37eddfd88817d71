# Install rules and the release packages (scripts/package runs CPack on both
# builds). Windows: Pagesmith-VERSION-win32.zip with both programs, the
# templates beside them (the program's own folder is the default template
# directory), README.txt and the sample export. Linux: the command line in
# bin/, its man page and the templates in
# share/pagesmith/templates, as a .tar.gz and a .deb from the same rules.
# scripts/package also writes the winget and Scoop manifests of the zip
# (cmake/write_manifests.cmake, from packaging/) and dist/SHA256SUMS.

# Where the Windows zip is published, as the winget and Scoop manifests name
# it. A placeholder until the project has a download site.
set(PAGESMITH_ZIP_URL "https://downloads.pagesmith.invalid/${PROJECT_VERSION}/Pagesmith-${PROJECT_VERSION}-win32.zip")
# The licence the manifests state (winget requires one). No licence file
# ships yet: settle it before the first upload.
set(PAGESMITH_LICENSE "Proprietary")

# Packaging installs only what the rules name; the tests need not be built.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

file(GLOB shipped_templates CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/samples/templates/*.tpl.txt)
set(CPACK_PACKAGE_VENDOR "Pagesmith")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Turns a Notewell notes export into one HTML page")
set(CPACK_PACKAGE_CONTACT "Pagesmith developers <pagesmith@users.noreply.invalid>")
set(CPACK_STRIP_FILES ON)

if(WIN32)
  # The user's part of README.md, as a text file with Windows line ends.
  file(READ ${CMAKE_SOURCE_DIR}/README.md readme)
  string(REGEX REPLACE "\n## On a fresh machine\n.*\n## Using the window program\n"
                       "\n## Using the window program\n" readme "${readme}")
  string(REGEX REPLACE "\n## For developers\n.*$" "\n" readme "${readme}")
  string(REGEX REPLACE "!\\[[^]\n]*\\]\\([^)\n]*\\)\n\n" "" readme "${readme}")
  string(REGEX REPLACE "^# Pagesmith\n\n" "" readme "${readme}")
  string(REPLACE "\n" "\r\n" readme "${readme}")
  set(PAGESMITH_USER_GUIDE "${readme}")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
               ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/docs/README.txt.in)
  configure_file(${CMAKE_SOURCE_DIR}/docs/README.txt.in ${PAGESMITH_GENERATED}/README.txt
                 @ONLY NEWLINE_STYLE WIN32)

  install(TARGETS Pagesmith pagesmith-cli RUNTIME DESTINATION .)
  install(FILES ${shipped_templates} ${PAGESMITH_GENERATED}/README.txt DESTINATION .)
  install(FILES ${CMAKE_SOURCE_DIR}/samples/notes.txt DESTINATION . RENAME sample-notes.txt)

  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME "Pagesmith-${PROJECT_VERSION}-win32")
  # Unpacked straight into the folder the user picks.
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
  # For the manifests, which read CPack's configuration.
  set(CPACK_PAGESMITH_ZIP_URL "${PAGESMITH_ZIP_URL}")
  set(CPACK_PAGESMITH_LICENSE "${PAGESMITH_LICENSE}")
else()
  include(GNUInstallDirs)
  install(TARGETS pagesmith-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  # The manual page gets its version header from project().
  configure_file(${CMAKE_SOURCE_DIR}/docs/pagesmith-cli.1.in ${PAGESMITH_GENERATED}/pagesmith-cli.1 @ONLY)
  install(FILES ${PAGESMITH_GENERATED}/pagesmith-cli.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${shipped_templates} DESTINATION ${CMAKE_INSTALL_DATADIR}/pagesmith/templates)

  set(CPACK_GENERATOR "TGZ;DEB")
  set(CPACK_PACKAGE_NAME pagesmith-cli)
  set(CPACK_PACKAGE_FILE_NAME "pagesmith-cli-${PROJECT_VERSION}-linux-x86_64")
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION text)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()

include(CPack)
