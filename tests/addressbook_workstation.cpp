// A second clerk's workstation for the address-book tests: the program started as a clerk
// starts it, through its own start-up in the program folder given, with the address database
// its settings name open; then, as the clerk would with the mouse, a new address, a new group
// and the address made a member of it.
//
//   addressbook_workstation <program folder> add <address> <group>
//
// Every message shown is written to standard error; the program then ends with 4 (start) or
// 5 (the clerk's steps); 0 when all went through.
#include "addressbook/AddressBookPanel.h"
#include "addressbook/AddressListModel.h"
#include "app/Startup.h"
#include "app/TF_Main.h"
#include "tests/support/TestSupport.h"
#include "widgets/ButtonDialog.h"
#include "widgets/Services.h"
#include "widgets/TF_Address.h"
#include "widgets/TF_SingleEdit.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTimer>
#include <QtTest>
#include <cstdio>

namespace {

bool reportMessages(const char* when)
{
    bool any = false;
    for (const auto& shown : MessageService::shown()) {
        std::fprintf(stderr, "%s: %s\n", when, qPrintable(shown.text));
        any = true;
    }
    MessageService::clearShown();
    return any;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 5 || QByteArray(argv[2]) != "add") {
        std::fprintf(stderr, "usage: addressbook_workstation <program folder> add <address> <group>\n");
        return 2;
    }
    qputenv("DOVRA_HOME", argv[1]);
    qputenv("DOVRA_SPLASH_MS", "0");
    const QString address = QString::fromLocal8Bit(argv[3]);
    const QString group = QString::fromLocal8Bit(argv[4]);
    MessageService::setScripted(true);
    ButtonDialogService::setScripted(true);
    int programArgc = 1;
    char* programArgv[] = {argv[0], nullptr};
    return runDovra(programArgc, programArgv, [address, group](TF_Main& w) {
        // The first showing runs its steps (the database opened again) from the event loop.
        QTimer::singleShot(0, &w, [&w, address, group] {
            if (reportMessages("start") || !w.settings.databaseOn) {
                std::fprintf(stderr, "start: the address database is not open\n");
                QCoreApplication::exit(4);
                return;
            }
            TAddressBookPanel* panel = w.panelDB;
            testsupport::ModalDriver driver;
            driver.on("TF_Address", [address](QWidget* d) {
                auto form = static_cast<TF_Address*>(d);
                form->memoAddress->setPlainText(address);
                form->editCity->setText("Erie");
                form->editState->setText("PA");
                form->editZip->setText("16501");
                testsupport::clickButton(form, "btnOK");
            });
            driver.on("TF_SingleEdit", [group](QWidget* d) {
                auto edit = static_cast<TF_SingleEdit*>(d);
                edit->TheEdit->setText(group);
                testsupport::clickButton(edit, "btnOK");
            });
            panel->tbtnNewAddress->trigger();
            panel->tbtnNewGroup->trigger();
            // The new address is the list's last; chosen alone, it joins the group through
            // the list's popup menu.
            const int row = panel->addressModel()->rowCount() - 1;
            const QRect place = panel->lvAddress->visualRect(panel->addressModel()->index(row));
            QTest::mouseClick(panel->lvAddress->viewport(), Qt::LeftButton, {}, place.center());
            QAction* join = nullptr;
            for (QAction* a : panel->miAddToGroup->actions())
                if (a->text() == group)
                    join = a;
            if (!join) {
                std::fprintf(stderr, "steps: the group %s is not in the menu\n", qPrintable(group));
                QCoreApplication::exit(5);
                return;
            }
            join->trigger();
            // Joining one address tells its outcome in a message.
            bool failed = false;
            for (const auto& shown : MessageService::shown())
                if (!shown.text.startsWith("Address added to Group"))
                    failed = true;
            if (failed) {
                reportMessages("steps");
                QCoreApplication::exit(5);
                return;
            }
            w.close();
            QCoreApplication::exit(0);
        });
    });
}
