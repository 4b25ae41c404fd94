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

    /// Stores the box's state, then captions the box from it.
    void record();

signals:
    /// The box's state changed, by a click or from the stored value.
    void changed();

private:
    void setState(SwitchState state);

    QCheckBox *m_box;
    platform::SettingsStore &m_settings;
};
