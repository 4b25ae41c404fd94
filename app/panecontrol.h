#pragma once

#include <Qsci/qsciscintilla.h>

#include <QByteArray>
#include <QByteArrayView>
#include <QPoint>

/// A text pane: holds its text as bytes (UTF-8 where the file was UTF-8) and gives them back
/// unchanged. No wrapping, scroll bars as needed, scroll position in pixels.
class PaneControl : public QsciScintilla
{
    Q_OBJECT
public:
    explicit PaneControl(QWidget *parent = nullptr);

    /// The whole content, byte for byte.
    QByteArray Text() const;
    /// The whole content without a copy; valid until the text next changes.
    QByteArrayView textView() const;
    /// Replaces the whole content; the view returns to the start.
    void SetText(const QByteArray &text);
    /// Adds bytes at the end without touching the rest of the document or the view.
    void AppendText(const QByteArray &text);
    /// Replaces the whole content with the file's bytes, read in chunks straight into the document.
    /// Throws platform::Failure when the file cannot be read; the pane is then left empty.
    void LoadFile(const QString &path);
    qint64 length() const;

    /// The document point at the top-left corner of the view: x offset, first line x line height.
    QPoint scrollPosition() const;
    /// Scrolls so the given point is at the top-left corner; y is rounded down to a whole line.
    void setScrollPosition(QPoint position);
    int lineHeight() const;

signals:
    void focusReceived();
    void pointerMoved();

protected:
    void focusInEvent(QFocusEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    bool focusNextPrevChild(bool next) override;

private:
    void beginDocument(qint64 capacity);
    void appendRaw(const char *data, qint64 size);
    void endDocument();
    void followLineEnds();
};
