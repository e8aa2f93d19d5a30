#pragma once

#include <QStyledItemDelegate>

/**
 * Edits a parameter's value with the editor its class calls for: a list for
 * variants and aliases, a number field bounded by minimum, maximum and step,
 * text for text values. Reads the bounds from ParamModel's roles.
 */
class ParamDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    explicit ParamDelegate(QObject* parent = nullptr);

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;
};
