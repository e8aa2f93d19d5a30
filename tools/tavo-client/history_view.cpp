#include "history_view.h"

#include "alarm_acknowledgements.h"
#include "history_model.h"

#include "foundation/app_shared.h"
#include "foundation/safe_text.h"
#include "hostgraph/host_graph.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

constexpr int AnyHost = -1;

} // namespace

HistoryView::HistoryView(HistoryStore* store, HostGraph* hosts,
                         AlarmAcknowledgements* acknowledgements, QWidget* parent)
    : QWidget(parent)
    , m_model(new HistoryModel(store, this))
    , m_hosts(hosts)
    , m_acknowledgements(acknowledgements)
{
    setObjectName(QStringLiteral("HistoryView"));
    m_host = new QComboBox;
    m_host->setObjectName(QStringLiteral("historyHost"));
    m_device = new QLineEdit;
    m_device->setPlaceholderText(tr("Device"));
    m_param = new QLineEdit;
    m_param->setPlaceholderText(tr("Parameter"));
    m_state = new QComboBox;
    m_state->addItem(tr("Any state"), HistoryFilter::AnyState);
    for (int state = -1; state < 8; ++state)
        m_state->addItem(share::alarmStateToStr(Tavo::AlarmType(state)), state);
    m_useFrom = new QCheckBox(tr("From"));
    m_from = new QDateTimeEdit(QDateTime::currentDateTime().addDays(-1));
    m_from->setCalendarPopup(true);
    m_useTo = new QCheckBox(tr("To"));
    m_to = new QDateTimeEdit(QDateTime::currentDateTime());
    m_to->setCalendarPopup(true);
    auto* apply = new QPushButton(tr("&Apply"));
    apply->setDefault(true);

    auto* filters = new QHBoxLayout;
    filters->addWidget(m_host, 2);
    filters->addWidget(m_device, 2);
    filters->addWidget(m_param, 2);
    filters->addWidget(m_state, 1);
    filters->addWidget(m_useFrom);
    filters->addWidget(m_from, 2);
    filters->addWidget(m_useTo);
    filters->addWidget(m_to, 2);
    filters->addWidget(apply);

    m_view = new QTableView;
    m_view->setObjectName(QStringLiteral("historyTable"));
    m_view->setModel(m_model);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->verticalHeader()->hide();
    m_view->horizontalHeader()->setStretchLastSection(true);
    m_view->horizontalHeader()->setSectionResizeMode(HistoryModel::TimeColumn,
                                                     QHeaderView::ResizeToContents);
    m_view->setAlternatingRowColors(true);

    m_previous = new QAction(QIcon::fromTheme(QStringLiteral("go-previous")), tr("&Newer"), this);
    m_previous->setShortcut(QKeySequence::MoveToPreviousPage);
    m_previous->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    m_next = new QAction(QIcon::fromTheme(QStringLiteral("go-next")), tr("&Older"), this);
    m_next->setShortcut(QKeySequence::MoveToNextPage);
    m_next->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    m_acknowledge =
        new QAction(QIcon::fromTheme(QStringLiteral("dialog-ok")), tr("Ac&knowledge..."), this);
    m_acknowledge->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addActions({m_previous, m_next, m_acknowledge});
    auto button = [](QAction* action) {
        auto* b = new QToolButton;
        b->setDefaultAction(action);
        b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        return b;
    };
    m_pageLabel = new QLabel;
    auto* pager = new QHBoxLayout;
    pager->addWidget(button(m_acknowledge));
    pager->addStretch();
    pager->addWidget(button(m_previous));
    pager->addWidget(m_pageLabel);
    pager->addWidget(button(m_next));

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(m_view);
    layout->addLayout(pager);

    connect(apply, &QPushButton::clicked, this, &HistoryView::applyFilter);
    for (QLineEdit* edit : {m_device, m_param})
        connect(edit, &QLineEdit::returnPressed, this, &HistoryView::applyFilter);
    connect(m_previous, &QAction::triggered, m_model, &HistoryModel::previousPage);
    connect(m_next, &QAction::triggered, m_model, &HistoryModel::nextPage);
    connect(m_model, &HistoryModel::pageChanged, this, &HistoryView::updatePager);
    connect(m_view->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &HistoryView::updateActions);
    connect(m_model, &QAbstractItemModel::modelReset, this, &HistoryView::updateActions);
    if (m_acknowledgements)
        connect(m_acknowledgements, &AlarmAcknowledgements::changed, this,
                &HistoryView::updateActions);
    connect(m_acknowledge, &QAction::triggered, this, [this] {
        const QModelIndex current = m_view->currentIndex();
        if (!current.isValid())
            return;
        acknowledgeInteractively(this, m_acknowledgements,
                                 current.data(HistoryModel::HostKeyRole).toInt(),
                                 current.data(HistoryModel::DeviceNameRole).toString(),
                                 current.data(HistoryModel::ParamNameRole).toString());
    });
    fillHosts();
    updatePager();
    updateActions();
}

