#pragma once

// Internal to the library: script functions compiled once per engine.
//
// Alarm and virtual parameter scripts are bodies of global functions that the
// scripts' callers redefine before every call. Parsing the same text again on
// every read costs more than running it, so each distinct function is
// compiled once and kept with its engine; a later use only points the global
// name at the kept function, which leaves the engine's global object as the
// evaluation would have left it.

#include <QScriptValue>
#include <QString>

class QScriptEngine;

namespace scriptcache {

/**
 * The global function @p name with the parameter list @p parameters (as
 * written between the parentheses) and the body @p body, compiled in
 * @p engine on first use. On failure the result is invalid and @p error
 * holds the engine's message; a text that does not compile is not compiled
 * again.
 */
QScriptValue function(QScriptEngine* engine, const QString& name, const QString& parameters,
                      const QString& body, QString* error);

/// True the first time it is asked about @p owner and @p body in @p engine:
/// a failing script is reported once, not on every read.
bool firstFailure(QScriptEngine* engine, const QString& owner, const QString& body);

} // namespace scriptcache
