#include "foundation/xml_prolog_p.h"

#include "foundation/log_p.h"
#include "foundation/safe_text.h"

#include <QCoreApplication>
#include <QRegExp>
#include <QTextCodec>

namespace {

// The declaration is ASCII in every encoding a declaration can name, and it
// stands at the very start of the file.
QString declaredAttribute(const QByteArray& bytes, const char* name)
{
    QRegExp matcher(QStringLiteral("^\\s*<\\?xml[^>]*\\b%1\\s*=\\s*[\"']([^\"']*)[\"']")
                        .arg(QLatin1String(name)));
    if (matcher.indexIn(QString::fromLatin1(bytes.left(256))) == 0)
        return matcher.cap(1);
    return QString();
}

} // namespace

namespace tavoxml {

QTextCodec* declaredCodec(const QByteArray& bytes, QString* declaredName)
{
    if (QTextCodec* marked = QTextCodec::codecForUtfText(bytes, nullptr))
        return marked;
    const QString name = declaredAttribute(bytes, "encoding");
    if (declaredName)
        *declaredName = name;
    return QTextCodec::codecForName(name.isEmpty() ? QByteArray("UTF-8") : name.toLatin1());
}

void warnAboutProlog(const QByteArray& bytes, const QString& fileName)
{
    QString encoding;
    if (QTextCodec* codec = declaredCodec(bytes, &encoding)) {
        QTextCodec::ConverterState state;
        codec->toUnicode(bytes.constData(), bytes.size(), &state);
        if (state.invalidChars > 0)
            tavolog::warning(
                QCoreApplication::translate(
                    "XmlReader", "File %1 is not valid %2 text: %3 characters are replaced")
                    .arg(fileName, QString::fromLatin1(codec->name()))
                    .arg(state.invalidChars));
    } else {
        tavolog::warning(
            QCoreApplication::translate("XmlReader", "File %1 names the unknown encoding '%2'")
                .arg(fileName, utils::escapeControlCharacters(encoding)));
    }
    const QString version = declaredAttribute(bytes, "version");
    if (!version.isEmpty() && version != QLatin1String("1.0"))
        tavolog::warning(
            QCoreApplication::translate("XmlReader",
                                        "File %1 declares XML version '%2'; it is read as XML 1.0")
                .arg(fileName, utils::escapeControlCharacters(version)));
}

} // namespace tavoxml
