// "Create Report": a report definition made of log columns in order and an orientation,
// within the width of the page, stored in Reports and Report_Detail on OK.
#pragma once

#include "core/ReportColumns.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QGroupBox;

class TF_CreateReport : public QDialog {
    Q_OBJECT
public:
    explicit TF_CreateReport(const QString& logFolder, QWidget* parent = nullptr);

    QListWidget* lbAvailable = nullptr;
    QListWidget* lbFields = nullptr;
    QPushButton* btnAddField = nullptr;
    QPushButton* btnRemoveField = nullptr;
    QPushButton* btnFieldUp = nullptr;
    QPushButton* btnFieldDown = nullptr;
    QLabel* lblUsed = nullptr;
    QLabel* lblAvailable = nullptr;
    QLineEdit* editReportName = nullptr;
    QGroupBox* rgOrientation = nullptr;
    QRadioButton* rbPortrait = nullptr;
    QRadioButton* rbLandscape = nullptr;
    QPushButton* btnOK = nullptr;
    QPushButton* btnCancel = nullptr;

public slots:
    void btnAddFieldClick();
    void btnRemoveFieldClick();
    void btnFieldUpClick();
    void btnFieldDownClick();
    void rgOrientationClick();
    void btnOKClick();

private:
    void showSpace();
    void moveField(int by);

    QString logFolder_;
    ReportWidthBudget budget_;
};
