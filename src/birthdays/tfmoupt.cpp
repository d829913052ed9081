#include "tfmoupt.h"

#include "common/dialogs.h"
#include "common/errorguard.h"
#include "common/helpers.h"
#include "exportview.h"
#include "ui_tfmoupt.h"

#include <QAbstractItemView>

Tfmoupt::Tfmoupt(Dialogs& dialogs, QWidget* parent)
    : QDialog(parent)
    , m_ui(new Ui::Tfmoupt)
    , m_dialogs(dialogs)
{
    m_ui->setupUi(this);
    QFont font(QStringLiteral("宋体"));
    font.setPixelSize(13);
    setFont(font);
    // A fixed border: the window keeps the size of its contents.
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_ui->btnOUt, &QPushButton::clicked, this, [this] {
        guarded(m_dialogs, [this] { btnOUtClick(); });
        accept();
    });
    connect(m_ui->btncancel, &QPushButton::clicked, this, &QDialog::reject);
}

Tfmoupt::~Tfmoupt() = default;

void Tfmoupt::setExportGrid(QAbstractItemView* grid)
{
    ExportGrid = grid;
}

void Tfmoupt::exportGrid(QAbstractItemView* grid, Dialogs& dialogs, QWidget* parent)
{
    Tfmoupt window(dialogs, parent);
    window.setExportGrid(grid);
    window.exec();
}

Tfmoupt::Choice Tfmoupt::choiceFor(ExportFormat format)
{
    // The patterns are matched on a file system that tells cases apart, so both spellings are listed.
    switch (format) {
    case ExportFormat::Xls:
        return { format, QStringLiteral("XLS"), QStringLiteral("*.XLS (*.XLS *.xls)"), QStringLiteral("导出数据.xls") };
    case ExportFormat::Txt:
        return { format, QStringLiteral("txt"), QStringLiteral("*.TXT (*.TXT *.txt)"), QStringLiteral("导出数据.txt") };
    case ExportFormat::Csv:
        return { format, QStringLiteral("csv"), QStringLiteral("*.csv (*.csv *.CSV)"), QStringLiteral("导出数据.csv") };
    case ExportFormat::Html:
        return { format, QStringLiteral("html"), QStringLiteral("*.html (*.html *.HTML)"),
                 QStringLiteral("导出数据.html") };
    case ExportFormat::Rtf:
        return { format, QStringLiteral("rtf"), QStringLiteral("*.rtf (*.rtf *.RTF)"), QStringLiteral("导出数据.rtf") };
    case ExportFormat::Xlsx:
        return { format, QStringLiteral("xlsx"), QStringLiteral("*.xlsx (*.xlsx *.XLSX)"),
                 QStringLiteral("导出数据.xlsx") };
    case ExportFormat::CsvUtf8:
        return { format, QStringLiteral("csv"), QStringLiteral("*.csv (*.csv *.CSV)"), QStringLiteral("导出数据.csv") };
    }
    return {};
}

void Tfmoupt::btnOUtClick()
{
    const struct
    {
        QRadioButton* option;
        ExportFormat format;
    } options[] = {
        { m_ui->R1, ExportFormat::Xls },     { m_ui->R2, ExportFormat::Txt }, { m_ui->R3, ExportFormat::Csv },
        { m_ui->R4, ExportFormat::Html },    { m_ui->R5, ExportFormat::Rtf }, { m_ui->R6, ExportFormat::Xlsx },
        { m_ui->R7, ExportFormat::CsvUtf8 },
    };
    for (const auto& entry : options) {
        if (!entry.option->isChecked()) {
            continue;
        }
        const Choice choice = choiceFor(entry.format);
        const QString file = m_dialogs.saveFileName(QStringLiteral("另存为"), documentsdir() + choice.proposedName,
                                                    choice.filter, choice.suffix);
        if (file.isEmpty()) {
            return;
        }
        ExportTable table;
        if (ExportGrid) {
            table = exportTableOf(*ExportGrid);
        }
        const ExportAlterations altered = ExportWriters::write(file, choice.format, table);
        if (!altered.isEmpty()) {
            // Not the success box: the file does not hold everything as it is.
            m_dialogs.message(Dialogs::Icon::Warning, QStringLiteral("注意"),
                              ExportWriters::alterationNotice(file, table, altered), Dialogs::Buttons::Ok);
            return;
        }
        m_dialogs.message(Dialogs::Icon::None, QStringLiteral("恭喜"),
                          QStringLiteral("成功输出数据到") + file + QStringLiteral("!"), Dialogs::Buttons::Ok);
        return;
    }
}
