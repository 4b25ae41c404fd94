#pragma once

#include <QByteArray>
#include <QByteArrayView>

/// The plain text of a rich-text document, as UTF-8. Paragraph and line breaks become CR LF,
/// `\tab` a tab; `\'hh` is read in the document's code page (`\ansicpg`, Windows-1252 when it
/// names none we can decode) and `\uN` as UTF-16 with its `\ucN` fallback skipped. Groups that
/// hold no body text (tables of fonts, colours and styles, document information, pictures,
/// headers, footers and every `\*` destination) are left out.
///
/// Hostile input is safe: nesting depth costs no call stack and at most `kRtfSavedStatesLimit`
/// saved states, a truncated document yields the text read so far, and numeric parameters are
/// clamped. `savedStatesPeak`, when given, receives the most saved states held at once.
QByteArray rtfToPlainText(QByteArrayView rtf, qsizetype *savedStatesPeak = nullptr);

/// Runs of nested groups that each change what they inherit are saved up to this many deep;
/// groups nested deeper share the innermost saved state.
constexpr qsizetype kRtfSavedStatesLimit = 4096;
