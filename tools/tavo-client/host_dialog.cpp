#include "host_dialog.h"

#include "connections/protocol_manager.h"
#include "foundation/safe_text.h"
#include "hosttypes/host_type_db.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

enum VarColumn { VarNameColumn, VarValueColumn };

// Names from files and plug-ins are shown escaped, but the item data keeps
// them as they are, for the settings.
void addNamedItem(QComboBox* box, const QString& name)
{
    box->addItem(utils::escapeControlCharacters(name), name);
}

int indexOfName(const QComboBox* box, const QString& name)
{
    return box->findData(name, Qt::UserRole, Qt::MatchExactly);
}

} // namespace

class HostDialog::Private
{
public:
    Private(HostDialog* dialog, const HostTypeDb* hostTypes, const ProtocolManager* protocols)
        : q(dialog)
        , hostTypes(hostTypes)
        , protocols(protocols)
    {
    }

    void build();
    QString effectiveProtocol() const;
    void rebuildVars();
    void setVars(const QMap<QString, QString>& vars);
    QMap<QString, QString> vars() const;
    void updateOk();
    void selectName(QComboBox* box, const QString& name);

    HostDialog* const q;
    const HostTypeDb* const hostTypes;
    const ProtocolManager* const protocols;
    QLineEdit* alias = nullptr;
    QLineEdit* address = nullptr;
    QSpinBox* port = nullptr;
    QComboBox* hostType = nullptr;
    QComboBox* protocol = nullptr;
    QTableWidget* variables = nullptr;
    QPlainTextEdit* description = nullptr;
    QDialogButtonBox* buttons = nullptr;
    // The protocol whose variables the table shows, so that a host type
    // change that keeps the protocol keeps what the user typed.
    QString shownProtocol;
};

void HostDialog::Private::build()
{
    alias = new QLineEdit(q);
    alias->setObjectName(QStringLiteral("alias"));
    address = new QLineEdit(q);
    address->setObjectName(QStringLiteral("address"));
    port = new QSpinBox(q);
    port->setObjectName(QStringLiteral("port"));
    port->setRange(0, 65535);
    port->setSpecialValueText(HostDialog::tr("protocol's default"));

    hostType = new QComboBox(q);
    hostType->setObjectName(QStringLiteral("hostType"));
    if (hostTypes) {
        for (const HostType* type : hostTypes->hostTypes)
            addNamedItem(hostType, type->name);
    }

    protocol = new QComboBox(q);
    protocol->setObjectName(QStringLiteral("protocol"));
    protocol->addItem(HostDialog::tr("(host type's)"), QString());
    if (protocols) {
        for (const QString& name : protocols->protocolNames)
            addNamedItem(protocol, name);
    }

    variables = new QTableWidget(0, 2, q);
    variables->setObjectName(QStringLiteral("variables"));
    variables->setHorizontalHeaderLabels({HostDialog::tr("Variable"), HostDialog::tr("Value")});
    variables->horizontalHeader()->setStretchLastSection(true);
    variables->verticalHeader()->hide();

    description = new QPlainTextEdit(q);
    description->setObjectName(QStringLiteral("description"));
    description->setTabChangesFocus(true);

    buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, q);

    auto* form = new QFormLayout;
    form->addRow(HostDialog::tr("&Name:"), alias);
    form->addRow(HostDialog::tr("&Address:"), address);
    form->addRow(HostDialog::tr("&Port:"), port);
    form->addRow(HostDialog::tr("Host &type:"), hostType);
    form->addRow(HostDialog::tr("P&rotocol:"), protocol);
    form->addRow(HostDialog::tr("&Variables:"), variables);
    form->addRow(HostDialog::tr("&Description:"), description);
    auto* layout = new QVBoxLayout(q);
    layout->addLayout(form);
    layout->addWidget(buttons);

    QObject::connect(buttons, &QDialogButtonBox::accepted, q, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, q, &QDialog::reject);
    QObject::connect(alias, &QLineEdit::textChanged, q, [this] { updateOk(); });
    QObject::connect(address, &QLineEdit::textChanged, q, [this] { updateOk(); });
    QObject::connect(hostType, QOverload<int>::of(&QComboBox::currentIndexChanged), q,
                     [this] { rebuildVars(); });
    QObject::connect(protocol, QOverload<int>::of(&QComboBox::currentIndexChanged), q,
                     [this] { rebuildVars(); });
    rebuildVars();
    updateOk();
}

