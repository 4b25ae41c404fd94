#include "bench/benchpane.h"

#include "panes/panefiles.h"
#include "platform/failure.h"
#include "platform/qtplatform.h"

#include <QAccessible>
#include <QCoreApplication>
#include <QHBoxLayout>

#include <cstdio>
#include <cstdlib>

namespace benchpane {

platform::MessageAnswer NoBoxes::show(const platform::MessageRequest &request)
{
    std::fprintf(stderr, "unexpected message box: %s\n", qPrintable(request.text));
    std::exit(1);
}

void open(PaneControl &pane, const QString &path)
{
    static platform::QtFileServices files;
    static NoBoxes messages;
    try {
        LoadPane({files, messages}, pane, path);
    } catch (const platform::Failure &failure) {
        std::fprintf(stderr, "cannot load %s: %s\n", qPrintable(path), failure.what());
        std::exit(1);
    }
    pane.appendBytes(QByteArrayLiteral("\r"));
}

void setBytes(PaneControl &pane, const QByteArray &bytes)
{
    pane.setBytes(bytes);
}

qint64 byteCount(const PaneControl &pane)
{
    return pane.byteCount();
}

SidePanes::SidePanes(const std::function<void(PaneControl &)> &fill)
{
    window.resize(900, 700);
    auto *layout = new QHBoxLayout(&window);
    left = new PaneControl(&window);
    right = new PaneControl(&window);
    for (PaneControl *pane : {left, right}) {
        layout->addWidget(pane);
        fill(*pane);
        pane->select(pane->byteCount(), pane->byteCount());
        pane->ensureCaretVisible();
    }
    window.show();
    QCoreApplication::processEvents();
    QAccessible::queryAccessibleInterface(left);
    QAccessible::queryAccessibleInterface(right);
}

} // namespace benchpane
