#pragma once

#include "tavo_kernel_export.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <QPair>
#include <QString>
#include <QStringList>

/**
 * The users of the client and their named permissions, read from the users
 * file, and the one user now logged in. Two users are built in: the
 * administrator, who may do everything, and the undefined user, who may do
 * nothing. Their names are translated, and so is every comparison with them.
 */
class TAVO_KERNEL_EXPORT UserCapabilities : public QObject
{
    Q_OBJECT

public:
    /// A permission: its name and the text shown for it.
    using Permission = QPair<QString, QString>;

    explicit UserCapabilities(QObject* parent = nullptr);
    ~UserCapabilities() override;

    static QString administratorName();
    static QString undefinedUserName();

    QStringList getUsersList() const;
    /// Appends the display texts of @p user's permissions to @p out; for the
    /// administrator, every user's, each text once.
    void getCapabilitiesList(const QString& user, QStringList& out) const;
    bool setCurrentUser(const QString& user);
    bool setDefaultUser(const QString& user);
    bool checkForCapability(const QString& permission) const;
    /// Adds @p permission to a listed user other than the administrator.
    void append(const QString& user, QPair<QString, QString> permission);
    /// Forgets the users' permissions, the current and the default user.
    void clear();

    QMap<QString, QString> userNames;
    QMap<QString, QList<Permission>> capabilities;
    QString currentUser;
    QString defaultUser;

Q_SIGNALS:
    void signalChangeCurrentUser();

private:
    Q_DISABLE_COPY(UserCapabilities)
};
