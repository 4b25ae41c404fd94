#include "panes/panefilestatus.h"

#include "textpane/panecontrol.h"

PaneFileStatus::PaneFileStatus(PaneControl &pane)
    : QObject(&pane), m_pane(pane), m_engineEdited(pane.isModified())
{
    connect(&pane, &PaneControl::modificationChanged, this, &PaneFileStatus::setEngineEdited);
}

PaneFileStatus *PaneFileStatus::of(PaneControl &pane)
{
    return pane.findChild<PaneFileStatus *>(QString(), Qt::FindDirectChildrenOnly);
}

void PaneFileStatus::loaded(const QString &path)
{
    settle(Origin::Loaded, path);
}

void PaneFileStatus::saved(const QString &path)
{
    settle(Origin::Saved, path);
}

void PaneFileStatus::cleared()
{
    settle(Origin::None, QString());
}

void PaneFileStatus::copiedBack(bool edited)
{
    m_carriedEdit = m_carriedEdit || edited;
    emit changed(description());
}

void PaneFileStatus::settle(Origin origin, const QString &path)
{
    m_origin = origin;
    m_path = path;
    m_carriedEdit = false;
    m_onDisk = OnDisk::Same;
    // The text as it stands now is what the file holds (plus the open's carriage return), so the
    // bytes stay and only the engine's save point moves here.
    m_pane.setModified(false);
    m_engineEdited = false;
    emit changed(description());
    emit settled();
}

void PaneFileStatus::setOnDisk(OnDisk state)
{
    if (state == m_onDisk)
        return;
    m_onDisk = state;
    emit changed(description());
}

void PaneFileStatus::setEngineEdited(bool edited)
{
    const bool was = isEdited();
    m_engineEdited = edited;
    if (isEdited() != was)
        emit changed(description());
}

QString PaneFileStatus::description() const
{
    switch (m_onDisk) {
    case OnDisk::Same:
        return textDescription();
    case OnDisk::Changed:
        return textDescription() + QStringLiteral("; changed on disk");
    case OnDisk::Deleted:
        return textDescription() + QStringLiteral("; changed on disk: deleted");
    }
    return {};
}

QString PaneFileStatus::textDescription() const
{
    const QString dash = QStringLiteral(" \u2014 ");
    switch (m_origin) {
    case Origin::None:
        return isEdited() ? QStringLiteral("No file") + dash + QStringLiteral("edited") : QStringLiteral("No file");
    case Origin::Loaded:
        return m_path + dash + (isEdited() ? QStringLiteral("edited since it was loaded")
                                           : QStringLiteral("unchanged since it was loaded"));
    case Origin::Saved:
        return m_path + dash + (isEdited() ? QStringLiteral("edited since it was saved")
                                           : QStringLiteral("unchanged since it was saved"));
    }
    return {};
}
