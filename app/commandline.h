#pragma once

#include "compare/linefilter.h"

#include <QString>
#include <QStringList>

/// What the command line asks for: `brassfinch [--help] [--version] [--compare] [--ignore-...]
/// [LEFT [RIGHT]]`.
struct CommandLine
{
    bool run = true;    ///< false: print `output` or `error` and end with `exitStatus`, no window
    int exitStatus = 0;
    QString output;     ///< for standard output (help, version)
    QString error;      ///< for standard error (a usage error)
    QStringList files;  ///< absolute paths: the first for the left pane, the second for the right
    bool compare = false; ///< start in compare mode
    CompareOptions compareOptions;
};

/// Reads the program's arguments (the program's name first). Relative file names are resolved
/// against `workingDirectory`; "-" is standard input. Needs no application object, so help and
/// errors come before any window system is reached.
CommandLine parseCommandLine(const QStringList &arguments, const QString &workingDirectory);
