#include "step_dialog.h"

#include <QColor>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int OutcomeRole = Qt::UserRole + 1;

QString outcomeText(Step::Outcome outcome)
{
    switch (outcome) {
    case Step::Done:
        return StepDialog::tr("done");
    case Step::Failed:
        return StepDialog::tr("failed");
    case Step::Skipped:
        return StepDialog::tr("skipped");
    }
    return QString();
}

QColor outcomeColour(Step::Outcome outcome)
{
    switch (outcome) {
    case Step::Done:
        return QColor(0x2e, 0x9e, 0x44);
    case Step::Failed:
        return QColor(0xd0, 0x30, 0x30);
    case Step::Skipped:
        break;
    }
    return QColor(Qt::gray);
}

} // namespace

StepDialog::StepDialog(const QString& heading, QWidget* parent)
    : QDialog(parent)
    , m_summary(new QLabel)
    , m_progress(new QProgressBar)
    , m_steps(new QTreeWidget)
    , m_buttons(new QDialogButtonBox(QDialogButtonBox::Cancel))
{
    setObjectName(QStringLiteral("stepDialog"));
    setWindowTitle(heading);
    resize(640, 400);
    // Texts of the steps come from files and hosts: never mark-up.
    auto* title = new QLabel(heading);
    title->setTextFormat(Qt::PlainText);
    title->setWordWrap(true);
    m_summary->setTextFormat(Qt::PlainText);
    m_summary->setWordWrap(true);
    m_progress->setRange(0, 0);
    m_steps->setObjectName(QStringLiteral("steps"));
    m_steps->setColumnCount(2);
    m_steps->setHeaderLabels({tr("Outcome"), tr("Step")});
    m_steps->setRootIsDecorated(false);
    m_steps->setUniformRowHeights(true);
    m_steps->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(title);
    layout->addWidget(m_progress);
    layout->addWidget(m_steps, 1);
    layout->addWidget(m_summary);
    layout->addWidget(m_buttons);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &StepDialog::reject);
}

StepDialog::~StepDialog() = default;

StepDialog* StepDialog::showNew(const QString& heading, QWidget* parent)
{
    auto* dialog = new StepDialog(heading, parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
    return dialog;
}

void StepDialog::addStep(const Step& step)
{
    auto* item = new QTreeWidgetItem(m_steps, {outcomeText(step.outcome), step.text});
    item->setData(0, OutcomeRole, int(step.outcome));
    item->setData(0, Qt::DecorationRole, outcomeColour(step.outcome));
    item->setToolTip(1, step.text);
    m_steps->scrollToItem(item);
}

void StepDialog::addSteps(const QVector<Step>& steps)
{
    for (const Step& step : steps)
        addStep(step);
}

void StepDialog::setProgress(int done, int total)
{
    m_progress->setRange(0, total);
    m_progress->setValue(done);
    m_progress->setVisible(done < total);
}

void StepDialog::finish()
{
    if (m_finished)
        return;
    m_finished = true;
    int counts[3] = {0, 0, 0};
    for (int i = 0; i < m_steps->topLevelItemCount(); ++i)
        ++counts[m_steps->topLevelItem(i)->data(0, OutcomeRole).toInt()];
    m_summary->setText(tr("Done: %1, failed: %2, skipped: %3.")
                           .arg(counts[Step::Done])
                           .arg(counts[Step::Failed])
                           .arg(counts[Step::Skipped]));
    m_progress->hide();
    m_buttons->setStandardButtons(QDialogButtonBox::Close);
    m_buttons->button(QDialogButtonBox::Close)->setDefault(true);
}

QVector<Step> StepDialog::steps() const
{
    QVector<Step> steps;
    steps.reserve(m_steps->topLevelItemCount());
    for (int i = 0; i < m_steps->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = m_steps->topLevelItem(i);
        steps.append({item->text(1), Step::Outcome(item->data(0, OutcomeRole).toInt())});
    }
    return steps;
}

void StepDialog::reject()
{
    // Closing a running operation's window stops the operation; the window
    // stays to tell where it stopped.
    if (!m_finished) {
        Q_EMIT cancelRequested();
        return;
    }
    QDialog::reject();
}
