#pragma once

#include <QObject>

class QCheckBox;
namespace platform { class SettingsStore; }

/// The synchronous-scrolling switch: a check box whose state (0 off, 1 on, 2 greyed) is stored
/// at every change and restored at start-up. Synchronisation is on exactly in state 1.
class SyncSwitch : public QObject
{
    Q_OBJECT
public:
    static constexpr int kOff = 0;
    static constexpr int kOn = 1;
    static constexpr int kGreyed = 2;

    SyncSwitch(QCheckBox *box, platform::SettingsStore &settings, QObject *parent = nullptr);

    int state() const;
    bool isOn() const { return state() == kOn; }

    /// Gives the box the stored state (default on). Throws platform::Failure when the stored
    /// text is no valid state; the box then keeps its state.
    void restore();
    void showOnCaption();
    void showOffCaption();

    /// Every change of the box's state: store it, then caption the box from it.
    void Check1_Click();

private:
    void setState(int state);

    QCheckBox *m_box;
    platform::SettingsStore &m_settings;
};
