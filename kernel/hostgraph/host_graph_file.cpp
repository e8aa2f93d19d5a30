// The host graph file: written whole through a DOM document, read back with
// the event-driven reader.

#include "hostgraph/host_graph.h"

#include "connections/protocol_manager.h"
#include "foundation/app_shared.h"
#include "foundation/log_p.h"
#include "foundation/xml_prolog_p.h"
#include "hostgraph/sax_host_graph_parser.h"

#include <QBuffer>
#include <QDomDocument>
#include <QFile>
#include <QHash>
#include <QSaveFile>
#include <QTextCodec>

QT_WARNING_PUSH
QT_WARNING_DISABLE_DEPRECATED
#include <QXmlSimpleReader>

namespace {

// A graph of fifty thousand hosts stays far below this; anything larger is
// not a host graph, and reading it would only eat the client's memory.
constexpr qint64 MaxFileSize = 64 * 1024 * 1024;

QDomElement textElement(QDomDocument& document, const QString& name, const QString& text)
{
    QDomElement element = document.createElement(name);
    element.appendChild(document.createTextNode(text));
    return element;
}

QDomElement folderElement(QDomDocument& document, const FolderItem* folder)
{
    QDomElement element = document.createElement(QStringLiteral("folder"));
    element.setAttribute(QStringLiteral("key"), folder->key());
    element.appendChild(
        textElement(document, QStringLiteral("parent_key"), QString::number(folder->parentKey())));
    element.appendChild(textElement(document, QStringLiteral("alias"), folder->alias()));
    if (const auto* box = qobject_cast<const BoxDeviceItem*>(folder))
        element.appendChild(textElement(document, QStringLiteral("config_file"), box->configFile));
    return element;
}

QDomElement hostElement(QDomDocument& document, const NodeAttr* node)
{
    QDomElement element = document.createElement(QStringLiteral("host"));
    element.setAttribute(QStringLiteral("key"), node->key());

    QDomElement link = document.createElement(QStringLiteral("link"));
    link.setAttribute(QStringLiteral("parent_key"), node->parentKey());
    link.setAttribute(QStringLiteral("alias"), node->alias());
    element.appendChild(link);

    QDomElement url = textElement(document, QStringLiteral("url"), node->url());
    url.setAttribute(QStringLiteral("autoconnect"), node->autoconnect);
    element.appendChild(url);
    element.appendChild(
        textElement(document, QStringLiteral("port"), QString::number(node->port())));
    element.appendChild(textElement(document, QStringLiteral("type"), node->hostTypeName()));
    element.appendChild(textElement(document, QStringLiteral("protocol"), node->protocolName()));
    element.appendChild(textElement(document, QStringLiteral("description"), node->description));

    const QMap<QString, QString> defaults = share::protocolManager
        ? share::protocolManager->getCustomVars(node->protocolName())
        : QMap<QString, QString>();
    const QMap<QString, QString> vars = node->customVars();
    for (auto it = vars.cbegin(); it != vars.cend(); ++it) {
        auto fallback = defaults.constFind(it.key());
        if (fallback != defaults.cend() && fallback.value() == it.value())
            continue;
        QDomElement var = document.createElement(QStringLiteral("var"));
        var.setAttribute(QStringLiteral("name"), it.key());
        var.setAttribute(QStringLiteral("value"), it.value());
        element.appendChild(var);
    }
    return element;
}

// The document's text in CP1251, the encoding its declaration names, with
// every character CP1251 lacks written as a character reference. The user's
// texts only occur in attribute values and character data, where a reference
// stands for the character itself.
QByteArray toCp1251(const QString& text)
{
    static const QHash<ushort, char> upperHalf = [] {
        QHash<ushort, char> table;
        QTextCodec* codec = QTextCodec::codecForName("CP1251");
        for (int byte = 0x80; byte <= 0xff; ++byte) {
            const char c = char(byte);
            const QString decoded = codec ? codec->toUnicode(&c, 1) : QString();
            if (decoded.size() == 1 && decoded.at(0) != QChar::ReplacementCharacter)
                table.insert(decoded.at(0).unicode(), c);
        }
        return table;
    }();

    QByteArray bytes;
    bytes.reserve(text.size());
    const int size = text.size();
    for (int i = 0; i < size; ++i) {
        const ushort unit = text.at(i).unicode();
        if (unit < 0x80) {
            bytes.append(char(unit));
            continue;
        }
        auto mapped = upperHalf.constFind(unit);
        if (mapped != upperHalf.cend()) {
            bytes.append(mapped.value());
            continue;
        }
        uint codePoint = unit;
        if (QChar::isHighSurrogate(unit) && i + 1 < size && text.at(i + 1).isLowSurrogate()) {
            codePoint = QChar::surrogateToUcs4(unit, text.at(i + 1).unicode());
            ++i;
        }
        bytes.append("&#x").append(QByteArray::number(codePoint, 16)).append(';');
    }
    return bytes;
}

} // namespace

