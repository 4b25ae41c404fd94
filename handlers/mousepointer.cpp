#include "handlers/mousepointer.h"

void MousePointer::setValue(PointerShape value)
{
    m_value = value;
    emit changed(value);
}

void MousePointer::hover(PointerShape shape)
{
    if (m_value != PointerShape::Busy)
        setValue(shape);
}
