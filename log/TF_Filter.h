// "Filter": one line of a saved log filter, its field, operator and value.
#pragma once

#include "log/LogFilter.h"

#include <QDialog>

class QComboBox;
class QDateEdit;
class QLineEdit;
class QPushButton;
class QTimeEdit;

class TF_Filter : public QDialog {
    Q_OBJECT
public:
    // line: empty texts for a new line; otherwise the line to edit (its field stays).
    explicit TF_Filter(const logfilter::TFilterLineRec& line, QWidget* parent = nullptr);

    // Opens the dialog modally; on OK the line receives the code, operator and value.
    static bool edit(logfilter::TFilterLineRec& line, QWidget* parent = nullptr);

    logfilter::TFilterLineRec result() const { return result_; }

    QComboBox* cbFieldName = nullptr;
    QComboBox* cbOperator = nullptr;
    QLineEdit* editValue = nullptr;
    QDateEdit* pickerDate = nullptr;
    QTimeEdit* pickerTime = nullptr;
    QLineEdit* maskeditMailerNum = nullptr;
    QLineEdit* editCustID = nullptr;
    QLineEdit* editSerialNum = nullptr;
    QComboBox* cbTrueFalse = nullptr;
    QComboBox* cbResult = nullptr;
    QPushButton* btnOK = nullptr;
    QPushButton* btnCancel = nullptr;

public slots:
    void cbFieldNameChange();
    void btnOKClick();

private:
    bool refuse(const QString& message, QWidget* control);
    logfilter::TFilterLineRec result_;
};
