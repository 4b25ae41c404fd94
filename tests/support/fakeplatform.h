#pragma once

#include "platform/platform.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QUrl>

#include <deque>

/// Fakes of the platform seam: each records what it was asked and answers from a script.

class FakeFileDialogs final : public platform::FileDialogs
{
public:
    QStringList getOpenFileNames(const platform::FileDialogOptions &options) override;
    QString getSaveFileName(const platform::FileDialogOptions &options) override;

    std::deque<QStringList> openAnswers; ///< next answers; empty list = cancelled
    std::deque<QString> saveAnswers;     ///< next answers; empty = cancelled
    QList<platform::FileDialogOptions> asked;
};

class FakeMessageBoxes final : public platform::MessageBoxes
{
public:
    platform::MessageAnswer show(const platform::MessageRequest &request) override;

    std::deque<platform::MessageAnswer> answers; ///< next answers; default: the default button
    QList<platform::MessageRequest> shown;
    std::function<void(const platform::MessageRequest &)> onShow; ///< e.g. to look at the pointer
};

class FakeSettingsStore final : public platform::SettingsStore
{
public:
    QString read(const QString &application, const QString &section, const QString &key,
                 const QString &defaultValue) const override;
    void write(const QString &application, const QString &section, const QString &key,
               const QString &value) override;

    QHash<QString, QString> values; ///< "application/section/key" -> value
    int writes = 0;
};

/// Passes everything to the real file system, or to `real` when a test puts a failing one there.
class FakeFileServices final : public platform::FileServices
{
public:
    QDateTime lastModified(const QString &path) const override;
    bool listsAsPlainFile(const QString &path) const override;
    QByteArray readAll(const QString &path, qint64 sizeLimit) const override;
    void refuseIrregularFile(const QString &path, qint64 sizeLimit) const override;
    platform::WriteOutcome writePiecesAtomically(const QString &path, platform::TextPieces pieces,
                                                 const platform::WriteProgress &progress = {}) override;

    platform::FileServices *real = nullptr;
};

class FakeShell final : public platform::Shell
{
public:
    void openFolder(const QString &path) override { folders << path; }
    void openUrl(const QUrl &url) override { urls << url; }

    QStringList folders;
    QList<QUrl> urls;
};

class FakeRandomSource final : public platform::RandomSource
{
public:
    void seed(quint32 value) override { seeds << value; }
    double nextFraction() override { return fraction; }

    double fraction = 0.5;
    QList<quint32> seeds;
};

class FakeClock final : public platform::Clock
{
public:
    int secondsSinceMidnight() const override { return seconds; }
    int seconds = 0;
};

/// Never shows anything; stops a load when `stopAfter` more reports of progress have come in.
class FakeLoadProgress final : public platform::LoadProgress
{
public:
    void begin(const QString &fileName, qint64, Task task) override
    {
        begun << fileName;
        tasks << task;
    }
    bool advance(qint64) override { return stopAfter < 0 || stopAfter-- > 0; }
    void end() override { ++ended; }

    int stopAfter = -1; ///< -1: never
    QStringList begun;
    QList<Task> tasks;
    int ended = 0;
};

/// A whole fake platform; `programDirectory` defaults to a folder the test chooses.
struct FakePlatform
{
    FakePlatform();
    platform::Platform platform();

    FakeFileDialogs dialogs;
    FakeMessageBoxes messages;
    FakeSettingsStore settings;
    FakeFileServices files;
    FakeShell shell;
    FakeRandomSource random;
    FakeClock clock;
    FakeLoadProgress progress;
    QString programDirectory;
};
