# Where the install rules put each part, relative to the install prefix. The
# Windows ZIP is flat: the programs, the DLLs and schema/ side by side, as a
# host framework deploys them. Elsewhere the usual tree: the plug-in and
# syvcore in a library folder of their own, the schema in the shared data.
if(WIN32)
  set(VELKOR_INSTALL_BINDIR .)
  set(VELKOR_INSTALL_PLUGINDIR .)
  set(VELKOR_INSTALL_SCHEMADIR schema)
  set(VELKOR_INSTALL_DOCDIR .)
  set(VELKOR_INSTALL_EXAMPLESDIR examples)
else()
  include(GNUInstallDirs)
  set(VELKOR_INSTALL_BINDIR ${CMAKE_INSTALL_BINDIR})
  set(VELKOR_INSTALL_PLUGINDIR lib/velkor-collector)
  set(VELKOR_INSTALL_SCHEMADIR ${CMAKE_INSTALL_DATADIR}/velkor-collector/schema)
  set(VELKOR_INSTALL_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/velkor-collector)
  # The example tools are programs, which Debian keeps out of /usr/share.
  set(VELKOR_INSTALL_EXAMPLESDIR ${VELKOR_INSTALL_PLUGINDIR}/examples)
endif()
# The same folders as syvhost sees them from its own.
file(RELATIVE_PATH VELKOR_PLUGIN_DIR_FROM_BIN /prefix/${VELKOR_INSTALL_BINDIR} /prefix/${VELKOR_INSTALL_PLUGINDIR})
file(RELATIVE_PATH VELKOR_SCHEMA_DIR_FROM_BIN /prefix/${VELKOR_INSTALL_BINDIR} /prefix/${VELKOR_INSTALL_SCHEMADIR})
foreach(dir VELKOR_PLUGIN_DIR_FROM_BIN VELKOR_SCHEMA_DIR_FROM_BIN)
  if("${${dir}}" STREQUAL "")
    set(${dir} .)
  endif()
endforeach()
