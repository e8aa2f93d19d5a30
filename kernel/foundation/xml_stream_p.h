#pragma once

// Internal to the library: the two loops every pull reader of a resource
// file needs.

#include <QCoreApplication>
#include <QXmlStreamReader>

namespace tavoxml {

/// How deep unknown content may nest below a known element. The files the
/// library reads are a few levels deep; the limit only keeps a hostile or
/// broken file from costing memory and time without end.
constexpr int MaxElementDepth = 256;

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

/// Skips the current element with all its content. Walks the content without
/// recursion and stops the reader with an error past MaxElementDepth levels,
/// so that no nesting can exhaust the stack.
inline void skipUnknownElement(QXmlStreamReader& reader)
{
    int depth = 1;
    while (depth > 0 && !reader.atEnd()) {
        reader.readNext();
        if (reader.isEndElement()) {
            --depth;
        } else if (reader.isStartElement() && ++depth > MaxElementDepth) {
            reader.raiseError(
                QCoreApplication::translate("XmlReader", "Elements nested deeper than %1 levels")
                    .arg(MaxElementDepth));
        }
    }
}

} // namespace tavoxml
