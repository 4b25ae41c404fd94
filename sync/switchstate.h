#pragma once

#include <QtGlobal>

/// The synchronous-scrolling switch's states, with the values the setting stores.
/// Synchronisation is on exactly in state On.
enum class SwitchState : qint16 { Off = 0, On = 1, Greyed = 2 };
