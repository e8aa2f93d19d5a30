#pragma once

#include <QByteArray>
#include <QList>

/// One entry of an archive written byte by byte.
struct RawEntry
{
    QByteArray name;
    QByteArray data;
    bool symlink = false; // data is then the link target
    bool deflate = false;
    qint64 declaredSize = -1; // the unpacked size the archive tells; -1: the true one
};

/// An archive written byte by byte, so that entry names and sizes reach the
/// reader exactly as a hostile tool would write them; Qt's own writer cleans
/// the names and tells the true sizes.
QByteArray rawZip(const QList<RawEntry>& entries);
