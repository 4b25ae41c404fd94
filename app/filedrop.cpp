#include "app/filedrop.h"

#include "platform/filename.h"

#include <QDropEvent>
#include <QMimeData>
#include <QSysInfo>
#include <QTimer>
#include <QWidget>

QString localPath(const QUrl &url)
{
    if (url.scheme() != QLatin1String("file"))
        return {};
    // A file manager may name this computer in the address; any other host is someone else's.
    const QString host = url.host();
    if (!host.isEmpty() && host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) != 0
        && host.compare(QSysInfo::machineHostName(), Qt::CaseInsensitive) != 0)
        return {};
    // The address's bytes are the file name's bytes, which need not be UTF-8.
    return platform::decodeFileName(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()));
}

DropPlan planDrop(const QList<QUrl> &urls, DropTarget target,
                  const std::function<bool(const QString &path)> &isFolder)
{
    DropPlan plan;
    if (urls.isEmpty())
        return plan;
    QStringList paths;
    for (const QUrl &url : urls) {
        const QString path = localPath(url);
        if (path.isEmpty()) {
            plan.refusal = QStringLiteral("Only files on this computer can be opened, and this is "
                                          "not one:\n") + url.toDisplayString();
            return plan;
        }
        if (isFolder(path)) {
            plan.refusal = QStringLiteral("A folder cannot be opened into a pane:\n") + path
                           + QStringLiteral("\nDrop a file from it instead.");
            return plan;
        }
        paths << path;
    }
    if (paths.size() > 2) {
        plan.refusal = QStringLiteral("%1 files were dropped. Drop one file onto a pane, or two "
                                      "files to open them side by side.").arg(paths.size());
    } else if (paths.size() == 2) {
        plan.left = paths[0];
        plan.right = paths[1];
    } else if (target == DropTarget::RightPane) {
        plan.right = paths[0];
    } else {
        plan.left = paths[0];
    }
    return plan;
}

FileDrops::FileDrops(Handler dropped, std::function<bool()> accepting, QObject *parent)
    : QObject(parent), m_dropped(std::move(dropped)), m_accepting(std::move(accepting))
{
}

void FileDrops::watch(QWidget *widget, DropTarget target)
{
    widget->setAcceptDrops(true);
    widget->installEventFilter(this);
    m_targets.insert(widget, target);
}

bool FileDrops::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
        return QObject::eventFilter(watched, event);
    auto *drop = static_cast<QDropEvent *>(event);
    if (!drop->mimeData() || !drop->mimeData()->hasUrls())
        return false;
    if (!m_accepting()) {
        drop->ignore();
        return true;
    }
    drop->acceptProposedAction();
    if (type == QEvent::Drop) {
        const QList<QUrl> urls = drop->mimeData()->urls();
        const DropTarget target = m_targets.value(watched, DropTarget::Window);
        QTimer::singleShot(0, this, [this, urls, target] { m_dropped(urls, target); });
    }
    return true;
}
