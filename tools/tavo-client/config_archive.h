#pragma once

#include "step.h"

#include <QCoreApplication>
#include <QVector>

/**
 * A configuration set in one zip archive, to carry a user's set to another
 * machine or keep it: the host graph, the action list, the flap damping
 * file and the observed board files. Entries have fixed names
 * ("host_graph.xml", "tavo_action_list.xml", "tavo_flap_damping.xml",
 * "xml_observed_board/..."), whatever the files are called here.
 *
 * An import unpacks the archive aside first. An archive that would write
 * outside that place, holds links or is too large is refused whole; of the
 * rest, only the entries of a set whose document is what their name says
 * are put in place, each replacing the file of that name.
 */
class ConfigArchive
{
    Q_DECLARE_TR_FUNCTIONS(ConfigArchive)

public:
    /// Where the files of a set live.
    struct Locations
    {
        QString hostGraphFile;
        QString actionListFile;
        QString dampingFile;
        QString boardDir;

        /// The user's files and the board folder the kernel reads.
        static Locations current();
    };

    /// A set is a handful of small files: anything larger is no set.
    static constexpr qint64 MaxArchiveSize = 16 * 1024 * 1024;
    static constexpr qint64 MaxUnpackedSize = 16 * 1024 * 1024;

    explicit ConfigArchive(const Locations& locations = Locations::current());

    /// Packs the files of the set that exist; false when the archive
    /// cannot be written.
    bool exportTo(const QString& zipPath);
    /// False when nothing was imported.
    bool importFrom(const QString& zipPath);
    /// What the last export or import did, one step per file.
    QVector<Step> steps() const { return m_steps; }

private:
    /// Where the entry @p name goes, and the document element it must
    /// have; empty for an entry that is no part of a set.
    QString destinationOf(const QString& name, QString* root) const;

    Locations m_locations;
    QVector<Step> m_steps;
};
