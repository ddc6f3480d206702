// cmake --install into a temporary prefix: the program with every file it reads beside it,
// its launcher and desktop entry; the installed program starts from there, and the report
// project file it lists its reports from is the one installed beside it.
#include "log/ReportProject.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class TestInstall : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(prefix_.isValid());
        QProcess install;
        install.setProcessChannelMode(QProcess::MergedChannels);
        install.start(DOVRA_CMAKE_COMMAND, {"--install", DOVRA_BUILD_DIR, "--prefix", prefix_.path()});
        QVERIFY(install.waitForFinished(120000));
        QVERIFY2(install.exitStatus() == QProcess::NormalExit && install.exitCode() == 0,
                 install.readAll().constData());
    }

    // Each data file the build puts beside the programs is installed beside the program.
    void everyFileBesideTheProgram()
    {
        const QString lib = prefix_.path() + "/lib/dovra";
        QVERIFY(QFileInfo(lib + "/dovra").isExecutable());
        QVERIFY(QFileInfo(prefix_.path() + "/bin/dovra").isExecutable());
        QStringList dataFiles;
        for (const QFileInfo& file : QDir(DOVRA_TEST_BIN_DIR).entryInfoList(QDir::Files))
            if (!file.isExecutable())
                dataFiles << file.fileName();
        QVERIFY(dataFiles.contains("ZIPCODES.adt"));
        QVERIFY(dataFiles.contains("Dovra3pro.rav"));
        for (const QString& name : dataFiles)
            QVERIFY2(QFileInfo::exists(lib + "/" + name), qPrintable(name + " is not installed"));
    }

    // The installed launcher starts the installed program on a program folder of its own;
    // it makes its tables there and keeps running.
    void installedProgramStarts()
    {
        testsupport::TempProgramFolder home;
        testsupport::prepareReadyProgramFolder(home.path());
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DOVRA_HOME", home.path());
        env.insert("DOVRA_SPLASH_MS", "0");
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("DOVRA_PDF_DIR", home.path() + "/Printed");
        program.setProcessEnvironment(env);
        program.start(prefix_.path() + "/bin/dovra", {});
        QVERIFY(program.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(
            QFileInfo::exists(home.path() + "/Log/Log37.adt") || program.state() == QProcess::NotRunning, 30000);
        QTest::qWait(200);
        QCOMPARE(program.state(), QProcess::Running);
        program.terminate();
        QVERIFY(program.waitForFinished(10000));
        // The reports the Reports window lists come from the file beside the program.
        const ReportProject project = ReportProject::load(prefix_.path() + "/lib/dovra/Dovra3pro.rav");
        QVERIFY2(project.error.isEmpty(), qPrintable(project.error));
        QVERIFY(!project.reports.isEmpty());
        QCOMPARE(project.reports.size(),
                 ReportProject::load(DOVRA_TEST_SOURCE_DIR "/data/Dovra3pro.rav").reports.size());
    }

private:
    QTemporaryDir prefix_;
};

QTEST_MAIN(TestInstall)
#include "test_install.moc"
