# The Debian package, made by CPack from the install rules: `cpack -G DEB` in the build folder
# (scripts/package.sh). The version is the project's VERSION, as in the about box and the
# AppStream metadata.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zimo)
set(CPACK_PACKAGE_VENDOR "ZIMO developers")
set(CPACK_PACKAGE_CONTACT "ZIMO developers <zimo@zimo.jp>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "small editor for writing HTML pages by hand")
# The extended description; the DEB generator puts the summary above it and indents its lines.
set(CPACK_PACKAGE_DESCRIPTION "ZIMO edits one text or HTML document in one window, with a Japanese user
interface. It reads and writes Shift-JIS (code page 932), UTF-8, EUC-JP,
ISO-2022-JP and UTF-16, recognising the encoding when a file is opened.
Markup commands add or remove <BR> at every line end, wrap the selection in a
CENTER block and append two snippet files; the markup is shown in colour and
the page can be previewed in the desktop's browser.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION editors)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the program links come from dpkg-shlibdeps; the rest are what it needs at run time
# without linking them: Qt's platform plugins (the window), xdg-utils (the file manager and the
# browser preview).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, xdg-utils")
# The Japanese face of the text area and Qt's Japanese buttons and dialogs.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
# Only the program's own files: the tests and benchmarks install nothing.
set(CPACK_INSTALL_CMAKE_PROJECTS "${PROJECT_BINARY_DIR};${PROJECT_NAME};ALL;/")
# Installing (and so packaging) needs only what the install rules name, which package.sh builds;
# not the tests and benchmarks of "all".
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
include(CPack)
