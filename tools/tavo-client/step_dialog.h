#pragma once

#include "step.h"

#include <QDialog>
#include <QVector>

class QDialogButtonBox;
class QLabel;
class QProgressBar;
class QTreeWidget;

/**
 * The outcome of an operation, one row per step, shown as the steps come:
 * while the operation runs it has a progress bar and a Cancel button, then
 * a summary and Close.
 */
class StepDialog : public QDialog
{
    Q_OBJECT

public:
    explicit StepDialog(const QString& heading, QWidget* parent = nullptr);
    ~StepDialog() override;
    /// A dialog shown at once, without waiting, that goes when closed.
    static StepDialog* showNew(const QString& heading, QWidget* parent);

    void addStep(const Step& step);
    void addSteps(const QVector<Step>& steps);
    /// Shows the bar while @p done is below @p total.
    void setProgress(int done, int total);
    /// The operation is over: the counts of its outcomes show, Cancel
    /// becomes Close.
    void finish();
    bool isFinished() const { return m_finished; }

    /// The steps shown so far.
    QVector<Step> steps() const;

public Q_SLOTS:
    void reject() override;

Q_SIGNALS:
    void cancelRequested();

private:
    QLabel* m_summary;
    QProgressBar* m_progress;
    QTreeWidget* m_steps;
    QDialogButtonBox* m_buttons;
    bool m_finished = false;
};
