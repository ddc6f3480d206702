#include "app/Startup.h"
#include "app/ErrorBoundary.h"
#include "app/datamodule/TdmDovraPro.h"
#include "entry/TF_About.h"
#include "entry/TF_Main.h"
#include "printing/PrintRun.h"

#include <memory>

int runDovra(int argc, char** argv, const std::function<void(TF_Main&)>& started)
{
    KeepMemoryForPrintJobs();
    DovraApplication app(argc, argv);
    QApplication::setApplicationVersion(QStringLiteral(DOVRA_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("dovra"));
    auto splash = new TF_About(TF_About::Mode::Splash);
    splash->show();
    splash->repaint();
    QApplication::processEvents();
    QApplication::setApplicationDisplayName(QStringLiteral("Dovra Pro 4.0"));
    QApplication::setApplicationName(QStringLiteral("Dovra Pro 4.0"));
    qApp->setProperty("helpFile", QString());

    TdmDovraPro dataModule;
    QStringList arguments = QApplication::arguments().mid(1);
    TF_Main mainWindow(arguments, splash);
    mainWindow.show();
    if (started)
        started(mainWindow);
    return app.exec();
}
