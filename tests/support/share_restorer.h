#pragma once

#include <functional>
#include <vector>

/**
 * Takes a copy of every share global on construction and puts it back on
 * destruction, so that a test may change paths, settings and the published
 * objects without leaking them into the next test.
 */
class ShareRestorer
{
public:
    ShareRestorer();
    ~ShareRestorer();
    ShareRestorer(const ShareRestorer&) = delete;
    ShareRestorer& operator=(const ShareRestorer&) = delete;

private:
    template<typename... T> void keep(T&... globals)
    {
        (m_restore.push_back([&globals, saved = globals] { globals = saved; }), ...);
    }

    std::vector<std::function<void()>> m_restore;
};
