#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>

#include <functional>

class QWidget;

/// Where something was dropped on the main window.
enum class DropTarget { Window, LeftPane, RightPane };

/// What a drop of files does. Nothing set: the drop held no files (text is the pane's own).
struct DropPlan
{
    QString refusal; ///< a message to show instead of opening anything
    QString left;    ///< the file to open into the left pane, if any
    QString right;   ///< the file to open into the right pane, if any
};

/// The file an address names on this computer, its name as the system's bytes; empty for any
/// other address (another host, another scheme).
QString localPath(const QUrl &url);

/// The rules of a drop: one file opens into the pane it was dropped on (the left one when dropped
/// beside the panes), two files open left and right in their order; more files, a folder or
/// anything that is not a file on this computer is refused and opens nothing.
DropPlan planDrop(const QList<QUrl> &urls, DropTarget target,
                  const std::function<bool(const QString &path)> &isFolder);

/// Takes drags of files over the widgets it watches and hands each drop on, after the drop has
/// finished, so that whatever it opens or asks does not keep the dragging program waiting.
/// Drags of anything else (text) pass to the widget itself.
class FileDrops : public QObject
{
    Q_OBJECT
public:
    using Handler = std::function<void(const QList<QUrl> &urls, DropTarget target)>;
    /// Drags are taken only while `accepting` says so (not while an action runs).
    FileDrops(Handler dropped, std::function<bool()> accepting, QObject *parent);

    void watch(QWidget *widget, DropTarget target);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    Handler m_dropped;
    std::function<bool()> m_accepting;
    QHash<QObject *, DropTarget> m_targets;
};
