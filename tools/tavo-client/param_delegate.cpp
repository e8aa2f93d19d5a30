#include "param_delegate.h"

#include "param_model.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QSpinBox>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

bool isFloating(const QVariant& value)
{
    return value.userType() == QMetaType::Double || value.userType() == QMetaType::Float;
}

bool isUnsigned(const QVariant& value)
{
    return value.userType() == QMetaType::UInt || value.userType() == QMetaType::ULong ||
        value.userType() == QMetaType::ULongLong;
}

constexpr int intMax = std::numeric_limits<int>::max();
constexpr int intMin = std::numeric_limits<int>::min();

} // namespace

ParamDelegate::ParamDelegate(QObject* parent)
    : QStyledItemDelegate(parent)
{
}

QWidget* ParamDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                     const QModelIndex& index) const
{
    const QStringList variants = index.data(ParamModel::VariantsRole).toStringList();
    if (!variants.isEmpty()) {
        auto* combo = new QComboBox(parent);
        combo->addItems(variants);
        combo->setFrame(false);
        return combo;
    }

    const QVariant step = index.data(ParamModel::StepRole);
    const QVariant minimum = index.data(ParamModel::MinimumRole);
    const QVariant maximum = index.data(ParamModel::MaximumRole);
    if (isFloating(step)) {
        auto* spin = new QDoubleSpinBox(parent);
        spin->setDecimals(3);
        spin->setRange(minimum.isValid() ? minimum.toDouble() : -1e9,
                       maximum.isValid() ? maximum.toDouble() : 1e9);
        spin->setSingleStep(step.toDouble());
        spin->setFrame(false);
        return spin;
    }
    if (step.isValid()) {
        // A spin box holds an int: an unsigned value that may go beyond it is
        // typed as text instead of being cut off.
        const bool fitsInt =
            !isUnsigned(step) || (maximum.isValid() && maximum.toULongLong() <= quint64(intMax));
        if (fitsInt) {
            auto* spin = new QSpinBox(parent);
            const qint64 low =
                minimum.isValid() ? minimum.toLongLong() : (isUnsigned(step) ? 0 : qint64(intMin));
            const qint64 high = maximum.isValid() ? maximum.toLongLong() : qint64(intMax);
            spin->setRange(int(qBound(qint64(intMin), low, qint64(intMax))),
                           int(qBound(qint64(intMin), high, qint64(intMax))));
            spin->setSingleStep(std::max(1, step.toInt()));
            spin->setFrame(false);
            return spin;
        }
    }
    return QStyledItemDelegate::createEditor(parent, option, index);
}

void ParamDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    const QString text = index.data(Qt::EditRole).toString();
    if (auto* combo = qobject_cast<QComboBox*>(editor)) {
        const int found = combo->findText(text);
        if (found >= 0)
            combo->setCurrentIndex(found);
        return;
    }
    if (auto* spin = qobject_cast<QDoubleSpinBox*>(editor)) {
        bool ok = false;
        const double value = text.toDouble(&ok);
        if (ok && std::isfinite(value))
            spin->setValue(value);
        return;
    }
    if (auto* spin = qobject_cast<QSpinBox*>(editor)) {
        bool ok = false;
        const qlonglong value = text.toLongLong(&ok);
        if (ok)
            spin->setValue(int(qBound(qlonglong(intMin), value, qlonglong(intMax))));
        return;
    }
    if (auto* line = qobject_cast<QLineEdit*>(editor)) {
        line->setText(text);
        return;
    }
    QStyledItemDelegate::setEditorData(editor, index);
}

void ParamDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                 const QModelIndex& index) const
{
    // The model parses text the way the kernel's forms do, so that every
    // editor goes through the same checks.
    QString text;
    if (auto* combo = qobject_cast<QComboBox*>(editor))
        text = combo->currentText();
    else if (auto* spin = qobject_cast<QDoubleSpinBox*>(editor))
        text = QString::number(spin->value(), 'g', 9);
    else if (auto* spin = qobject_cast<QSpinBox*>(editor))
        text = QString::number(spin->value());
    else if (auto* line = qobject_cast<QLineEdit*>(editor))
        text = line->text();
    else
        return QStyledItemDelegate::setModelData(editor, model, index);
    model->setData(index, text, Qt::EditRole);
}
