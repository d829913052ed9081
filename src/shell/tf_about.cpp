#include "tf_about.h"

#include "common/systeminfo.h"
#include "ui_tf_about.h"

#include <QLocale>

Tf_about::Tf_about(QWidget* parent)
    : QDialog(parent)
    , m_ui(new Ui::Tf_about)
{
    m_ui->setupUi(this);
    connect(m_ui->ButtonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    const MemoryStatus memory = memoryStatus();
    m_ui->Label_memory->setText(formatKilobytes(memory.totalKb));
    m_ui->Label_load->setText(QStringLiteral("%1 %").arg(memory.loadPercent));
}

Tf_about::~Tf_about() = default;

QString Tf_about::formatKilobytes(qint64 kilobytes)
{
    return QLocale(QLocale::English).toString(kilobytes) + QStringLiteral(" KB");
}
