#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>

/// A database connection of the test's own, to look at what the code under
/// test wrote, behind its back; opened at once and removed with the object.
/// Header only: the tests that use it link Qt's SQL module themselves.
class SqlConnection
{
public:
    /// @p database: the file for QSQLITE, the database's name for QPSQL.
    SqlConnection(const QString& driver, const QString& database, const QString& host = QString(),
                  int port = -1, const QString& user = QString())
        : m_name(QStringLiteral("test-sql-%1").arg(++s_serial))
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(driver, m_name);
        db.setDatabaseName(database);
        db.setHostName(host);
        db.setPort(port);
        db.setUserName(user);
        db.open();
    }
    ~SqlConnection()
    {
        db().close();
        QSqlDatabase::removeDatabase(m_name);
    }
    SqlConnection(const SqlConnection&) = delete;
    SqlConnection& operator=(const SqlConnection&) = delete;

    QSqlDatabase db() const { return QSqlDatabase::database(m_name, false); }
    /// The first value of @p sql; invalid when it fails or gives no row.
    QVariant value(const QString& sql)
    {
        QSqlQuery query(db());
        return query.exec(sql) && query.next() ? query.value(0) : QVariant();
    }
    bool exec(const QString& sql) { return QSqlQuery(db()).exec(sql); }

private:
    static inline int s_serial = 0;

    QString m_name;
};
