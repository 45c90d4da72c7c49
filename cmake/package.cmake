# A Debian package: tools/package-deb.sh (cpack -G DEB with Debian's layout
# and hardening flags), which lintian passes.
set(CPACK_PACKAGE_NAME squibbo)
set(CPACK_PACKAGE_VENDOR "The Squibbo developers")
set(CPACK_PACKAGE_CONTACT "The Squibbo developers <squibbo@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "throw pies at Wendo before he dodges away")
set(CPACK_PACKAGE_DESCRIPTION "Squibbo is a small arcade game. Wendo slides left and right near the
top of the window; press the Throw It! button and a cream pie flies up.
Hit Wendo and he wears the pie for a second while you score, more the
closer you come to his chin. Every miss costs points, and ten misses end
the game.

Wendo speeds up with every hit, turns at random from the fifteenth and
dodges every throw from the twentieth. The ten best scores are kept in
your own game folder, and several players on one machine may share it.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://squibbo.example.org/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation")
# Native on a Wayland desktop; without it Qt falls back to X11.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")
set(CPACK_STRIP_FILES ON)
include(CPack)
