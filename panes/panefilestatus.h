#pragma once

#include <QObject>
#include <QString>

class PaneControl;

/// Which file a pane shows, and whether its text was changed since that file was loaded or
/// saved. It lives beside its pane (as the pane's child) and follows the text engine's save point.
class PaneFileStatus : public QObject
{
    Q_OBJECT
public:
    explicit PaneFileStatus(PaneControl &pane);

    /// The status that travels with `pane`, if it has one.
    static PaneFileStatus *of(PaneControl &pane);

    /// The pane now shows the file at `path`, as loaded (the open's carriage return included).
    void loaded(const QString &path);
    /// The pane's text was written to `path`.
    void saved(const QString &path);
    /// The pane shows no file.
    void cleared();
    /// The text came back from another view; `edited` tells whether it was changed before or
    /// while it was away, since the engine's own save point does not survive the copy.
    void copiedBack(bool edited);

    /// What became of the file on disk since the text came from it or went to it.
    enum class OnDisk { Same, Changed, Deleted };
    /// Someone changed (or removed) the file on disk; the text stays as it is.
    void setOnDisk(OnDisk state);
    OnDisk onDisk() const { return m_onDisk; }

    bool isEdited() const { return m_carriedEdit || m_engineEdited; }
    QString path() const { return m_path; }
    /// One line for a tooltip or a screen reader: the path, whether the text was changed, and
    /// whether the file was changed on disk.
    QString description() const;

signals:
    void changed(const QString &description);
    /// The text is now the file's at path() as it is on disk (loaded, or saved there), or the
    /// pane shows no file.
    void settled();

private:
    enum class Origin { None, Loaded, Saved };

    void settle(Origin origin, const QString &path);
    void setEngineEdited(bool edited);
    QString textDescription() const;

    PaneControl &m_pane;
    Origin m_origin = Origin::None;
    QString m_path;
    bool m_engineEdited = false;
    bool m_carriedEdit = false;
    OnDisk m_onDisk = OnDisk::Same;
};
