#include "tfselectmonth.h"

#include "birthdays/birthdaylist.h"
#include "common/clock.h"
#include "common/errorguard.h"
#include "common/helpers.h"
#include "common/services.h"
#include "data/tdm.h"
#include "ui_tfselectmonth.h"

#include <QGuiApplication>
#include <QScreen>
#include <QShowEvent>

Tfselectmonth::Tfselectmonth(TDM* dataModule, const QSpinBox* SpinEdit3, BirthdayList* birthdayList,
                             const Services& services, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint)
    , m_ui(new Ui::Tfselectmonth)
    , m_dialogs(services.dialogsOrConsole())
    , m_clock(services.clockOrSystem())
    , m_dataModule(dataModule)
    , m_SpinEdit3(SpinEdit3)
    , m_birthdayList(birthdayList)
{
    m_ui->setupUi(this);
    connect(m_ui->Button1, &QPushButton::clicked, this, [this] { guarded(m_dialogs, [this] { Button1Click(); }); });
}

Tfselectmonth::~Tfselectmonth() = default;

QString Tfselectmonth::monthText(int month)
{
    return padleft(QString::number(month), 2, QLatin1Char('0'));
}

void Tfselectmonth::showEvent(QShowEvent* event)
{
    if (!event->spontaneous()) {
        guarded(m_dialogs, [this] { FormShow(); });
        layout()->setSizeConstraint(QLayout::SetFixedSize);
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            move(screen->availableGeometry().center() - QPoint(sizeHint().width() / 2, sizeHint().height() / 2));
        }
    }
    QDialog::showEvent(event);
}

void Tfselectmonth::FormShow()
{
    m_ui->Sedit1->setValue(m_clock.currentDate().month());
}

void Tfselectmonth::Button1Click()
{
    const QString threshold = QString::number(m_SpinEdit3 ? m_SpinEdit3->value() : 0);
    // The query runs first: a failure leaves the grid as it was.
    const QList<QSqlRecord> result = m_dataModule->qry_month(monthText(m_ui->Sedit1->value()), threshold);
    m_birthdayList->FillBirthdayGrid(result);
}
