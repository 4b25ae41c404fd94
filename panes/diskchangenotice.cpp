#include "panes/diskchangenotice.h"

#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

namespace {

const QString kChanged = QStringLiteral("The file changed on disk.");
const QString kDeleted = QStringLiteral("The file was deleted from disk. Save writes it again.");
const QString kFailed = QStringLiteral("The file changed on disk and could not be read again: %1");

} // namespace

DiskChangeNotice::DiskChangeNotice(QWidget *pane)
    : QFrame(pane), m_pane(pane), m_text(new QLabel(this)), m_reload(new QPushButton(QStringLiteral("Reload"), this)),
      m_keep(new QPushButton(QStringLiteral("Keep"), this))
{
    setObjectName(QStringLiteral("DiskChangeNotice"));
    setFrameShape(QFrame::Box);
    setAutoFillBackground(true);
    QFont plain = font();
    plain.setBold(false);
    setFont(plain);
    m_text->setWordWrap(true);
    m_text->setTextFormat(Qt::PlainText);
    for (QPushButton *button : {m_reload, m_keep}) {
        button->setAutoDefault(false);
        button->setAccessibleName(button->text());
    }

    // The words above the buttons: a pane is narrow, and its text should stay in view below.
    auto *layout = new QGridLayout(this);
    layout->setContentsMargins(3, 2, 3, 2);
    layout->setSpacing(3);
    layout->addWidget(m_text, 0, 0, 1, 3);
    layout->setColumnStretch(0, 1);
    layout->addWidget(m_reload, 1, 1);
    layout->addWidget(m_keep, 1, 2);

    connect(m_reload, &QPushButton::clicked, this, [this] {
        hide();
        emit reloadAsked();
    });
    connect(m_keep, &QPushButton::clicked, this, [this] {
        hide();
        emit keepAsked();
    });
    pane->installEventFilter(this);
    hide();
}

void DiskChangeNotice::tell(Kind kind, const QString &reason)
{
    switch (kind) {
    case Kind::Changed:
        m_text->setText(kChanged);
        break;
    case Kind::Deleted:
        m_text->setText(kDeleted);
        break;
    case Kind::Failed:
        m_text->setText(kFailed.arg(reason));
        break;
    }
    // A file that is gone has nothing to read again; its coming back is seen on its own.
    m_reload->setVisible(kind != Kind::Deleted);
    setAccessibleName(m_text->text());
    show();
    place();
}

QString DiskChangeNotice::text() const
{
    return m_text->text();
}

bool DiskChangeNotice::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_pane && event->type() == QEvent::Resize && isVisible())
        place();
    return QFrame::eventFilter(watched, event);
}

void DiskChangeNotice::place()
{
    const int height = std::min(heightForWidth(m_pane->width()) > 0 ? heightForWidth(m_pane->width()) : sizeHint().height(),
                                m_pane->height());
    setGeometry(0, 0, m_pane->width(), height);
    raise();
}
