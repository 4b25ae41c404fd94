#pragma once

#include "handlers/mousepointer.h"

#include <QCursor>
#include <QHash>
#include <QObject>
#include <QSet>

#include <optional>

class QWidget;

/// Shows a window's single pointer shape over the window and every control inside it. The
/// default shape hands each control its own pointer back; the busy and custom shapes cover them
/// all, even controls that set their own pointer again while one of those is shown. Other
/// windows (dialogs, message boxes) keep their own pointers.
class WindowPointer : public QObject
{
    Q_OBJECT
public:
    WindowPointer(MousePointer &pointer, QWidget *window);

    /// The image of the custom shape. Without one, the custom shape is the pointing hand.
    void setCustomCursor(const QCursor &cursor);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct OwnCursor
    {
        bool set = false;
        QCursor cursor;
    };

    void show(PointerShape value);
    void refresh();
    QCursor shapeFor(PointerShape value) const;
    /// The window and its controls, each watched for pointer changes of its own.
    QList<QWidget *> coveredWidgets();
    void giveBack(QWidget *widget, const OwnCursor &own);

    QWidget *m_window;
    std::optional<QCursor> m_custom;
    /// Each control's own pointer, kept while a covering shape is shown.
    QHash<QWidget *, OwnCursor> m_own;
    QSet<const QObject *> m_watched;
    PointerShape m_shown = PointerShape::Default; ///< the shape the controls show now
    bool m_applying = false;
};
