"""Drives real QGIS with the plugin loaded, as a user would: the first-run road
(message, configuration window, layer, field, Continue), then the search road
(Go, a pick) and checks that the canvas ends on the picked street's first
feature enlarged by 20 %, in the canvas's coordinate system.

Runs inside QGIS (qgis --code); writes its findings as JSON to the file named
by CORVALE_E2E_RESULT and quits QGIS.
"""

import json
import os
import traceback

from qgis.core import (Qgis, QgsCoordinateTransform, QgsFeatureRequest, QgsProject,
                       QgsRectangle)
from qgis.PyQt.QtCore import Qt, QTimer
from qgis.PyQt.QtTest import QTest
from qgis.PyQt.QtWidgets import (QAbstractButton, QApplication, QLineEdit,
                                 QListView, QMessageBox, QToolBar, QWidget)
from qgis.utils import iface

RESULT = os.environ["CORVALE_E2E_RESULT"]
LAYER, FIELD, PICK = "streets", "name", "O'Brien Road"
# The QGIS release the plugin was loaded into, for the log.
findings = {"checks": [], "failures": [], "qgis": Qgis.QGIS_VERSION}
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
    # Take the project's layers down while the layer tree view still stands,
    # then leave: QGIS 3.40 crashes in its own shutdown when the layers are
    # still loaded as the event loop ends.
    QgsProject.instance().clear()
    QTimer.singleShot(0, lambda: QApplication.exit(0))


def window(name):
    for widget in QApplication.allWidgets():
        if widget.objectName() == name and widget.isVisible():
            return widget
    return None


def child(parent, kind, name):
    return parent.findChild(kind, name)


def pick(view, text):
    """Clicks the entry with the mouse, as a user does."""
    model = view.model()
    for row in range(model.rowCount()):
        index = model.index(row, 0)
        if model.data(index) == text:
            view.scrollTo(index)
            QTest.mouseClick(view.viewport(), Qt.LeftButton, Qt.NoModifier,
                             view.visualRect(index).center())
            return True
    return False


def entries(view):
    model = view.model()
    return [model.data(model.index(row, 0)) for row in range(model.rowCount())]


def step_button():
    bar = iface.mainWindow().findChild(QToolBar, "CorvaleGIS")
    check(bar is not None, "the toolbar CorvaleGIS exists")
    if bar is None:
        return finish()
    actions = bar.actions()
    check(len(actions) == 1, "the toolbar holds one button")
    action = actions[0]
    check(action.text() == "CorvaleStreetSearch", "the button's caption")
    check(action.toolTip() == "CorvaleStreetSearch - Zoom to a street", "the button's tooltip")
    check(action.objectName() == "CorvaleGIS_CorvaleStreetSearch", "the button's name")
    check(action.statusTip() == "CorvaleGIS: www.corvalegis.example", "the button's status tip")
    check(not action.icon().isNull(), "the button has an icon")
    QTimer.singleShot(0, action.trigger)
    return True


def step_message():
    box = QApplication.activeModalWidget()
    if not isinstance(box, QMessageBox):
        return False
    findings["message"] = box.text()
    # The box shows the message's two lines; a CR LF shows as one line break.
    check(box.text().replace("\r\n", "\n") ==
          "Tool is not configured.\nConfiguration window will now load.",
          "the not-configured message")
    check(box.windowTitle() == "CorvaleStreetSearch", "message box title")
    box.button(QMessageBox.Ok).click()
    return True


def step_configure():
    config = window("frmConfig")
    if config is None:
        return False
    layers = child(config, QListView, "List1")
    findings["layers"] = entries(layers)
    check(pick(layers, LAYER), "the layer list offers the street layer")
    return True


def step_choose_field():
    config = window("frmConfig")
    fields = child(config, QListView, "List2")
    if fields.model().rowCount() == 0:
        return False
    findings["fields"] = entries(fields)
    check(pick(fields, FIELD), "choosing the layer lists its fields")
    QTest.mouseClick(child(config, QAbstractButton, "Command1"), Qt.LeftButton)
    return True


def step_search_window():
    main = window("frmMain")
    if main is None:
        return False
    names = entries(child(main, QListView, "List1"))
    if not names:
        return False
    findings["names"] = len(names)
    check(PICK in names and "Main Street" in names and "main street" in names,
          "the search window lists the distinct names, case twins apart")
    box = child(main, QLineEdit, "Text1")
    QTest.keyClicks(box, "o'b")
    QTest.mouseClick(child(main, QAbstractButton, "Command4"), Qt.LeftButton)
    view = child(main, QListView, "List1")
    selected = view.model().data(view.currentIndex())
    findings["go_selected"] = selected
    check(selected == PICK, "Go selects the first name that begins with the text")
    findings["extent_before"] = iface.mapCanvas().extent().toString()
    return True


def step_pick():
    # Go did not zoom; clicking the name it selected does.
    check(iface.mapCanvas().extent().toString() == findings["extent_before"], "Go does not zoom")
    view = child(window("frmMain"), QListView, "List1")
    check(pick(view, PICK), "clicking the name Go selected")
    return True


def expected_extent():
    project = QgsProject.instance()
    layer = project.mapLayersByName(LAYER)[0]
    request = QgsFeatureRequest().setFilterExpression(
        '"{}" = \'{}\''.format(FIELD, PICK.replace("'", "''")))
    request.addOrderBy("$id")
    feature = next(layer.getFeatures(request))
    box = QgsRectangle(feature.geometry().boundingBox())
    box.scale(1.2)
    canvas = iface.mapCanvas()
    transform = QgsCoordinateTransform(layer.crs(), canvas.mapSettings().destinationCrs(), project)
    return transform.transformBoundingBox(box)


def step_zoomed():
    canvas = iface.mapCanvas()
    if canvas.extent().toString() == findings["extent_before"]:
        return False
    expected = expected_extent()
    shown = canvas.extent()
    findings["expected"] = expected.toString()
    findings["canvas"] = shown.toString()
    tolerance = max(expected.width(), expected.height()) * 1e-6
    same_centre = (abs(shown.center().x() - expected.center().x()) <= tolerance and
                   abs(shown.center().y() - expected.center().y()) <= tolerance)
    check(same_centre, "the canvas is centred on the picked feature")
    # The canvas keeps its own aspect ratio: one side fits the box, the other holds it.
    fits_width = abs(shown.width() - expected.width()) <= tolerance
    fits_height = abs(shown.height() - expected.height()) <= tolerance
    check(fits_width or fits_height, "the canvas fits the feature's box enlarged by 20 %")
    check(shown.width() >= expected.width() - tolerance and
          shown.height() >= expected.height() - tolerance, "the canvas shows the whole box")
    return True


def run():
    try:
        if not steps:
            return finish()
        if steps[0]():
            steps.pop(0)
    except Exception:  # the test's own failure, reported as such
        findings["failures"].append(traceback.format_exc())
        finish()


steps.extend([step_button, step_message, step_configure, step_choose_field, step_search_window,
              step_pick, step_zoomed])
timer.timeout.connect(run)
timer.start(200)
QTimer.singleShot(90000, lambda: (findings["failures"].append("timed out at " + steps[0].__name__)
                                  if steps else None, finish()))
