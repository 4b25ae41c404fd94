#pragma once

#include <QByteArray>
#include <QByteArrayView>

/// The plain text of a rich-text document, as UTF-8. Paragraph and line breaks become CR LF,
/// `\tab` a tab; `\'hh` is read in the document's code page (`\ansicpg`, Windows-1252 when it
/// names none we can decode) and `\uN` as UTF-16 with its `\ucN` fallback skipped. Groups that
/// hold no body text (tables of fonts, colours and styles, document information, pictures,
/// headers, footers and every `\*` destination) are left out.
///
/// Hostile input is safe: nesting depth costs no call stack, a truncated document yields the text
/// read so far, and numeric parameters are clamped.
QByteArray rtfToPlainText(QByteArrayView rtf);
