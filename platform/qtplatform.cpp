#include "platform/qtplatform.h"

#include "platform/applicationtitle.h"
#include "platform/failure.h"
#include "platform/filename.h"
#include "platform/regularfile.h"
#include "platform/safefilewriter.h"
#include "platform/unwritable.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QProgressDialog>
#include <QSettings>
#include <QTime>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

QString nameFilter(const FileFilter &filter)
{
    // Qt reads the patterns from the label's last parentheses; "*.*" there would hide every file
    // without a dot on this platform, so such an entry matches everything.
    if (filter.pattern == QLatin1String("*.*") || filter.pattern == QLatin1String("*"))
        return filter.label.endsWith(QLatin1Char(')')) ? filter.label.left(filter.label.lastIndexOf(QLatin1Char('('))) + QStringLiteral("(*)")
                                                       : filter.label + QStringLiteral(" (*)");
    return filter.label.contains(QLatin1Char('(')) ? filter.label
                                                   : filter.label + QStringLiteral(" (") + filter.pattern + QLatin1Char(')');
}

QFileDialog *makeDialog(const FileDialogOptions &options)
{
    auto *dialog = new QFileDialog(QApplication::activeWindow(), options.title);
    QStringList filters;
    for (const FileFilter &filter : options.filters)
        filters << nameFilter(filter);
    dialog->setNameFilters(filters);
    if (!options.fileName.isEmpty())
        dialog->selectFile(options.fileName);
    return dialog;
}

} // namespace

QStringList QtFileDialogs::getOpenFileNames(const FileDialogOptions &options)
{
    std::unique_ptr<QFileDialog> dialog(makeDialog(options));
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(options.allowMultiple ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    return dialog->exec() == QDialog::Accepted ? dialog->selectedFiles() : QStringList();
}

QString QtFileDialogs::getSaveFileName(const FileDialogOptions &options)
{
    std::unique_ptr<QFileDialog> dialog(makeDialog(options));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setOption(QFileDialog::DontConfirmOverwrite); // the saver asks its own question
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
        return {};
    return dialog->selectedFiles().constFirst();
}

MessageAnswer QtMessageBoxes::show(const MessageRequest &request)
{
    QMessageBox box(QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText);
    box.setText(request.text);
    box.setWindowTitle(request.title.isEmpty() ? applicationTitle() : request.title);
    box.setIcon(request.icon == MessageIcon::Warning ? QMessageBox::Warning : QMessageBox::NoIcon);
    if (request.buttons == MessageButtons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(request.defaultButton == MessageAnswer::No ? QMessageBox::No : QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    switch (box.exec()) {
    case QMessageBox::Yes: return MessageAnswer::Yes;
    case QMessageBox::Ok: return MessageAnswer::Ok;
    default: return MessageAnswer::No;
    }
}

QString QtSettingsStore::read(const QString &application, const QString &section, const QString &key,
                              const QString &defaultValue) const
{
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, application, application);
    settings.beginGroup(section);
    return settings.value(key, defaultValue).toString();
}

void QtSettingsStore::write(const QString &application, const QString &section, const QString &key,
                            const QString &value)
{
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, application, application);
    settings.beginGroup(section);
    settings.setValue(key, value);
    settings.endGroup();
    settings.sync();
    // The switch's click shows no report of its own, so a choice that did not reach the disk is
    // told on standard error, where the desktop's journal keeps it.
    if (settings.status() != QSettings::NoError) {
        const QString why = settings.status() == QSettings::FormatError
                                ? QStringLiteral("The file holds no settings that can be read")
                                : whyUnwritable(settings.fileName());
        qWarning("The setting %s/%s was not stored in %s: %s", qUtf8Printable(section),
                 qUtf8Printable(key), qUtf8Printable(settings.fileName()), qUtf8Printable(why));
    }
}

QDateTime QtFileServices::lastModified(const QString &path) const
{
    if (path.isEmpty())
        throw Failure(QStringLiteral("Bad file name or number"));
    struct stat info {};
    if (::stat(encodeFileName(path).constData(), &info) != 0)
        throw Failure(QString::fromLocal8Bit(std::strerror(errno)));
    return QDateTime::fromSecsSinceEpoch(info.st_mtim.tv_sec);
}

bool QtFileServices::listsAsPlainFile(const QString &path) const
{
    const QFileInfo info(path);
    if (!info.exists())
        return false;
    return !info.dir().entryList({info.fileName()}, QDir::Files | QDir::NoDotAndDotDot).isEmpty();
}

QByteArray QtFileServices::readAll(const QString &path, qint64 sizeLimit) const
{
    return readRegularFile(path, sizeLimit);
}

void QtFileServices::refuseIrregularFile(const QString &path, qint64 sizeLimit) const
{
    platform::refuseIrregularFile(path, sizeLimit);
}

WriteOutcome QtFileServices::writePiecesAtomically(const QString &path, TextPieces pieces, const WriteProgress &progress)
{
    return SafeFileWriter(m_calls).write(encodeFileName(path), pieces, progress);
}

void QtShell::openFolder(const QString &path)
{
    QProcess::startDetached(QStringLiteral("xdg-open"), {path});
}

void QtShell::openUrl(const QUrl &url)
{
    QProcess::startDetached(QStringLiteral("xdg-open"), {url.toString()});
}

int QtClock::secondsSinceMidnight() const
{
    return QTime::currentTime().msecsSinceStartOfDay() / 1000;
}

QtPlatform::QtPlatform() = default;

Platform QtPlatform::platform()
{
    return Platform{m_dialogs, m_messages, m_settings, m_files, m_shell, m_random, m_clock,
                    QCoreApplication::applicationDirPath(), m_progress};
}

namespace {

constexpr qint64 kQuietMs = 500;  // a load quicker than this shows nothing
constexpr int kSteps = 1000;      // the bar counts in thousandths: a byte count may pass an int

} // namespace

QtLoadProgress::QtLoadProgress() = default;
QtLoadProgress::~QtLoadProgress() = default;

void QtLoadProgress::begin(const QString &fileName, qint64 total, Task task)
{
    m_dialog.reset();
    m_fileName = fileName;
    m_task = task;
    m_total = total;
    m_started.start();
}

bool QtLoadProgress::advance(qint64 done)
{
    if (!m_dialog) {
        if (m_started.elapsed() < kQuietMs)
            return true;
        const QString doing = m_task == Task::Saving ? QStringLiteral("Saving ") : QStringLiteral("Loading ");
        m_dialog = std::make_unique<QProgressDialog>(doing + m_fileName,
                                                     QStringLiteral("Cancel"), 0, kSteps,
                                                     QApplication::activeWindow());
        m_dialog->setWindowModality(Qt::ApplicationModal);
        m_dialog->setAutoReset(false);
        m_dialog->setAutoClose(false);
        m_dialog->setMinimumDuration(0);
        m_dialog->show();
    }
    if (m_total > 0)
        m_dialog->setValue(static_cast<int>(std::min<qint64>(kSteps, done * kSteps / m_total)));
    return !m_dialog->wasCanceled();
}

void QtLoadProgress::end()
{
    m_dialog.reset();
}

} // namespace platform
