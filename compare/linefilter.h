#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QRegularExpression>
#include <QString>

/// What a comparison may overlook when it tells whether two lines are equal. It never changes
/// the texts, only which of their lines count as equal.
struct CompareOptions
{
    /// A run of spaces and tabs counts as one space, and white space at the end of a line as none.
    bool ignoreWhiteSpace = false;
    bool ignoreCase = false;
    /// Text matching this regular expression (for example a time stamp) is left out of each line
    /// before it is compared; none when empty.
    QString ignorePattern;

    bool operator==(const CompareOptions &) const = default;
};

/// Gives each line the key a comparison uses for it: the line itself, or what is left of it once
/// the options have had their way. Lines are equal when their keys are.
class LineFilter
{
public:
    LineFilter() = default;
    /// An invalid pattern is ignored; isValidPattern() tells.
    explicit LineFilter(const CompareOptions &options);

    /// Whether keys differ from lines at all.
    bool isActive() const { return m_whiteSpace || m_case || m_hasPattern; }
    /// The key of `line`: the line itself when nothing is ignored, else built in `scratch`.
    QByteArrayView key(QByteArrayView line, QByteArray &scratch) const;

    /// Whether `pattern` can be used, and if not, why not.
    static bool isValidPattern(const QString &pattern, QString *problem = nullptr);

private:
    bool m_whiteSpace = false;
    bool m_case = false;
    bool m_hasPattern = false;
    QRegularExpression m_pattern;
};