QString HostDialog::Private::effectiveProtocol() const
{
    const QString chosen = protocol->currentData().toString();
    if (!chosen.isEmpty())
        return chosen;
    // Resolved as the host tree model resolves it when the host is created.
    const HostType* type =
        hostTypes ? hostTypes->findHostType(hostType->currentData().toString()) : nullptr;
    return type && !type->protocolName.isEmpty() ? type->protocolName : QStringLiteral("tavo");
}

void HostDialog::Private::rebuildVars()
{
    const QString name = effectiveProtocol();
    if (name == shownProtocol && variables->rowCount() > 0)
        return;
    shownProtocol = name;
    const QMap<QString, QString> defaults =
        protocols ? protocols->getCustomVars(name) : QMap<QString, QString>();
    variables->setRowCount(0);
    variables->setRowCount(defaults.size());
    int row = 0;
    for (auto it = defaults.cbegin(); it != defaults.cend(); ++it, ++row) {
        auto* nameItem = new QTableWidgetItem(utils::escapeControlCharacters(it.key()));
        nameItem->setData(Qt::UserRole, it.key());
        nameItem->setFlags(nameItem->flags() & ~Qt::ItemIsEditable);
        variables->setItem(row, VarNameColumn, nameItem);
        variables->setItem(row, VarValueColumn, new QTableWidgetItem(it.value()));
    }
}

void HostDialog::Private::setVars(const QMap<QString, QString>& values)
{
    for (int row = 0; row < variables->rowCount(); ++row) {
        const QString name = variables->item(row, VarNameColumn)->data(Qt::UserRole).toString();
        auto found = values.constFind(name);
        if (found != values.cend())
            variables->item(row, VarValueColumn)->setText(found.value());
    }
}

QMap<QString, QString> HostDialog::Private::vars() const
{
    QMap<QString, QString> values;
    for (int row = 0; row < variables->rowCount(); ++row) {
        values.insert(variables->item(row, VarNameColumn)->data(Qt::UserRole).toString(),
                      variables->item(row, VarValueColumn)->text());
    }
    return values;
}

void HostDialog::Private::updateOk()
{
    const bool complete =
        !alias->text().trimmed().isEmpty() && !address->text().trimmed().isEmpty();
    buttons->button(QDialogButtonBox::Ok)->setEnabled(complete);
}

void HostDialog::Private::selectName(QComboBox* box, const QString& name)
{
    int index = indexOfName(box, name);
    if (index < 0) {
        // A host type or protocol this process does not know still belongs
        // to the host: keep it rather than change it silently.
        addNamedItem(box, name);
        index = box->count() - 1;
    }
    box->setCurrentIndex(index);
}

HostDialog::HostDialog(const HostTypeDb* hostTypes, const ProtocolManager* protocols,
                       QWidget* parent)
    : QDialog(parent)
    , d(new Private(this, hostTypes, protocols))
{
    setWindowTitle(tr("Host"));
    d->build();
}

HostDialog::~HostDialog()
{
    delete d;
}

void HostDialog::setSettings(const HostSettings& settings)
{
    d->alias->setText(settings.alias);
    d->address->setText(settings.url);
    d->port->setValue(settings.port);
    if (!settings.hostType.isEmpty())
        d->selectName(d->hostType, settings.hostType);
    if (settings.protocol.isEmpty())
        d->protocol->setCurrentIndex(0);
    else
        d->selectName(d->protocol, settings.protocol);
    // The values shown may be another host's: start from the defaults.
    d->shownProtocol.clear();
    d->rebuildVars();
    d->setVars(settings.vars);
    d->description->setPlainText(settings.description);
}

HostSettings HostDialog::settings() const
{
    HostSettings settings;
    settings.alias = d->alias->text().trimmed();
    settings.url = d->address->text().trimmed();
    settings.port = quint16(d->port->value());
    settings.hostType = d->hostType->currentData().toString();
    settings.protocol = d->protocol->currentData().toString();
    settings.vars = d->vars();
    settings.description = d->description->toPlainText();
    return settings;
}
