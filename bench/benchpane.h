#pragma once

// Every call the benchmarks make on a pane goes through here, so a change to the pane's
// interface costs a few lines in one place.

#include "platform/messageboxes.h"
#include "textpane/panecontrol.h"

#include <QByteArray>
#include <QString>
#include <QWidget>

#include <functional>

namespace benchpane {

/// Stands in for the message boxes: a benchmark has no one to answer one, so any box ends it.
class NoBoxes final : public platform::MessageBoxes
{
public:
    platform::MessageAnswer show(const platform::MessageRequest &request) override;
};

/// What the open action does to a pane: the pane loader, then the carriage return every open
/// appends. A file that cannot be loaded ends the benchmark with a message.
void open(PaneControl &pane, const QString &path);

/// Replaces the whole content.
void setBytes(PaneControl &pane, const QByteArray &bytes);

/// The number of bytes the pane holds.
qint64 byteCount(const PaneControl &pane);

/// Two panes side by side in a shown window, each filled by `fill` with its caret at the end,
/// and their accessible interfaces made, so every update is reported as a screen reader sees it.
struct SidePanes
{
    explicit SidePanes(const std::function<void(PaneControl &)> &fill);

    QWidget window;
    PaneControl *left = nullptr;
    PaneControl *right = nullptr;
};

} // namespace benchpane
