#pragma once

// Internal to the library: the two loops every pull reader of a resource
// file needs.

#include <QXmlStreamReader>

namespace tavoxml {

/// Calls @p onStart with the name of each child element of the current
/// element, up to the current element's end.
template<typename OnStart> void readChildren(QXmlStreamReader& reader, OnStart onStart)
{
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isEndElement())
            break;
        if (reader.isStartElement())
            onStart(reader.name());
    }
}

/// Skips the current element with all its content, at every level.
inline void skipUnknownElement(QXmlStreamReader& reader)
{
    readChildren(reader, [&reader](const QStringRef&) { skipUnknownElement(reader); });
}

} // namespace tavoxml
