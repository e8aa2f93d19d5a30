#pragma once

#include "tavo_kernel_export.h"

#include <QCoreApplication>
#include <QPair>
#include <QString>

QT_WARNING_PUSH
QT_WARNING_DISABLE_DEPRECATED
#include <QXmlDefaultHandler>

class UserCapabilities;

/**
 * The event-driven reader of the users file, filling a UserCapabilities.
 * The client drives it with its XML reader; the first error stops the
 * reading and keeps what was read before it.
 */
class TAVO_KERNEL_EXPORT SaxUserListParser : public QXmlDefaultHandler
{
    Q_DECLARE_TR_FUNCTIONS(SaxUserListParser)

public:
    enum State { Idle = 0, Document = 1, UsersList = 2, User = 3, Permission = 4 };

    SaxUserListParser(const QString& fileName, UserCapabilities* target);
    ~SaxUserListParser() override;

    bool startDocument() override;
    bool endDocument() override;
    bool startElement(const QString& namespaceURI, const QString& localName, const QString& qName,
                      const QXmlAttributes& attributes) override;
    bool endElement(const QString& namespaceURI, const QString& localName,
                    const QString& qName) override;
    bool characters(const QString& text) override;
    bool fatalError(const QXmlParseException& exception) override;

    /// Forgets the user being read and the permission pair.
    void dataReset();

    /// Reads the users file @p path into @p target with this handler, the
    /// way the client drives it; false for a missing or unreadable file and
    /// for a reading stopped by an error.
    static bool readFile(const QString& path, UserCapabilities* target);

    QString fileName;
    UserCapabilities* capabilities;
    int state = Idle;
    QString userName;
    QPair<QString, QString> permission;

private:
    bool unexpectedTag(const QString& name);
    bool unknownTag(const QString& name);

    Q_DISABLE_COPY(SaxUserListParser)

    // The text of a permission element, gathered over every characters() call.
    QString m_text;
    bool m_hasText = false;
};

QT_WARNING_POP
