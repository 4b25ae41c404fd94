// An installed program is started through bin/brassfinch, a link to lib/brassfinch/brassfinch. Its
// samples sit beside the real executable, so the program's directory must be that folder whatever
// path it was started by. A copy of this test, laid out as an install, reports what the platform gives.

#include "qtplatform.h"

#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

const char kReportVariable[] = "BRASSFINCH_REPORT_PROGRAM_DIRECTORY";

} // namespace

class ProgramDirectoryTest : public QObject
{
    Q_OBJECT

private slots:
    void programDirectoryIsTheRealExecutablesFolder_data();
    void programDirectoryIsTheRealExecutablesFolder();
};

void ProgramDirectoryTest::programDirectoryIsTheRealExecutablesFolder_data()
{
    // Started from the scratch prefix, so a relative link resolved against the working folder
    // instead of the link's own folder points nowhere.
    QTest::addColumn<QString>("started"); // relative to the scratch prefix
    QTest::newRow("the executable itself") << "lib/brassfinch/brassfinch";
    QTest::newRow("through the relative bin link") << "bin/brassfinch";
    QTest::newRow("through an absolute link to the bin link") << "desktop/brassfinch";
}

void ProgramDirectoryTest::programDirectoryIsTheRealExecutablesFolder()
{
    QFETCH(QString, started);
    QTemporaryDir prefix;
    QVERIFY(prefix.isValid());
    for (const char *folder : {"bin", "lib/brassfinch", "desktop"})
        QVERIFY(QDir(prefix.path()).mkpath(QString::fromLatin1(folder)));
    const QString bin = prefix.filePath(QStringLiteral("bin/brassfinch"));
    const QString program = prefix.filePath(QStringLiteral("lib/brassfinch/brassfinch"));
    QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), program));
    QVERIFY(QFile::link(QStringLiteral("../lib/brassfinch/brassfinch"), bin));
    QVERIFY(QFile::link(bin, prefix.filePath(QStringLiteral("desktop/brassfinch"))));

    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(kReportVariable), QStringLiteral("1"));
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(prefix.path());
    // Started by the path as typed, not a resolved one, as a shell or a menu would.
    process.start(prefix.filePath(started), {});
    QVERIFY2(process.waitForFinished(30000), qPrintable(process.errorString()));
    QCOMPARE(process.exitCode(), 0);
    const QString reported = QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    QCOMPARE(QDir(reported).canonicalPath(), QDir(prefix.filePath(QStringLiteral("lib/brassfinch"))).canonicalPath());
}

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    if (qEnvironmentVariableIsSet(kReportVariable)) {
        platform::QtPlatform qtPlatform;
        QTextStream(stdout) << qtPlatform.platform().programDirectory << '\n';
        return 0;
    }
    ProgramDirectoryTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_programdirectory.moc"
