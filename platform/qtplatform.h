#pragma once

#include "platform/platform.h"
#include "platform/systemcalls.h"

#include <QElapsedTimer>
#include <QRandomGenerator>

#include <memory>

class QProgressDialog;

class QWidget;

namespace platform {

class QtFileDialogs final : public FileDialogs
{
public:
    QStringList getOpenFileNames(const FileDialogOptions &options) override;
    QString getSaveFileName(const FileDialogOptions &options) override;
};

class QtMessageBoxes final : public MessageBoxes
{
public:
    MessageAnswer show(const MessageRequest &request) override;
};

/// QSettings in the user's configuration folder: application name as both organisation and
/// file name, section as group.
class QtSettingsStore final : public SettingsStore
{
public:
    QString read(const QString &application, const QString &section, const QString &key,
                 const QString &defaultValue) const override;
    void write(const QString &application, const QString &section, const QString &key,
               const QString &value) override;
};

class QtFileServices final : public FileServices
{
public:
    QDateTime lastModified(const QString &path) const override;
    bool listsAsPlainFile(const QString &path) const override;
    QByteArray readAll(const QString &path, qint64 sizeLimit) const override;
    void refuseIrregularFile(const QString &path, qint64 sizeLimit) const override;
    WriteOutcome writePiecesAtomically(const QString &path, TextPieces pieces, const WriteProgress &progress = {}) override;

private:
    PosixSystemCalls m_calls;
};

class QtShell final : public Shell
{
public:
    void openFolder(const QString &path) override;
    void openUrl(const QUrl &url) override;
};

class QtRandomSource final : public RandomSource
{
public:
    void seed(quint32 value) override { m_generator.seed(value); }
    double nextFraction() override { return m_generator.generateDouble(); }

private:
    QRandomGenerator m_generator;
};

class QtClock final : public Clock
{
public:
    int secondsSinceMidnight() const override;
};

/// A progress dialog for a load that goes on for more than half a second: the file's name, a
/// bar and Cancel. Application-modal, so it alone takes input while it is up.
class QtLoadProgress final : public LoadProgress
{
public:
    QtLoadProgress();
    ~QtLoadProgress() override;
    void begin(const QString &fileName, qint64 total, Task task) override;
    bool advance(qint64 done) override;
    void end() override;

private:
    std::unique_ptr<QProgressDialog> m_dialog;
    QElapsedTimer m_started;
    QString m_fileName;
    Task m_task = Task::Loading;
    qint64 m_total = 0;
};

/// The real implementations, owned together for the life of the program.
class QtPlatform
{
public:
    QtPlatform();
    Platform platform();

private:
    QtFileDialogs m_dialogs;
    QtMessageBoxes m_messages;
    QtSettingsStore m_settings;
    QtFileServices m_files;
    QtShell m_shell;
    QtRandomSource m_random;
    QtClock m_clock;
    QtLoadProgress m_progress;
};

} // namespace platform
