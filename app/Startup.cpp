#include "app/Startup.h"
#include "app/TF_About.h"
#include "app/TF_Main.h"
#include "core/TextEncoding.h"
#include "core/datamodule/TdmDovraPro.h"
#include "printing/PrintRun.h"
#include "widgets/ErrorBoundary.h"

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
    // The arguments as given: UTF-8 when they are UTF-8, else the Windows code page, never
    // with a replacement character (Qt has taken its own options out of argv).
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << decodeText(QByteArrayView(argv[i]));
    TF_Main mainWindow(arguments, splash);
    mainWindow.show();
    if (started)
        started(mainWindow);
    return app.exec();
}
