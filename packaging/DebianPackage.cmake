# The Debian package, built by scripts/package.sh through CPack.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tunebarn-uploader)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# The user unit names the binary by its full path, so the package keeps the configured prefix
# (scripts/package.sh sets /usr).
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TUNEBARN_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "uploads a radio station's recorded shows at their scheduled times")
# CPack puts the summary above this as the synopsis line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Tunebarn Uploader runs on a studio computer and publishes the station's
weekly programmes on a show-hosting service with nobody at the desk. It
reads up to 100 shows from tunebarn.ini and, when a show's day and minute
arrive, uploads its recording, a dated title, a description and an optional
picture by running curl, keeping a daily audit trail.
.
It runs as a small window, or without one as a systemd user service, and
can check a configuration or send a single upload from the command line.")

# dpkg-shlibdeps names the Qt 6, C++ and C libraries the binary links; curl is run, not linked,
# and without Liberation Sans the window's texts are drawn in a wider font that clips them. curl
# checks the service's certificate against the system's store, which ca-certificates fills;
# curl's library only recommends it.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "curl, ca-certificates, fonts-liberation, libmpg123-0")
# The About window opens the audit folder and the configuration file through xdg-open.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS xdg-utils)

set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

include(CPack)
