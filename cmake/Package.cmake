# scoutly-lite_<version>_amd64.deb from the install rules: `cpack -G DEB` in the build tree.
# Depends comes from the shared libraries the programs link (dpkg-shlibdeps), so it follows
# whatever Qt, libcurl, giflib and libjpeg the build used.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME scoutly-lite)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Scoutly Lite authors")
set(CPACK_PACKAGE_CONTACT "The Scoutly Lite authors <authors@scoutly.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "game-server browser with IRC chat for Morrow")
# cpack makes the control file's description from these: the summary as its first line
# (lines kept under 80 characters, as Debian wants them).
set(CPACK_PACKAGE_DESCRIPTION
    "Scoutly Lite fetches the addresses of Morrow game servers from a master
server, asks every server for its name, map, players and rules with a
measured ping, and shows them in a sortable list. It keeps favourites,
starts the game on the chosen server and carries an IRC chat.

scoutly-lite --demo (or the menu entry's Demo action) runs it against
stand-in servers on this computer; with ngircd installed, chat bots join.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://scoutly.example.org/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The demo's chat server; the game itself runs through wine.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "ngircd, wine")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/PackageStage.cmake)
include(CPack)
