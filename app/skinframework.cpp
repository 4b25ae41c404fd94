#include "skinframework.h"

#include "failure.h"
#include "fileservices.h"
#include "stylesheetfiles.h"

#include <QStringDecoder>
#include <QWidget>

SkinFramework::SkinFramework(const platform::FileServices &files, QObject *parent)
    : QObject(parent), m_files(files)
{
}

void SkinFramework::loadSkin(const QString &path, const QString &skinName)
{
    if (!skinName.isEmpty())
        throw platform::Failure(tr("The skin file holds no skin named \"%1\".").arg(skinName));
    const QByteArray bytes = m_files.readAll(path, kFileSizeLimit);
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString sheet = decoder.decode(bytes);
    // A NUL or a broken byte sequence means this is no text a style sheet could be made of.
    if (decoder.hasError() || sheet.contains(QChar(0)))
        throw platform::Failure(tr("The skin file is not UTF-8 text."));
    if (sheet.trimmed().isEmpty())
        throw platform::Failure(tr("The skin file is empty."));
    for (const QString &named : styleSheetFiles(sheet)) {
        try {
            m_files.refuseIrregularFile(named, kFileSizeLimit);
        } catch (const platform::Failure &failure) {
            throw platform::Failure(tr("The skin names %1: %2").arg(named, failure.message()));
        }
    }
    m_sheet = sheet;
}

void SkinFramework::applyWindow(QWidget *window) const
{
    if (!m_enabled || !hasSkin())
        return;
    if (m_options & kReplaceSheet || window->styleSheet().isEmpty())
        window->setStyleSheet(m_sheet);
    else
        window->setStyleSheet(window->styleSheet() + QLatin1Char('\n') + m_sheet);
    if (m_polishAtOnce)
        window->ensurePolished();
}
