#pragma once

#include <QDialog>
#include <QScopedPointer>

namespace Ui {
class Tf_about;
}

// The about window: version, what the station does, and the machine's memory at creation.
class Tf_about final : public QDialog
{
    Q_OBJECT
public:
    explicit Tf_about(QWidget* parent = nullptr);
    ~Tf_about() override;

    Ui::Tf_about* form() const { return m_ui.data(); }

    // "2,097,152 KB" for 2097152 kilobytes.
    static QString formatKilobytes(qint64 kilobytes);

private:
    const QScopedPointer<Ui::Tf_about> m_ui;
};
