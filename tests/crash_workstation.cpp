// A clerk's workstation for the crash tests: the program started as it always is, through its
// own start-up in the program folder given, then Print pressed again and again, each mailer to
// another recipient, every job written as a PDF file into <program folder>/Printed.
//
//   crash_workstation <program folder> loop           print until killed
//   crash_workstation <program folder> once           print one mailer, then end
//   crash_workstation <program folder> die-at <step>  killed at that moment of taking the first number
//   crash_workstation <program folder> count <n>      print n mailers, then end
//   crash_workstation <program folder> persist <n>    print until n mailers are printed; a print
//                                                     refused with a message is written to standard
//                                                     error ("refused: ...") and Print pressed again
//   crash_workstation <program folder> massprint      mass print every address of the address database
//                                                     open at the start (Mass Print, Check All, OK), then end
//
// Every message the start shows, and every message a print shows other than the notice that the
// mailer went to the printer, is written to standard error; the program then ends with 4 (start)
// or 5 (print).
#include "addressbook/AddressBookPanel.h"
#include "addressbook/TF_MassPrint.h"
#include "app/Startup.h"
#include "app/TF_Main.h"
#include "printing/PrintRun.h"
#include "widgets/ButtonDialog.h"
#include "widgets/Services.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace {

QByteArray g_dieAt;

void stopAtStep(const char* step)
{
    if (g_dieAt == step)
        std::raise(SIGKILL);
}

bool reportMessages(const char* when)
{
    bool any = false;
    for (const auto& shown : MessageService::shown()) {
        if (shown.text.startsWith("Mailer has been sent to printer"))
            continue;
        std::fprintf(stderr, "%s: %s\n", when, qPrintable(shown.text));
        any = true;
    }
    MessageService::clearShown();
    static qsizetype buttonDialogs = 0;
    const auto asked = ButtonDialogService::shown();
    for (; buttonDialogs < asked.size(); ++buttonDialogs) {
        if (asked[buttonDialogs].message.startsWith("Mailer has been sent to printer"))
            continue;
        std::fprintf(stderr, "%s: %s\n", when, qPrintable(asked[buttonDialogs].message));
        any = true;
    }
    return any;
}

void compose(TF_Main& w, int i)
{
    w.memoToAddress->setPlainText(QString("Recipient %1\n4 Elm St").arg(i));
    w.editToCity->setText("Dover");
    w.editToState->setText("DE");
    w.editToZip->setText("19901-0001");
}

// Mass Print of the address list: every address checked, then OK. A run ends with its summary
// (an information); anything else said is written to standard error. True when all went well.
bool massPrint(TF_Main& w)
{
    QTimer picker;
    picker.setInterval(20);
    QObject::connect(&picker, &QTimer::timeout, [&picker] {
        auto dialog = qobject_cast<TF_MassPrint*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        picker.stop();
        if (!dialog->cbAll->isChecked())
            dialog->cbAll->click();
        dialog->btnOK->click();
    });
    picker.start();
    w.panelDB->tbtnMassPrintAddress->trigger();
    const auto shown = MessageService::shown();
    if (shown.size() == 1 && shown[0].kind == MessageKind::Information) {
        std::printf("%s\n", qPrintable(shown[0].text));
        MessageService::clearShown();
        return true;
    }
    reportMessages("massprint");
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(
            stderr,
            "usage: crash_workstation <program folder> loop|once|die-at <step>|count <n>|persist <n>|massprint\n");
        return 2;
    }
    const QByteArray home = argv[1];
    const QByteArray mode = argv[2];
    if (mode == "die-at" && argc > 3)
        g_dieAt = argv[3];
    const int wanted = (mode == "count" || mode == "persist") && argc > 3 ? std::atoi(argv[3]) : 1;
    qputenv("DOVRA_HOME", home);
    qputenv("DOVRA_PDF_DIR", home + "/Printed");
    qputenv("DOVRA_SPLASH_MS", "0");
    NumberStepProbe = stopAtStep;
    MessageService::setScripted(true);
    ButtonDialogService::setScripted(true);
    int programArgc = 1;
    char* programArgv[] = {argv[0], nullptr};
    return runDovra(programArgc, programArgv, [mode, wanted](TF_Main& w) {
        // The first showing runs its steps from the event loop: the clerk starts after them.
        QTimer::singleShot(0, &w, [&w, mode, wanted] {
            // A workstation that persists prints on after what the start said (a server away).
            if (reportMessages("start") && mode != "persist") {
                QCoreApplication::exit(4);
                return;
            }
            std::puts("printing");
            std::fflush(stdout);
            if (mode == "massprint") {
                const bool printed = massPrint(w);
                w.close();
                QCoreApplication::exit(printed ? 0 : 5);
                return;
            }
            auto print = w.findChild<QPushButton*>("btnPrint");
            int printed = 0;
            for (int i = 0;; ++i) {
                compose(w, i);
                QTest::mouseClick(print, Qt::LeftButton);
                if (reportMessages(mode == "persist" ? "refused" : "print")) {
                    if (mode != "persist") {
                        QCoreApplication::exit(5);
                        return;
                    }
                    QTest::qWait(50);
                    continue;
                }
                ++printed;
                if (mode == "loop")
                    continue;
                if ((mode != "count" && mode != "persist") || printed >= wanted)
                    break;
            }
            w.close();
            QCoreApplication::exit(0);
        });
    });
}
