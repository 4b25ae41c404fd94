#include "app/commandline.h"

#include "app/startup.h"

#include <QCommandLineParser>
#include <QDir>

namespace {

const QString kProgram = QStringLiteral("brassfinch");
// "-" names standard input, as it does for other programs that read files; it is read as any
// pipe or file is, through the name this system gives it.
const QString kStandardInput = QStringLiteral("/dev/stdin");

#ifndef BRASSFINCH_VERSION
#error "BRASSFINCH_VERSION names the project's version"
#endif

} // namespace

CommandLine parseCommandLine(const QStringList &arguments, const QString &workingDirectory)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(kProductName
        + QStringLiteral(" shows two plain-text files side by side, scrolled together."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and exit."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Show the version and exit."));
    const QCommandLineOption compare(QStringLiteral("compare"),
                                     QStringLiteral("Start in compare mode: the differences marked, corresponding lines side by side."));
    const QCommandLineOption ignoreWhiteSpace({QStringLiteral("w"), QStringLiteral("ignore-white-space")},
                                              QStringLiteral("Compare lines ignoring changes in white space."));
    const QCommandLineOption ignoreCase({QStringLiteral("i"), QStringLiteral("ignore-case")},
                                        QStringLiteral("Compare lines ignoring case."));
    const QCommandLineOption ignoreMatching(QStringLiteral("ignore-matching"),
                                            QStringLiteral("Compare lines leaving out the text that matches REGEX."),
                                            QStringLiteral("REGEX"));
    parser.addOption(help);
    parser.addOption(version);
    parser.addOption(compare);
    parser.addOption(ignoreWhiteSpace);
    parser.addOption(ignoreCase);
    parser.addOption(ignoreMatching);
    parser.addPositionalArgument(QStringLiteral("LEFT"), QStringLiteral("The file for the left pane."),
                                 QStringLiteral("[LEFT"));
    parser.addPositionalArgument(QStringLiteral("RIGHT"), QStringLiteral("The file for the right pane."),
                                 QStringLiteral("[RIGHT]]"));

    CommandLine line;
    QString problem;
    if (!parser.parse(arguments))
        problem = parser.errorText();
    else if (parser.positionalArguments().size() > 2)
        problem = QStringLiteral("Too many files: give at most two, LEFT and RIGHT.");
    else if (QString why; parser.isSet(ignoreMatching) && !LineFilter::isValidPattern(parser.value(ignoreMatching), &why))
        problem = QStringLiteral("--ignore-matching: not a regular expression (%1).").arg(why);
    if (!problem.isEmpty()) {
        line.run = false;
        line.exitStatus = 1;
        line.error = kProgram + QStringLiteral(": ") + problem + QLatin1Char('\n')
                     + QStringLiteral("Usage: %1 [--help] [--version] [--compare] [LEFT [RIGHT]]\n").arg(kProgram);
        return line;
    }
    if (parser.isSet(help)) {
        line.run = false;
        // The parser names the program by its first argument, which may be a whole path.
        QString text = parser.helpText();
        text.replace(0, text.indexOf(QLatin1Char('\n')), QStringLiteral("Usage: %1 [options] [LEFT [RIGHT]]").arg(kProgram));
        line.output = text;
        return line;
    }
    if (parser.isSet(version)) {
        line.run = false;
        line.output = kProgram + QLatin1Char(' ') + QStringLiteral(BRASSFINCH_VERSION) + QLatin1Char('\n');
        return line;
    }
    line.compare = parser.isSet(compare);
    line.compareOptions.ignoreWhiteSpace = parser.isSet(ignoreWhiteSpace);
    line.compareOptions.ignoreCase = parser.isSet(ignoreCase);
    line.compareOptions.ignorePattern = parser.value(ignoreMatching);
    const QDir here(workingDirectory);
    for (const QString &name : parser.positionalArguments())
        line.files << (name == QLatin1String("-") ? kStandardInput : here.absoluteFilePath(name));
    return line;
}
