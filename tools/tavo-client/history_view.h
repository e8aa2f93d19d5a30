#pragma once

#include <QWidget>

class AlarmAcknowledgements;
class HistoryModel;
class HistoryStore;
class HostGraph;
class QAction;
class QCheckBox;
class QComboBox;
class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QTableView;

/**
 * The recorded history with its filters (host, device, parameter, state,
 * time range) and pages, newest first; the alarm of the selected record can
 * be acknowledged from here as from the alarm panel.
 */
class HistoryView : public QWidget
{
    Q_OBJECT

public:
    HistoryView(HistoryStore* store, HostGraph* hosts, AlarmAcknowledgements* acknowledgements,
                QWidget* parent = nullptr);
    ~HistoryView() override;

    HistoryModel* model() const { return m_model; }
    QTableView* view() const { return m_view; }
    QAction* acknowledgeAction() const { return m_acknowledge; }

    /// Sets the filter fields to one parameter and applies them.
    void showParam(int hostKey, const QString& device, const QString& param);

    /**
     * Asks for a comment and acknowledges the parameter's active alarm,
     * saying in a message box why not when it cannot be.
     */
    static bool acknowledgeInteractively(QWidget* parent, AlarmAcknowledgements* acknowledgements,
                                         int hostKey, const QString& device, const QString& param);

public Q_SLOTS:
    /// Reads the filter fields into the model.
    void applyFilter();
    void fillHosts();

private:
    void updateActions();
    void updatePager();

    HistoryModel* m_model;
    HostGraph* m_hosts;
    AlarmAcknowledgements* m_acknowledgements;
    QTableView* m_view;
    QComboBox* m_host;
    QLineEdit* m_device;
    QLineEdit* m_param;
    QComboBox* m_state;
    QCheckBox* m_useFrom;
    QDateTimeEdit* m_from;
    QCheckBox* m_useTo;
    QDateTimeEdit* m_to;
    QLabel* m_pageLabel;
    QAction* m_previous;
    QAction* m_next;
    QAction* m_acknowledge;
};
