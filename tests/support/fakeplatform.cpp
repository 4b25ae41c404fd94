#include "tests/support/fakeplatform.h"

#include "platform/qtplatform.h"

namespace {
QString settingsKey(const QString &application, const QString &section, const QString &key)
{
    return application + QLatin1Char('/') + section + QLatin1Char('/') + key;
}
// The next scripted answer, or `fallback` once the script has run out.
template<typename Answer>
Answer nextAnswer(std::deque<Answer> &script, Answer fallback)
{
    if (script.empty())
        return fallback;
    Answer answer = std::move(script.front());
    script.pop_front();
    return answer;
}

platform::QtFileServices &realFiles()
{
    static platform::QtFileServices files;
    return files;
}
} // namespace

QStringList FakeFileDialogs::getOpenFileNames(const platform::FileDialogOptions &options)
{
    asked << options;
    return nextAnswer(openAnswers, QStringList());
}

QString FakeFileDialogs::getSaveFileName(const platform::FileDialogOptions &options)
{
    asked << options;
    return nextAnswer(saveAnswers, QString());
}

platform::MessageAnswer FakeMessageBoxes::show(const platform::MessageRequest &request)
{
    shown << request;
    if (onShow)
        onShow(request);
    return nextAnswer(answers, request.defaultButton);
}

QString FakeSettingsStore::read(const QString &application, const QString &section, const QString &key,
                                const QString &defaultValue) const
{
    return values.value(settingsKey(application, section, key), defaultValue);
}

void FakeSettingsStore::write(const QString &application, const QString &section, const QString &key,
                              const QString &value)
{
    values.insert(settingsKey(application, section, key), value);
    ++writes;
}

QDateTime FakeFileServices::lastModified(const QString &path) const
{
    return (real ? *real : realFiles()).lastModified(path);
}

bool FakeFileServices::listsAsPlainFile(const QString &path) const
{
    return (real ? *real : realFiles()).listsAsPlainFile(path);
}

QByteArray FakeFileServices::readAll(const QString &path, qint64 sizeLimit) const
{
    return (real ? *real : realFiles()).readAll(path, sizeLimit);
}

void FakeFileServices::refuseIrregularFile(const QString &path, qint64 sizeLimit) const
{
    (real ? *real : realFiles()).refuseIrregularFile(path, sizeLimit);
}

platform::WriteOutcome FakeFileServices::writePiecesAtomically(const QString &path, platform::TextPieces pieces,
                                                               const platform::WriteProgress &progress)
{
    return (real ? *real : realFiles()).writePiecesAtomically(path, pieces, progress);
}

FakePlatform::FakePlatform() = default;

platform::Platform FakePlatform::platform()
{
    return platform::Platform{dialogs, messages, settings, files, shell, random, clock, programDirectory, progress};
}
