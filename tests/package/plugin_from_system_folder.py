"""Runs inside real QGIS (qgis --code) started on a fresh profile after the
Debian package was installed: the plugin must not be running yet, must be
listed by the Plugin Manager, and ticking it there must load it from QGIS's
system plugin folder and put its button on the toolbar CorvaleGIS; the
button's first click must say the tool is not configured. Writes its findings
as JSON to the file named by CORVALE_E2E_RESULT and quits QGIS.
"""

import json
import os
import traceback

from qgis.core import QgsApplication, QgsSettings
from qgis.PyQt.QtCore import Qt, QTimer
from qgis.PyQt.QtWidgets import QApplication, QDialog, QListView, QMessageBox, QToolBar
from qgis.utils import iface

RESULT = os.environ["CORVALE_E2E_RESULT"]
LIBRARY = "libcorvalestreetsearchplugin.so"
KEY = "Plugins/libcorvalestreetsearchplugin"
SYSTEM_PATH = os.path.join(QgsApplication.pluginPath(), LIBRARY)
findings = {"checks": [], "failures": [], "plugin_path": QgsApplication.pluginPath()}
steps = []
timer = QTimer()


def check(ok, what):
    findings["checks"].append(what)
    if not ok:
        findings["failures"].append(what)


def finish():
    timer.stop()
    with open(RESULT, "w") as out:
        json.dump(findings, out, indent=1)
    QTimer.singleShot(0, lambda: QApplication.exit(0))


def toolbar():
    return iface.mainWindow().findChild(QToolBar, "CorvaleGIS")


def mapped_copies():
    with open("/proc/self/maps") as maps:
        return sorted({line.split()[-1] for line in maps if line.rstrip().endswith("/" + LIBRARY)})


def manager():
    dialog = QApplication.activeModalWidget()
    if isinstance(dialog, QDialog) and dialog.findChild(QListView, "vwPlugins"):
        return dialog
    return None


def step_fresh_profile():
    check(os.path.isfile(SYSTEM_PATH), "the package put the plugin in QGIS's system plugin folder")
    # QGIS opens every library of the folder to read its name: mapped is not running.
    check(toolbar() is None and not QgsSettings().value(KEY, False, type=bool),
          "a fresh profile does not run the plugin yet")
    QTimer.singleShot(0, lambda: iface.pluginManagerInterface().showPluginManager())
    return True


def step_tick_in_manager():
    dialog = manager()
    if dialog is None:
        return False
    model = dialog.findChild(QListView, "vwPlugins").model()
    rows = [model.index(row, 0) for row in range(model.rowCount())]
    findings["listed"] = sorted(str(model.data(i)) for i in rows)
    ours = [i for i in rows if model.data(i) == "CorvaleStreetSearch"]
    check(len(ours) == 1, "the Plugin Manager lists CorvaleStreetSearch once")
    if ours:
        index = ours[0]
        check(model.data(index, Qt.CheckStateRole) == Qt.Unchecked, "it is listed as not enabled")
        model.setData(index, Qt.Checked, Qt.CheckStateRole)
        check(model.data(index, Qt.CheckStateRole) == Qt.Checked, "ticking it enables it")
    dialog.reject()
    return True


def step_loaded():
    if manager() is not None:
        return False
    findings["mapped"] = mapped_copies()
    check(findings["mapped"] == [SYSTEM_PATH], "QGIS runs the plugin from its system plugin folder")
    check(QgsSettings().value(KEY, False, type=bool),
          "the profile remembers the plugin as enabled")
    bar = toolbar()
    actions = bar.actions() if bar is not None else []
    check(len(actions) == 1 and actions[0].text() == "CorvaleStreetSearch",
          "the toolbar CorvaleGIS holds the button CorvaleStreetSearch")
    if len(actions) != 1:
        return finish()
    QTimer.singleShot(0, actions[0].trigger)
    return True


def step_first_click():
    box = QApplication.activeModalWidget()
    if not isinstance(box, QMessageBox):
        return False
    findings["message"] = box.text()
    check(box.text().replace("\r\n", "\n") ==
          "Tool is not configured.\nConfiguration window will now load.",
          "the button's first click says the tool is not configured")
    box.button(QMessageBox.Ok).click()
    finish()
    return True


steps = [step_fresh_profile, step_tick_in_manager, step_loaded, step_first_click]
ticks = {"left": 300}


def tick():
    ticks["left"] -= 1
    if ticks["left"] < 0:
        check(False, "timed out at " + steps[0].__name__)
        return finish()
    try:
        if steps[0]():
            steps.pop(0)
    except Exception:
        findings["exception"] = traceback.format_exc()
        check(False, "no exception in " + steps[0].__name__)
        finish()


timer.timeout.connect(tick)
timer.start(200)
