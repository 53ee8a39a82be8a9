# The Debian package of the program (scripts/package runs cpack in the
# release build): the program's folder in /usr/lib/yel-album-studio/ with
# links in /usr/bin, the desktop entries, icon, MIME type, thumbnailer,
# manual pages and bash completion under /usr/share. Depends: the libraries
# the programs link (dpkg-shlibdeps) and the packages they start or load.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME yel-album-studio)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Yel Album Studio")
set(CPACK_PACKAGE_CONTACT "Yel Album Studio developers <yel-album-studio@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "photo albums published as SWF movies")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "A desktop authoring tool for photo albums published as SWF movies, with its own SWF engine.\n"
    "The editor yel-studio arranges photos as slides with transitions, a template and a loading\n"
    "bar, and publishes the album as a movie, as an HTML page that plays it in today's browsers\n"
    "(the Ruffle player inside), as a player program with CD files, or as a zip archive for\n"
    "e-mail. yel does the same on the command line, and yel-player plays SWF movies.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # yel-album-studio_VERSION_amd64.deb
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://localhost/yel-album-studio")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Started or loaded at run time, so dpkg-shlibdeps cannot see them: Qt
# WebEngine's helper process and Qt's platform plugins (the editor, the
# player, their off-screen pictures), the faces that stand in for Arial,
# Times New Roman and Courier New in movies, xdg-email and xdg-open.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6webenginecore6-bin, qt6-qpa-plugins, fonts-liberation, xdg-utils")
# CJK text in movies; yel-player's snapshots without a display.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk, xvfb, xauth")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${CMAKE_CURRENT_LIST_DIR}/postinst ${CMAKE_CURRENT_LIST_DIR}/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
include(CPack)
