#pragma once

#include <QDialog>
#include <QScopedPointer>

class Clock;
class Dialogs;
struct Services;

class BirthdayList;
class QSpinBox;
class TDM;

namespace Ui {
class Tfselectmonth;
}

// The month view "查看月份生日": lists the birthdays of a chosen month in the main window's
// birthday grid; it stays open so that several months can be looked at in turn.
class Tfselectmonth final : public QDialog
{
    Q_OBJECT
public:
    // SpinEdit3 is the main window's joining-days threshold.
    Tfselectmonth(TDM* dataModule, const QSpinBox* SpinEdit3, BirthdayList* birthdayList, const Services& services,
                  QWidget* parent = nullptr);
    ~Tfselectmonth() override;

    Ui::Tfselectmonth* form() const { return m_ui.data(); }

    void FormShow();
    void Button1Click();

    // "01" .. "12" for the month number.
    static QString monthText(int month);

protected:
    void showEvent(QShowEvent* event) override;

private:
    const QScopedPointer<Ui::Tfselectmonth> m_ui;
    Dialogs& m_dialogs;
    const Clock& m_clock;
    TDM* m_dataModule = nullptr;
    const QSpinBox* m_SpinEdit3 = nullptr;
    BirthdayList* m_birthdayList = nullptr;
};
