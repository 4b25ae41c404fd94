#include "benchpane.h"

#include "failure.h"
#include "modrtb.h"
#include "qtplatform.h"

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
    pane.AppendText(QByteArrayLiteral("\r"));
}

void setText(PaneControl &pane, const QByteArray &text)
{
    pane.SetText(text);
}

qint64 byteCount(const PaneControl &pane)
{
    return pane.length();
}

} // namespace benchpane
