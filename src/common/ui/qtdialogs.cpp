#include "qtdialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>

namespace {
QMessageBox::Icon toQt(Dialogs::Icon icon)
{
    switch (icon) {
    case Dialogs::Icon::Information:
        return QMessageBox::Information;
    case Dialogs::Icon::Warning:
        return QMessageBox::Warning;
    case Dialogs::Icon::Question:
        return QMessageBox::Question;
    case Dialogs::Icon::Critical:
        return QMessageBox::Critical;
    case Dialogs::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}
} // namespace

bool QtDialogs::message(Icon icon, const QString& caption, const QString& text, Buttons buttons)
{
    return detailedMessage(icon, caption, text, QString(), buttons);
}

bool QtDialogs::detailedMessage(Icon icon, const QString& caption, const QString& text, const QString& details,
                                Buttons buttons)
{
    QMessageBox box(toQt(icon), caption, text,
                    buttons == Buttons::YesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok,
                    QApplication::activeWindow());
    if (buttons == Buttons::YesNo) {
        box.setEscapeButton(QMessageBox::No);
    }
    if (!details.isEmpty()) {
        box.setDetailedText(details);
    }
    box.setWindowModality(Qt::ApplicationModal);
    const int answer = box.exec();
    return answer == QMessageBox::Yes || answer == QMessageBox::Ok;
}

QString QtDialogs::saveFileName(const QString& caption, const QString& proposedPath, const QString& filter,
                                const QString& defaultSuffix)
{
    QFileDialog dialog(QApplication::activeWindow(), caption, proposedPath, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(defaultSuffix);
    // Replacing an existing export is expected; the dialog must not ask.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().constFirst();
}

QString QtDialogs::openFileName(const QString& caption, const QString& folder, const QString& filter)
{
    return QFileDialog::getOpenFileName(QApplication::activeWindow(), caption, folder, filter);
}

QString QtDialogs::folderName(const QString& caption, const QString& folder)
{
    // Qt's own dialog lets the user make a new folder; a typed path that does not exist is confirmed
    // and created, as the station's users expect from the folder chooser.
    QFileDialog dialog(QApplication::activeWindow(), caption, folder);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    const QString chosen = dialog.selectedFiles().constFirst();
    if (!QDir(chosen).exists()) {
        const auto answer = QMessageBox::question(QApplication::activeWindow(), caption,
                                                  QStringLiteral("文件夹 %1 不存在，是否创建？").arg(chosen));
        if (answer != QMessageBox::Yes || !QDir().mkpath(chosen)) {
            return {};
        }
    }
    return chosen;
}
