#pragma once

#include <QObject>

/// The main window's single pointer shape: 0 default, 11 busy, 99 the custom (hand) image.
class MousePointer : public QObject
{
    Q_OBJECT
public:
    static constexpr int kDefault = 0;
    static constexpr int kBusy = 11;
    static constexpr int kCustom = 99;

    using QObject::QObject;

    int value() const { return m_value; }
    /// Set by long operations (busy and back to default).
    void setValue(int value);
    /// Hover feedback: takes `shape` unless a long operation holds the busy shape.
    void hover(int shape);

signals:
    void changed(int value);

private:
    int m_value = kDefault;
};
