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
# Beside the libraries it links (found by dpkg-shlibdeps), the game needs
# Qt's X11 platform plugin, and on a Wayland desktop wants Qt's Wayland one
# (without it Qt falls back to X11). Which package holds each depends on the
# release (libqt6gui6 on Debian 12, qt6-qpa-plugins from Debian 13 on): the
# one that holds the plugin of the Qt built against.
function(squibbo_package_of plugin fallback out)
  set(package ${fallback})
  find_program(DPKG_QUERY dpkg-query)
  if(DPKG_QUERY)
    execute_process(COMMAND ${DPKG_QUERY} -S ${QT6_INSTALL_PREFIX}/${QT6_INSTALL_PLUGINS}/platforms/${plugin}
                    OUTPUT_VARIABLE owner ERROR_QUIET RESULT_VARIABLE status)
    if(status EQUAL 0 AND owner MATCHES "^([^:,]+)")
      set(package ${CMAKE_MATCH_1})
    endif()
  endif()
  set(${out} ${package} PARENT_SCOPE)
endfunction()
squibbo_package_of(libqxcb.so libqt6gui6 x11_plugins)
squibbo_package_of(libqwayland-generic.so qt6-wayland wayland_plugins)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation, ${x11_plugins}")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "${wayland_plugins}")
set(CPACK_STRIP_FILES ON)
include(CPack)
