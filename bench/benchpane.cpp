#include "bench/benchpane.h"

#include "panes/panefiles.h"
#include "platform/failure.h"
#include "platform/qtplatform.h"

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

} // namespace benchpane
