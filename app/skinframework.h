#pragma once

#include <QObject>
#include <QString>

namespace platform { class FileServices; }
class QWidget;

/// The skin component: a skin file holds a Qt style sheet, which the component lays over a
/// window and all its controls.
class SkinFramework : public QObject
{
    Q_OBJECT
public:
    /// Option flag: the skin replaces any style sheet that the window already has, instead of
    /// being added after it.
    static constexpr quint32 kReplaceSheet = 0x1;
    /// The largest skin file, and the largest file its sheet may name, that is read: a style
    /// sheet is a few kilobytes, and a huge one would hold start-up for as long as Qt parses it.
    static constexpr qint64 kFileSizeLimit = 4 * 1024 * 1024;

    SkinFramework(const platform::FileServices &files, QObject *parent = nullptr);

    /// Loads the skin from `path`. A style sheet file holds one skin, so `skinName` must be empty.
    /// Throws platform::Failure when the file cannot be read, is empty, is not UTF-8 text, or names
    /// in `url(...)` a file that is no regular file or is too large (Qt would wait on a named pipe
    /// or read a device without end as it draws); the skin loaded before stays.
    void loadSkin(const QString &path, const QString &skinName);
    bool hasSkin() const { return !m_sheet.isEmpty(); }
    QString styleSheet() const { return m_sheet; }

    quint32 options() const { return m_options; }
    void setOptions(quint32 options) { m_options = options; }
    /// While off, applying does nothing.
    void setSkinEnabled(bool on) { m_enabled = on; }
    /// Polishes the window and its controls as the skin is applied, so that the first paint
    /// already wears it.
    void setPolishAtOnce(bool on) { m_polishAtOnce = on; }

    /// Lays the loaded skin over `window` and its controls; nothing happens without a skin.
    void applyWindow(QWidget *window) const;

private:
    const platform::FileServices &m_files;
    QString m_sheet;
    quint32 m_options = 0;
    bool m_enabled = false;
    bool m_polishAtOnce = false;
};
