#pragma once

#include <QColor>
#include <QPalette>
#include <QWidget>

/// Gives a control a solid background of its own, as plain-coloured controls have.
inline void paintBackground(QWidget *widget, const QColor &colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}
