// The shared library's dynamic symbol table and dependencies: the program
// links it by the two plain names only, and it must load without Qt.
#include <QtTest>

class TestExports : public QObject {
    Q_OBJECT
private slots:
    void exportsTwoPlainNamesNeedsNoQt();
};

static QStringList lines(const QString &tool, const QStringList &args)
{
    QProcess p;
    p.start(tool, args);
    if (!p.waitForFinished(20000) || p.exitCode() != 0)
        return {QStringLiteral("%1 failed: %2").arg(tool, QString(p.readAllStandardError()))};
    return QString(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
}

void TestExports::exportsTwoPlainNamesNeedsNoQt()
{
    QStringList names;
    for (const QString &line : lines("nm", {"-D", "--defined-only", GLYPHSCAN_LIBRARY}))
        names << line.section(' ', -1);
    names.sort();
    QCOMPARE(names, (QStringList{"mr_interface", "qr_decode"}));
    const QString needed = lines("readelf", {"-d", GLYPHSCAN_LIBRARY}).filter("NEEDED").join('\n');
    QVERIFY2(needed.contains("libzbar") && !needed.contains("Qt", Qt::CaseInsensitive),
             qPrintable(needed));
}

QTEST_GUILESS_MAIN(TestExports)
#include "tst_exports.moc"