bool HostGraph::saveToFile(const QString& fileName)
{
    QDomDocument document(
        QDomImplementation().createDocumentType(QStringLiteral("HOSTGRAPH"), QString(), QString()));
    QDomElement root = document.createElement(QStringLiteral("hostgraph"));
    document.appendChild(root);
    for (const FolderItem* folder : qAsConst(folderList))
        root.appendChild(folderElement(document, folder));
    for (const NodeAttr* node : qAsConst(hostList))
        root.appendChild(hostElement(document, node));

    // Written beside the old file and renamed over it only when complete, so
    // a failed save never costs the user the graph saved before.
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // The declaration is written by hand: given one, the DOM would ask the
    // codec about every character it writes, which costs more than the rest
    // of the save together.
    const QByteArray bytes =
        "<?xml version=\"1.0\" encoding=\"CP1251\"?>\n" + toCp1251(document.toString(2));
    // The explicit flush matters: a write error met only while committing
    // would not keep the partial file from replacing the old one.
    if (file.write(bytes) != bytes.size() || !file.flush() || !file.commit()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        tavolog::error(
            tr("[HostGraph::saveToFile()] Can't write file %1: %2").arg(fileName, reason));
        return false;
    }
    tavolog::message(tr("Host graph has successfully written to file %1").arg(fileName));
    modified = false;
    return true;
}

bool HostGraph::loadFromFile(const QString& fileName)
{
    QFile file(fileName);
    if (!file.exists()) {
        tavolog::error(tr("[HostGraph::loadFromFile()] File not found: %1").arg(fileName));
        return false;
    }
    if (file.size() > MaxFileSize) {
        tavolog::error(tr("[HostGraph::loadFromFile()] File %1 is too large: %2 bytes, at most "
                          "%3 are read")
                           .arg(fileName)
                           .arg(file.size())
                           .arg(MaxFileSize));
        return false;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        tavolog::error(tr("[HostGraph::loadFromFile()] Can't read file %1: %2")
                           .arg(fileName, file.errorString()));
        return false;
    }
    QByteArray bytes = file.readAll();
    file.close();

    // The reader replaces undecodable bytes silently; a host graph that
    // would come back with garbled names is refused instead.
    if (QTextCodec* codec = tavoxml::declaredCodec(bytes)) {
        QTextCodec::ConverterState state;
        codec->toUnicode(bytes.constData(), bytes.size(), &state);
        if (state.invalidChars > 0) {
            tavolog::error(tr("[HostGraph::loadFromFile()] File %1 is not valid %2 text")
                               .arg(fileName, QString::fromLatin1(codec->name())));
            return false;
        }
    }

    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QXmlInputSource source(&buffer);
    SaxHostGraphParser parser(fileName, this);
    QXmlSimpleReader reader;
    reader.setContentHandler(&parser);
    reader.setErrorHandler(&parser);
    const bool ok = reader.parse(&source);
    // What was read is the user's saved state, not a change to write back.
    modified = false;
    return ok;
}

QT_WARNING_POP
