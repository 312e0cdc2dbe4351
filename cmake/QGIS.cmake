# Imported targets for Qt 5 and the QGIS 3 libraries of the system:
#   QGIS::core, QGIS::gui (with their Qt dependencies).
find_package(Qt5 REQUIRED COMPONENTS Core Gui Widgets Xml Svg Network PrintSupport Concurrent Test)

find_path(QGIS_INCLUDE_DIR qgis.h PATH_SUFFIXES qgis REQUIRED)
find_library(QGIS_CORE_LIBRARY qgis_core REQUIRED)
find_library(QGIS_GUI_LIBRARY qgis_gui REQUIRED)
find_path(QGIS_PLUGIN_DIR libofflineeditingplugin.so
  PATHS /usr/lib/qgis/plugins /usr/lib/x86_64-linux-gnu/qgis/plugins)

if(NOT TARGET QGIS::core)
  add_library(QGIS::core SHARED IMPORTED)
  set_target_properties(QGIS::core PROPERTIES
    IMPORTED_LOCATION "${QGIS_CORE_LIBRARY}"
    INTERFACE_INCLUDE_DIRECTORIES "${QGIS_INCLUDE_DIR}"
    INTERFACE_LINK_LIBRARIES "Qt5::Core;Qt5::Gui;Qt5::Widgets;Qt5::Xml;Qt5::Svg;Qt5::Network;Qt5::PrintSupport;Qt5::Concurrent")
  add_library(QGIS::gui SHARED IMPORTED)
  set_target_properties(QGIS::gui PROPERTIES
    IMPORTED_LOCATION "${QGIS_GUI_LIBRARY}"
    INTERFACE_LINK_LIBRARIES "QGIS::core")
endif()
message(STATUS "QGIS headers: ${QGIS_INCLUDE_DIR}; plugins: ${QGIS_PLUGIN_DIR}")
