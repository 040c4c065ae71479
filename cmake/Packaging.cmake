# Install layout and the Debian package. Quobex and Updater go side by side
# in bin/, so Quobex finds Updater beside itself; the desktop file and the
# icons go where desktops look for them. The stand-in is never installed.
include(GNUInstallDirs)

install(TARGETS Quobex Updater RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/resources/quobex.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size 16 24 32 48 64 128 256)
  install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/hicolor/${size}x${size}/apps/quobex.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quobex)
set(CPACK_PACKAGE_VENDOR "Quobex")
set(CPACK_PACKAGE_CONTACT "Quobex maintainers <quobex@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Tray program that watches an online store for new products")
set(CPACK_PACKAGE_DESCRIPTION "Quobex checks the store's product service for your keyword alerts and its top \
seller and new release lists, and tells you about new products with a balloon, a sound and its window.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
# The libraries it links, as dpkg-shlibdeps finds them; Qt's windowing
# plugins are loaded at run time, so no library names them. Product pages
# and the maker's pages open in the desktop's browser through xdg-open, a
# program no library names either: without it a click does nothing.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, xdg-utils")
include(CPack)
