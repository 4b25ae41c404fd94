#include "handlers/mousepointer.h"

void MousePointer::setValue(int value)
{
    m_value = value;
    emit changed(value);
}

void MousePointer::hover(int shape)
{
    if (m_value != kBusy)
        setValue(shape);
}
