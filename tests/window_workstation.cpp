// The program started as a clerk starts it, through its own start-up in the program folder
// given, to place its windows and to say where they came back.
//
//   window_workstation <program folder> place <main> <log>   put the windows there, then end
//   window_workstation <program folder> report               leave them where they start, then end
//
// A place is "x,y,width,height" or "maximized" (the window's normal place is then left as it
// starts). Both print two lines, each the window, its normal place as x,y,width,height and
// "maximized" or "normal"; the main window's line ends with the address list's and the group
// tree's sizes as width x height.
#include "addressbook/AddressBookPanel.h"
#include "app/Startup.h"
#include "app/TF_Main.h"
#include "log/TF_Log.h"
#include "widgets/ButtonDialog.h"
#include "widgets/Services.h"

#include <QAction>
#include <QApplication>
#include <QListView>
#include <QTimer>
#include <QTreeWidget>
#include <cstdio>

namespace {

QString placeText(const QWidget* w)
{
    const QRect r = w->normalGeometry();
    return QString("%1,%2,%3,%4 %5")
        .arg(r.x())
        .arg(r.y())
        .arg(r.width())
        .arg(r.height())
        .arg(w->isMaximized() ? "maximized" : "normal");
}

QString sizeText(const QWidget* w)
{
    return QString("%1x%2").arg(w->width()).arg(w->height());
}

void place(QWidget* w, const QString& where)
{
    if (where == "maximized") {
        w->showMaximized();
        return;
    }
    const QStringList n = where.split(',');
    if (n.size() == 4)
        w->setGeometry(n[0].toInt(), n[1].toInt(), n[2].toInt(), n[3].toInt());
}

// Runs the step on the log window while Options -> Log File holds it open, then closes it.
void withLogWindow(TF_Main& w, const std::function<void(TF_Log*)>& step)
{
    QTimer::singleShot(0, &w, [step] {
        auto log = qobject_cast<TF_Log*>(QApplication::activeModalWidget());
        if (!log) {
            std::fprintf(stderr, "the log window did not open\n");
            QCoreApplication::exit(3);
            return;
        }
        step(log);
        QApplication::processEvents();
        log->reject();
    });
    w.miLogFile->trigger();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: window_workstation <program folder> place <main> <log> | report\n");
        return 2;
    }
    qputenv("DOVRA_HOME", argv[1]);
    qputenv("DOVRA_SPLASH_MS", "0");
    const QString mode = argv[2];
    const QString mainPlace = argc > 3 ? argv[3] : QString();
    const QString logPlace = argc > 4 ? argv[4] : QString();
    MessageService::setScripted(true);
    ButtonDialogService::setScripted(true);
    int programArgc = 1;
    char* programArgv[] = {argv[0], nullptr};
    return runDovra(programArgc, programArgv, [=](TF_Main& w) {
        // The first showing runs its steps from the event loop: the clerk starts after them.
        QTimer::singleShot(0, &w, [&w, mode, mainPlace, logPlace] {
            for (const auto& shown : MessageService::shown())
                std::fprintf(stderr, "start: %s\n", qPrintable(shown.text));
            if (mode == "place")
                place(&w, mainPlace);
            QApplication::processEvents();
            std::printf("main %s %s %s\n", qPrintable(placeText(&w)), qPrintable(sizeText(w.panelDB->lvAddress)),
                        qPrintable(sizeText(w.panelDB->tvGroups)));
            withLogWindow(w, [mode, logPlace](TF_Log* log) {
                if (mode == "place")
                    place(log, logPlace);
                QApplication::processEvents();
                std::printf("log %s\n", qPrintable(placeText(log)));
            });
            std::fflush(stdout);
            w.close();
            QCoreApplication::exit(0);
        });
    });
}
