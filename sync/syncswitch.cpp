#include "sync/syncswitch.h"

#include "platform/failure.h"
#include "platform/settingsstore.h"

#include <QCheckBox>

#include <limits>

namespace {
const QString kApplication = QStringLiteral("Tarnhollow");
const QString kSection = QStringLiteral("Brassfinch");
const QString kKey = QStringLiteral("Check1");
const QString kDefaultState = QStringLiteral("1");
const QString kOnCaption = QStringLiteral("Synchronous Scrolling is on");
const QString kOffCaption = QStringLiteral("Synchronous Scrolling is off");

SwitchState parseState(const QString &stored)
{
    bool isNumber = false;
    const qlonglong number = stored.trimmed().toLongLong(&isNumber);
    if (!isNumber)
        throw platform::Failure(QStringLiteral("Type mismatch"));
    if (number < std::numeric_limits<qint16>::min() || number > std::numeric_limits<qint16>::max())
        throw platform::Failure(QStringLiteral("Overflow"));
    const auto state = static_cast<SwitchState>(number);
    if (state != SwitchState::Off && state != SwitchState::On && state != SwitchState::Greyed)
        throw platform::Failure(QStringLiteral("Invalid property value"));
    return state;
}
} // namespace

SyncSwitch::SyncSwitch(QCheckBox *box, platform::SettingsStore &settings, QObject *parent)
    : QObject(parent), m_box(box), m_settings(settings)
{
    connect(m_box, &QCheckBox::stateChanged, this, [this](int) {
        // The greyed state comes only from a stored value; clicks tick and untick.
        if (m_box->checkState() != Qt::PartiallyChecked)
            m_box->setTristate(false);
        emit changed();
    });
}

SwitchState SyncSwitch::state() const
{
    switch (m_box->checkState()) {
    case Qt::Checked: return SwitchState::On;
    case Qt::PartiallyChecked: return SwitchState::Greyed;
    default: return SwitchState::Off;
    }
}

void SyncSwitch::restore()
{
    setState(parseState(m_settings.read(kApplication, kSection, kKey, kDefaultState)));
}

void SyncSwitch::showOnCaption() { m_box->setText(kOnCaption); }
void SyncSwitch::showOffCaption() { m_box->setText(kOffCaption); }

void SyncSwitch::record()
{
    m_settings.write(kApplication, kSection, kKey, QString::number(qToUnderlying(state())));
    if (state() == SwitchState::On)
        showOnCaption();
    else
        showOffCaption();
}

void SyncSwitch::setState(SwitchState state)
{
    m_box->setCheckState(state == SwitchState::On ? Qt::Checked : state == SwitchState::Greyed ? Qt::PartiallyChecked : Qt::Unchecked);
}