HistoryView::~HistoryView() = default;

void HistoryView::fillHosts()
{
    const int current = m_host->currentData().isValid() ? m_host->currentData().toInt() : AnyHost;
    m_host->clear();
    m_host->addItem(tr("Any host"), AnyHost);
    if (m_hosts) {
        for (const NodeAttr* node : qAsConst(m_hosts->hostList)) {
            if (node)
                m_host->addItem(utils::escapeControlCharacters(node->alias()), node->key());
        }
    }
    m_host->setCurrentIndex(qMax(0, m_host->findData(current)));
}

void HistoryView::showParam(int hostKey, const QString& device, const QString& param)
{
    fillHosts();
    m_host->setCurrentIndex(qMax(0, m_host->findData(hostKey)));
    m_device->setText(device);
    m_param->setText(param);
    applyFilter();
}

void HistoryView::applyFilter()
{
    HistoryFilter filter;
    filter.hostKey = m_host->currentData().toInt();
    filter.device = m_device->text().trimmed();
    filter.param = m_param->text().trimmed();
    filter.state = m_state->currentData().toInt();
    filter.fromMs = m_useFrom->isChecked() ? m_from->dateTime().toMSecsSinceEpoch() : -1;
    filter.toMs = m_useTo->isChecked() ? m_to->dateTime().toMSecsSinceEpoch() : -1;
    m_model->setFilter(filter);
}

void HistoryView::updatePager()
{
    m_previous->setEnabled(m_model->page() > 0);
    m_next->setEnabled(m_model->hasNextPage());
    m_pageLabel->setText(tr("Page %1").arg(m_model->page() + 1));
}

void HistoryView::updateActions()
{
    const QModelIndex current = m_view->currentIndex();
    const ActiveAlarm* alarm = current.isValid() && m_acknowledgements
        ? m_acknowledgements->find(current.data(HistoryModel::HostKeyRole).toInt(),
                                   current.data(HistoryModel::DeviceNameRole).toString(),
                                   current.data(HistoryModel::ParamNameRole).toString())
        : nullptr;
    m_acknowledge->setEnabled(alarm && !alarm->acknowledged);
}

bool HistoryView::acknowledgeInteractively(QWidget* parent, AlarmAcknowledgements* acknowledgements,
                                           int hostKey, const QString& device, const QString& param)
{
    if (!acknowledgements)
        return false;
    bool ok = false;
    const QString comment = QInputDialog::getText(
        parent, tr("Acknowledge Alarm"),
        tr("Acknowledge the alarm of %1.%2. Comment (optional):")
            .arg(utils::escapeControlCharacters(device), utils::escapeControlCharacters(param)),
        QLineEdit::Normal, QString(), &ok);
    if (!ok)
        return false;
    QString error;
    if (acknowledgements->acknowledge(hostKey, device, param, comment, &error))
        return true;
    QMessageBox::warning(parent, tr("Acknowledge Alarm"), error);
    return false;
}
