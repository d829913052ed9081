#pragma once

#include <QStyledItemDelegate>

// Edits a roster date held as "yyyy-mm-dd" text with a date editor, so only real dates can be
// entered. Its sections are fixed at four, two and two digits: the birthday's mask 9999-99-99.
class DateDelegate final : public QStyledItemDelegate
{
    Q_OBJECT
public:
    explicit DateDelegate(QObject* parent = nullptr);

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;

    // The date of a stored text, invalid when it is not one.
    static QDate parse(const QString& text);
    // The width an editor needs in the view's font to show a whole date beside its calendar button.
    static int editorWidth(const QWidget* view);
};
