#pragma once

#include "host_tree_model.h"

#include <QDialog>

class HostTypeDb;
class ProtocolManager;

/**
 * Adds or changes a host: alias, address, port, host type (from the host
 * type database), protocol (from the protocol manager; empty: the host
 * type's) and the protocol's variables, with their defaults shown.
 */
class HostDialog : public QDialog
{
    Q_OBJECT

public:
    HostDialog(const HostTypeDb* hostTypes, const ProtocolManager* protocols,
               QWidget* parent = nullptr);
    ~HostDialog() override;

    void setSettings(const HostSettings& settings);
    HostSettings settings() const;

private:
    class Private;
    Private* const d;
};
