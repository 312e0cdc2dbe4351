#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QString>
#include <QWidget>

#include "host/Forms.h"

namespace corvale::qt {

QColor qtColor(host::Rgb rgb);

/**
 * The font for a control's font: the same point size, weight and underline.
 * A face the system has is kept; "MS Sans Serif" (and any face the system
 * lacks) is stood in for by the first sans-serif face the system has of
 * "Microsoft Sans Serif", "Liberation Sans", "Arimo", "Arial", "Helvetica",
 * "DejaVu Sans Condensed", "DejaVu Sans", else fontconfig's sans-serif.
 * Every property of the result is set, so that a control never takes its
 * container's font.
 */
QFont qtFont(const host::Font& font);

/// The font of a control that names none: MS Sans Serif 8.25 point, regular.
QFont defaultFont();

/**
 * A style sheet rule that gives the object of that name this font. An
 * application style sheet (QGIS sets "* { font: ... }" when the user picks a
 * font of their own) overrides QWidget::setFont; a widget's own sheet, with
 * rules by object name, overrides the application's.
 */
QString fontRule(const QString& objectName, const QFont& font);

/**
 * The application's palette for the widget with every role set, so that the
 * widget takes no colour from its container, as a control of a classic
 * window takes none from its frame.
 */
QPalette ownPalette(const QWidget& widget);

}  // namespace corvale::qt
