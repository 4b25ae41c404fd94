#pragma once

#include "compare/linefilter.h"

#include <QObject>

/// Whether compare mode is on, and what comparisons ignore: one for the program, so the main
/// window and the full-screen view show their texts the same way.
class CompareState : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    bool isOn() const { return m_on; }
    void setOn(bool on)
    {
        if (on != m_on) {
            m_on = on;
            emit changed();
        }
    }
    void toggle() { setOn(!m_on); }

    const CompareOptions &options() const { return m_options; }
    void setOptions(const CompareOptions &options)
    {
        if (!(options == m_options)) {
            m_options = options;
            emit changed();
        }
    }

signals:
    void changed();

private:
    bool m_on = false;
    CompareOptions m_options;
};
