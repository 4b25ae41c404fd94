#pragma once

#include "sync/switchstate.h"

#include <QObject>

class QCheckBox;
namespace platform { class SettingsStore; }

/// The synchronous-scrolling switch: a check box whose state is stored at every change and
/// restored at start-up.
class SyncSwitch : public QObject
{
    Q_OBJECT
public:
    SyncSwitch(QCheckBox *box, platform::SettingsStore &settings, QObject *parent = nullptr);

    SwitchState state() const;
    bool isOn() const { return state() == SwitchState::On; }

    /// Gives the box the stored state (default on). Throws platform::Failure when the stored
    /// text is no valid state; the box then keeps its state.
    void restore();
    void showOnCaption();
    void showOffCaption();

    /// Every change of the box's state: store it, then caption the box from it.
    void Check1_Click();

private:
    void setState(SwitchState state);

    QCheckBox *m_box;
    platform::SettingsStore &m_settings;
};
