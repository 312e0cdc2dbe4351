#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QWidget>

#include "host/Forms.h"

namespace corvale::qt {

QColor qtColor(host::Rgb rgb);

/**
 * The font for a control's font: the same point size, weight and underline.
 * "MS Sans Serif" (and any face the system lacks) is stood in for by the
 * system's sans-serif faces, Arial-like ones first. Every property of the
 * result is set, so that a control never takes its container's font.
 */
QFont qtFont(const host::Font& font);

/// The font of a control that names none: MS Sans Serif 8.25 point, regular.
QFont defaultFont();

/**
 * The application's palette for the widget with every role set, so that the
 * widget takes no colour from its container, as a control of a classic
 * window takes none from its frame.
 */
QPalette ownPalette(const QWidget& widget);

}  // namespace corvale::qt
