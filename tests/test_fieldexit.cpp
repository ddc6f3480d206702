// Field-exit handlers: they run when the user leaves a field, and never while the window
// that owns them is being torn down (a field that loses the focus in its window's base
// destructor must not call into the half-destroyed window).
#include "app/TF_PostageFees.h"
#include "core/Settings.h"
#include "log/TF_EditMailer.h"
#include "printing/TF_NumLabels.h"
#include "printing/TF_PrintBarCode.h"
#include "tests/support/TestSupport.h"
#include "widgets/FieldExit.h"
#include "widgets/TF_Address.h"

#include <QLineEdit>
#include <QtTest>
#include <functional>
#include <memory>

namespace {

// Counts the focus-outs a field receives, whoever owns it.
class FocusOutCounter : public QObject {
public:
    explicit FocusOutCounter(int& count) : count_(count) {}
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::FocusOut)
            ++count_;
        return false;
    }

private:
    int& count_;
};

// A window with two fields; leaving the first one notes the window's own state.
class ProbeWindow : public QWidget {
public:
    ProbeWindow(QStringList& exits) : exits_(exits)
    {
        first = new QLineEdit(this);
        second = new QLineEdit(this);
        second->move(0, 40);
        fieldExits_.add(first, [this] { exits_ << state_; });
    }
    QLineEdit* first;
    QLineEdit* second;

private:
    QStringList& exits_;
    QString state_ = "whole";
    FieldExits fieldExits_;
};

void focusAndWait(QWidget* window, QWidget* field)
{
    window->show();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    field->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(field->hasFocus());
}

} // namespace

class TestFieldExit : public QObject {
    Q_OBJECT
private slots:
    void leavingAFieldRunsItsHandler()
    {
        QStringList exits;
        ProbeWindow w(exits);
        focusAndWait(&w, w.first);
        w.second->setFocus(Qt::TabFocusReason);
        QCOMPARE(exits, QStringList{"whole"});
    }

    void destroyingTheWindowRunsNoHandler()
    {
        QStringList exits;
        int focusOuts = 0;
        FocusOutCounter counter(focusOuts);
        auto w = std::make_unique<ProbeWindow>(exits);
        focusAndWait(w.get(), w->first);
        w->first->installEventFilter(&counter);
        w.reset();
        // The field did lose the focus while its window was torn down ...
        QVERIFY(focusOuts > 0);
        // ... and the handler stayed out of it.
        QVERIFY(exits.isEmpty());
    }

    // Each program dialog with field-exit handlers, destroyed while one of its exit fields
    // has the focus (under the sanitizers this is where a member call on a destroyed window
    // was reported).
    void programDialogsTornDownWithFocusInAnExitField_data()
    {
        QTest::addColumn<std::function<QWidget*()>>("make");
        QTest::addColumn<QString>("field");
        static Settings settings = Settings::defaults(QDir::tempPath());
        QTest::newRow("TF_Address City") << std::function<QWidget*()>([] { return new TF_Address({}); }) << "editCity";
        QTest::newRow("TF_Address ZIP") << std::function<QWidget*()>([] { return new TF_Address({}); }) << "editZip";
        QTest::newRow("TF_PostageFees") << std::function<QWidget*()>([] { return new TF_PostageFees(settings); })
                                        << "editPostage";
        QTest::newRow("TF_EditMailer") << std::function<QWidget*()>([] {
            return new TF_EditMailer({"0.39", "2.40", "1.85", "3.50", false, "note", "None"}, "4.00");
        }) << "editPostage";
        QTest::newRow("TF_NumLabels") << std::function<QWidget*()>([] { return new TF_NumLabels; }) << "editNumLabels";
    }
    void programDialogsTornDownWithFocusInAnExitField()
    {
        QFETCH(std::function<QWidget*()>, make);
        QFETCH(QString, field);
        testsupport::TempProgramFolder home;
        std::unique_ptr<QWidget> dialog(make());
        auto edit = dialog->findChild<QWidget*>(field);
        QVERIFY(edit);
        focusAndWait(dialog.get(), edit);
        int focusOuts = 0;
        FocusOutCounter counter(focusOuts);
        edit->installEventFilter(&counter);
        dialog.reset();
        QVERIFY(focusOuts > 0);
    }
};

QTEST_MAIN(TestFieldExit)
#include "test_fieldexit.moc"
