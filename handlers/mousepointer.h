#pragma once

#include <QObject>

/// The window's pointer shapes, with the values they are known by.
enum class PointerShape : qint16 { Default = 0, Busy = 11, Custom = 99 };

/// The main window's single pointer shape.
class MousePointer : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    PointerShape value() const { return m_value; }
    /// Set by long operations (busy and back to default).
    void setValue(PointerShape value);
    /// Hover feedback: takes `shape` unless a long operation holds the busy shape.
    void hover(PointerShape shape);

signals:
    void changed(PointerShape value);

private:
    PointerShape m_value = PointerShape::Default;
};
