// "Group Action Summary": the outcome, address by address, of adding several addresses to a
// group or deleting them from it.
#pragma once

#include <QDialog>
#include <QIcon>

class QLabel;
class QPushButton;
class QStatusBar;
class QTreeWidget;

class TF_GroupSummary : public QDialog {
    Q_OBJECT
public:
    explicit TF_GroupSummary(QWidget* parent = nullptr);

    // Appends a row for one address and renews the counts, the status bar and the label.
    void AddSummaryLine(bool success, const QString& address, const QString& text);

    int successes() const { return successes_; }
    int errors() const { return errors_; }

    QLabel* LabelActionSummary = nullptr;
    QTreeWidget* lvSummary = nullptr;
    QPushButton* ButtonOK = nullptr;
    QStatusBar* StatusBar = nullptr;

public slots:
    void ButtonOKClick();

private:
    int successes_ = 0;
    int errors_ = 0;
    QIcon images_[2]; // 0 an error row, 1 a success row
};
