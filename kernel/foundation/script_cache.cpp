#include "foundation/script_cache_p.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QScriptEngine>
#include <QScriptString>
#include <QSet>

namespace {

struct Key
{
    QString name;
    QString parameters;
    QString body;

    bool operator==(const Key& other) const
    {
        return body == other.body && parameters == other.parameters && name == other.name;
    }
};

uint qHash(const Key& key, uint seed = 0)
{
    return ::qHash(key.body, seed) ^ ::qHash(key.parameters, seed) ^ ::qHash(key.name, seed);
}

// Lives as a child of its engine, so the kept functions go with the engine.
class FunctionCache : public QObject
{
    Q_OBJECT

public:
    explicit FunctionCache(QScriptEngine* engine)
        : QObject(engine)
    {
    }

    struct Entry
    {
        QScriptValue function;
        QScriptString name;
        QString error;
    };

    // Scripts come from class files, so their number is bounded in
    // practice; the limit only keeps a runaway producer of texts from
    // growing the cache for ever.
    static constexpr int MaxEntries = 8192;

    QHash<Key, Entry> entries;
    QSet<Key> reported;
};

FunctionCache* cacheOf(QScriptEngine* engine)
{
    static QPointer<FunctionCache> last;
    if (last && last->parent() == engine)
        return last;
    auto* cache = engine->findChild<FunctionCache*>(QString(), Qt::FindDirectChildrenOnly);
    if (!cache)
        cache = new FunctionCache(engine);
    last = cache;
    return cache;
}

} // namespace

namespace scriptcache {

QScriptValue function(QScriptEngine* engine, const QString& name, const QString& parameters,
                      const QString& body, QString* error)
{
    FunctionCache* cache = cacheOf(engine);
    auto it = cache->entries.find(Key {name, parameters, body});
    if (it != cache->entries.end()) {
        if (!it->error.isEmpty()) {
            if (error)
                *error = it->error;
            return QScriptValue();
        }
        engine->globalObject().setProperty(it->name, it->function);
        return it->function;
    }

    if (cache->entries.size() >= FunctionCache::MaxEntries)
        cache->entries.clear();
    FunctionCache::Entry entry;
    entry.name = engine->toStringHandle(name);
    const QString source = QStringLiteral("function %1(%2) { %3 }").arg(name, parameters, body);
    const QScriptValue outcome = engine->evaluate(source, QString(), 1);
    if (engine->hasUncaughtException()) {
        entry.error = outcome.toString();
        engine->clearExceptions();
    } else {
        entry.function = engine->globalObject().property(entry.name);
        if (!entry.function.isFunction())
            entry.error = QStringLiteral("'%1' is not a function").arg(name);
    }
    cache->entries.insert(Key {name, parameters, body}, entry);
    if (!entry.error.isEmpty()) {
        if (error)
            *error = entry.error;
        return QScriptValue();
    }
    return entry.function;
}

bool firstFailure(QScriptEngine* engine, const QString& owner, const QString& body)
{
    FunctionCache* cache = cacheOf(engine);
    const Key key {owner, QString(), body};
    if (cache->reported.contains(key))
        return false;
    cache->reported.insert(key);
    return true;
}

} // namespace scriptcache

#include "script_cache.moc"
