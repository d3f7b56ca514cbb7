#pragma once

#include <QByteArray>

// Sets (or, with a null value, unsets) an environment variable for the lifetime of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QByteArray& value)
        : m_name(name)
        , m_saved(qEnvironmentVariableIsSet(name) ? qgetenv(name) : QByteArray())
    {
        set(value);
    }
    ~ScopedEnv() { set(m_saved); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    void set(const QByteArray& value) { value.isNull() ? qunsetenv(m_name) : qputenv(m_name, value); }

    const char* m_name;
    QByteArray m_saved; // null when it was not set
};
