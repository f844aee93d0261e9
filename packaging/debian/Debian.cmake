# The Debian package: velkor-collector_VERSION_ARCH.deb under /usr, with a
# manual page, the systemd units of the WBEM server and of the metrics
# report, and their configuration file under /etc.
set(deb_dir ${CMAKE_CURRENT_LIST_DIR})
set(deb_build ${CMAKE_CURRENT_BINARY_DIR}/debian)
file(MAKE_DIRECTORY ${deb_build})

# Manual page and changelog, compressed as Debian wants them: gzip -9n.
find_program(VELKOR_GZIP gzip REQUIRED)
configure_file(${deb_dir}/changelog.in ${deb_build}/changelog @ONLY)
configure_file(${deb_dir}/syvhost.1 ${deb_build}/syvhost.1 @ONLY)
foreach(file syvhost.1 changelog)
  add_custom_command(OUTPUT ${deb_build}/${file}.gz
    COMMAND ${VELKOR_GZIP} -9nc ${deb_build}/${file} > ${deb_build}/${file}.gz
    DEPENDS ${deb_build}/${file} VERBATIM)
endforeach()
add_custom_target(velkor_debian_docs ALL DEPENDS ${deb_build}/syvhost.1.gz ${deb_build}/changelog.gz)

install(FILES ${deb_build}/syvhost.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${deb_dir}/copyright ${deb_build}/changelog.gz DESTINATION ${VELKOR_INSTALL_DOCDIR})
install(FILES
  ${deb_dir}/../systemd/velkor-collector-wbem.service
  ${deb_dir}/../systemd/velkor-collector-metrics.service
  ${deb_dir}/../systemd/velkor-collector-metrics.timer
  DESTINATION lib/systemd/system)
# The configuration goes to /etc for the /usr prefix (the package, which marks
# it as a conffile so that dpkg keeps an administrator's edits), else to
# PREFIX/etc, so that a trial install never writes the system's /etc.
install(CODE "
  set(velkor_etc \${CMAKE_INSTALL_PREFIX}/etc)
  if(CMAKE_INSTALL_PREFIX STREQUAL /usr)
    set(velkor_etc /etc)
  endif()
  file(INSTALL DESTINATION \"\${velkor_etc}/velkor-collector\" TYPE FILE
       FILES \"${deb_dir}/../systemd/syvhost.conf\")
")
file(WRITE ${deb_build}/conffiles "/etc/velkor-collector/syvhost.conf\n")

set(CPACK_GENERATOR DEB)
set(CPACK_SET_DESTDIR ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${deb_build}/conffiles ${deb_dir}/postinst ${deb_dir}/prerm ${deb_dir}/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGE_DESCRIPTION
  "A collector plug-in for a host hardware-inventory framework that reports\n\
Fibre Channel and iSCSI host bus adapters as CIM instances of twelve\n\
classes, by running the vendor's command-line tools and parsing their text.\n\
.\n\
This package holds the plug-in, the stand-in host core library and the\n\
command-line host syvhost, the class schema, and systemd units that serve\n\
the instances to WBEM clients and write them as metrics for node_exporter's\n\
textfile collector. Simulated vendor tools are included as examples.")
