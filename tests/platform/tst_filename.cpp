#include "platform/filename.h"
#include "platform/regularfile.h"

#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <unistd.h>

class TestFileName : public QObject
{
    Q_OBJECT
private slots:
    void namesComeBackAsTheSystemsBytes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("ascii") << QByteArray("/home/u/notes.txt");
        QTest::newRow("utf-8") << QByteArray("/d/caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x90\xa6");
        QTest::newRow("latin-1") << QByteArray("/d/caf\xe9");
        QTest::newRow("a lone byte") << QByteArray("/d/\xff.txt");
        QTest::newRow("a cut sequence") << QByteArray("/d/\xe2\x82.txt");
        QTest::newRow("a surrogate's bytes") << QByteArray("/d/\xed\xb3\xa9");
        QTest::newRow("overlong") << QByteArray("/d/\xc0\xaf");
        QTest::newRow("escape after a character outside the bmp") << QByteArray("\xf0\x9f\x90\xa6\xdc");
    }
    void namesComeBackAsTheSystemsBytes()
    {
        QFETCH(QByteArray, bytes);
        const QString name = platform::decodeFileName(bytes);
        QCOMPARE(platform::encodeFileName(name).toHex(' '), bytes.toHex(' '));
        if (QString::fromUtf8(bytes).toUtf8() == bytes)
            QCOMPARE(name, QString::fromUtf8(bytes)); // valid names read as they always did
    }

    void aFileWhoseNameIsNotUtf8CanBeRead()
    {
        QTemporaryDir dir;
        const QByteArray path = QFile::encodeName(dir.path()) + "/caf\xe9.txt";
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL, 0600);
        QVERIFY(fd >= 0);
        QCOMPARE(::write(fd, "latin", 5), 5);
        ::close(fd);
        QCOMPARE(platform::readRegularFile(platform::decodeFileName(path), 100), QByteArray("latin"));
    }
};

QTEST_GUILESS_MAIN(TestFileName)
#include "tst_filename.moc"
