#pragma once

#include <QHeaderView>
#include <QList>

class QLineEdit;

// A horizontal header with a row of filter fields under the column titles, one per column; each
// field follows its column's width and the horizontal scrolling.
class FilterHeader final : public QHeaderView
{
    Q_OBJECT
public:
    explicit FilterHeader(QWidget* parent = nullptr);

    // Creates one field per column of the model; a column listed in `without` gets a disabled one.
    void setFilterFields(int columns, const QList<int>& without = {});
    QLineEdit* filterField(int column) const;

    QSize sizeHint() const override;

signals:
    void filterChanged(int column, const QString& text);

protected:
    void updateGeometries() override;
    bool viewportEvent(QEvent* event) override;

private:
    int titleHeight() const;
    void placeFields();

    QList<QLineEdit*> m_fields;
};
