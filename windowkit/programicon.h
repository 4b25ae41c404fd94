#pragma once

#include <QIcon>

/// The program's icon, the picture every window of the program wears.
/// Throws platform::Failure when it cannot be drawn.
QIcon programIcon();
