#!/usr/bin/env python3
"""Installs the plugin into a QGIS profile: copies the library into the
profile's folder cpp-plugins, adds that folder to the profile's plugin search
paths and enables the plugin, keeping every other setting of the profile.

Usage: qgis-profile.py PROFILE_FOLDER PLUGIN_LIBRARY
"""

import os
import shutil
import sys

from qgis.PyQt.QtCore import QSettings

KEY_PATHS = "plugins/searchPathsForPlugins"


def main():
    profile, library = sys.argv[1], sys.argv[2]
    folder = os.path.join(profile, "cpp-plugins")
    os.makedirs(os.path.join(profile, "QGIS"), exist_ok=True)
    os.makedirs(folder, exist_ok=True)
    target = os.path.join(folder, os.path.basename(library))
    # A new file rather than an overwrite, so that a running QGIS keeps its mapped copy.
    staged = target + ".new"
    shutil.copyfile(library, staged)
    os.replace(staged, target)

    settings = QSettings(os.path.join(profile, "QGIS", "QGIS3.ini"), QSettings.IniFormat)
    paths = [p for p in str(settings.value(KEY_PATHS, "") or "").split("|") if p]
    if folder not in paths:
        paths.append(folder)
    settings.setValue(KEY_PATHS, "|".join(paths))
    base = os.path.splitext(os.path.basename(library))[0]
    settings.setValue("Plugins/" + base, True)
    settings.sync()
    print("installed " + target)


if __name__ == "__main__":
    main()
