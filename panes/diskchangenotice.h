#pragma once

#include <QFrame>

class QLabel;
class QPushButton;

/// The one notice a pane shows when its file changed on disk and the pane did not follow: a
/// small bar over the top of the pane, which leaves the text and the rest of the window as they
/// are and asks nothing until the user chooses. However many changes follow, it stays one bar.
class DiskChangeNotice : public QFrame
{
    Q_OBJECT
public:
    enum class Kind {
        Changed, ///< the file on disk is not the pane's text any more: Reload or Keep
        Deleted, ///< the file is gone: the text stays, and Save writes it again
        Failed,  ///< the file changed and reading it again failed, for the reason given
    };

    /// Lies over `pane`, following its size; hidden until told of a change.
    explicit DiskChangeNotice(QWidget *pane);

    /// Shows the notice, or puts the latest news in the one already shown.
    void tell(Kind kind, const QString &reason = {});
    QString text() const;
    QPushButton *reloadButton() const { return m_reload; }
    QPushButton *keepButton() const { return m_keep; }

signals:
    /// The user asked for the file as it is on disk, in place of the pane's text.
    void reloadAsked();
    /// The user chose to keep the pane's text; the notice is gone.
    void keepAsked();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void place();

    QWidget *m_pane;
    QLabel *m_text;
    QPushButton *m_reload;
    QPushButton *m_keep;
};
