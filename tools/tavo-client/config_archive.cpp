#include "config_archive.h"

#include "alarms/sax_action_list_parser.h"
#include "archives/zip_utils.h"
#include "foundation/app_shared.h"
#include "foundation/safe_text.h"
#include "history/damping_rules.h"
#include "hostgraph/host_graph.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QXmlStreamReader>

namespace {

struct Member
{
    const char* entry;
    const char* root;
    QString ConfigArchive::Locations::*path;
};

const Member members[] = {
    {"host_graph.xml", "hostgraph", &ConfigArchive::Locations::hostGraphFile},
    {"tavo_action_list.xml", "actionlist", &ConfigArchive::Locations::actionListFile},
    {"tavo_flap_damping.xml", "flapdamping", &ConfigArchive::Locations::dampingFile},
};

const QString boardFolder = QStringLiteral("xml_observed_board");
const QString boardRoot = QStringLiteral("observer_list");

QString safe(const QString& text)
{
    return utils::escapeControlCharacters(text);
}

QString shown(const QString& path)
{
    return safe(QDir::toNativeSeparators(path));
}

bool isBoardFile(const QString& name)
{
    return name.endsWith(QLatin1String(".xml"), Qt::CaseInsensitive);
}

/// The name of the document element of @p path; empty when it has none.
QString rootElementOf(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    QXmlStreamReader reader(&file);
    return reader.readNextStartElement() ? reader.name().toString() : QString();
}

bool copyInto(const QString& from, const QString& to, QString* error)
{
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly)) {
        *error = source.errorString();
        return false;
    }
    QDir().mkpath(QFileInfo(to).absolutePath());
    // A file half written would be worse than the old one.
    QSaveFile target(to);
    if (!target.open(QIODevice::WriteOnly) || target.write(source.readAll()) < 0 ||
        !target.commit()) {
        *error = target.errorString();
        return false;
    }
    return true;
}

} // namespace

ConfigArchive::Locations ConfigArchive::Locations::current()
{
    return {HostGraph::userFilePath(), ActionListParser::actionListPath(),
            DampingRules::dampingFilePath(), share::xmlObservedBoard};
}

ConfigArchive::ConfigArchive(const Locations& locations)
    : m_locations(locations)
{
}

bool ConfigArchive::exportTo(const QString& zipPath)
{
    m_steps.clear();
    QTemporaryDir staging;
    QString error;
    auto stage = [&](const QString& from, const QString& entry) {
        if (copyInto(from, staging.filePath(entry), &error))
            m_steps.append({safe(entry), Step::Done});
        else
            m_steps.append({tr("%1: %2").arg(safe(entry), safe(error)), Step::Failed});
    };
    for (const Member& member : members) {
        const QString entry = QString::fromLatin1(member.entry);
        const QString& from = m_locations.*member.path;
        if (QFileInfo::exists(from))
            stage(from, entry);
        else
            m_steps.append({tr("%1: there is none").arg(entry), Step::Skipped});
    }
    const QDir board(m_locations.boardDir);
    QStringList boardFiles;
    QDirIterator it(m_locations.boardDir, {QStringLiteral("*.xml"), QStringLiteral("*.XML")},
                    QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        boardFiles.append(board.relativeFilePath(it.next()));
    boardFiles.sort();
    for (const QString& name : qAsConst(boardFiles))
        stage(board.filePath(name), boardFolder + QLatin1Char('/') + name);
    if (boardFiles.isEmpty())
        m_steps.append({tr("%1: no observed board files").arg(boardFolder), Step::Skipped});

    QString stagingPath = staging.path();
    if (!staging.isValid() || !ZipUtils::zipDir(stagingPath, zipPath)) {
        m_steps.append({tr("%1 could not be written").arg(shown(zipPath)), Step::Failed});
        return false;
    }
    m_steps.append({tr("Written to %1").arg(shown(zipPath)), Step::Done});
    return true;
}

bool ConfigArchive::importFrom(const QString& zipPath)
{
    m_steps.clear();
    const QFileInfo archive(zipPath);
    if (archive.size() > MaxArchiveSize) {
        m_steps.append({tr("%1 is larger than a configuration set can be (%2 MiB): "
                           "nothing imported")
                            .arg(shown(zipPath))
                            .arg(MaxArchiveSize / (1024 * 1024)),
                        Step::Failed});
        return false;
    }
    QTemporaryDir staging;
    if (!staging.isValid() || !ZipUtils::unzip(zipPath, staging.path(), MaxUnpackedSize)) {
        m_steps.append({tr("%1 was refused: it is no zip archive, or it holds an entry that "
                           "would land outside its folder, a link, or more than %2 MiB: "
                           "nothing imported")
                            .arg(shown(zipPath))
                            .arg(MaxUnpackedSize / (1024 * 1024)),
                        Step::Failed});
        return false;
    }

    QStringList names;
    const QDir unpacked(staging.path());
    QDirIterator it(staging.path(), QDir::Files | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        names.append(unpacked.relativeFilePath(it.next()));
    names.sort();
    bool imported = false;
    for (const QString& name : qAsConst(names)) {
        const QString from = unpacked.filePath(name);
        QString root;
        const QString to = destinationOf(name, &root);
        if (to.isEmpty() || QFileInfo(from).isSymLink()) {
            m_steps.append(
                {tr("%1: refused, not part of a configuration set").arg(safe(name)), Step::Failed});
            continue;
        }
        if (rootElementOf(from) != root) {
            m_steps.append(
                {tr("%1: refused, not a document <%2>").arg(safe(name), root), Step::Failed});
            continue;
        }
        QString error;
        if (!copyInto(from, to, &error)) {
            m_steps.append(
                {tr("%1: %2 could not be written: %3").arg(safe(name), shown(to), safe(error)),
                 Step::Failed});
            continue;
        }
        m_steps.append({tr("%1: imported to %2").arg(safe(name), shown(to)), Step::Done});
        imported = true;
    }
    if (names.isEmpty())
        m_steps.append({tr("The archive is empty: nothing imported"), Step::Failed});
    return imported;
}

QString ConfigArchive::destinationOf(const QString& name, QString* root) const
{
    for (const Member& member : members) {
        if (name == QLatin1String(member.entry)) {
            *root = QString::fromLatin1(member.root);
            return m_locations.*member.path;
        }
    }
    if (!name.startsWith(boardFolder + QLatin1Char('/')) || m_locations.boardDir.isEmpty())
        return QString();
    const QString inBoard = name.mid(boardFolder.size() + 1);
    // The kernel reads every such file of the folder: hidden names and
    // climbing components have no business there.
    for (const QString& part : inBoard.split(QLatin1Char('/'))) {
        if (part.isEmpty() || part.startsWith(QLatin1Char('.')))
            return QString();
    }
    if (!isBoardFile(inBoard))
        return QString();
    *root = boardRoot;
    return QDir(m_locations.boardDir).filePath(inBoard);
}
