#include "panes/panefiles.h"

#include "panes/fileexists.h"
#include "panes/textdecoding.h"
#include "platform/fileservices.h"
#include "platform/messageboxes.h"
#include "textpane/panecontrol.h"

using platform::MessageAnswer;
using platform::MessageButtons;
using platform::MessageIcon;

void LoadPane(PaneFiles io, PaneControl &pane, const QString &path)
{
    if (!FileExists(io.files, path)) {
        io.messages.show({QStringLiteral("File not found"), QString(), MessageIcon::None,
                          MessageButtons::Ok, MessageAnswer::Ok});
        return;
    }
    // The bytes go straight into the pane; only text that is not UTF-8 is converted afterwards,
    // from the pane's own copy, so a UTF-8 file is read once and never copied.
    pane.loadFile(path);
    if (std::optional<QByteArray> text = paneTextFromFile(pane.bytesView()))
        pane.setBytes(*text);
}

QString overwriteQuestion(const QString &path)
{
    return QStringLiteral("Are you sure you wish to overwrite ") + path + QStringLiteral(" ?");
}

bool SavePane(PaneFiles io, PaneControl &pane, const QString &path)
{
    MessageAnswer answer = MessageAnswer::Yes;
    if (FileExists(io.files, path))
        answer = io.messages.show({overwriteQuestion(path), QString(), MessageIcon::None,
                                   MessageButtons::YesNo, MessageAnswer::Yes});
    if (answer != MessageAnswer::Yes)
        return false;
    // The pane's own bytes, unconverted and without a line end of ours: what was loaded is what
    // is written.
    const QByteArrayView text = pane.bytesView();
    io.files.writeAtomically(path, QByteArray::fromRawData(text.data(), text.size()));
    return true;
}
