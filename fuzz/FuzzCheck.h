#pragma once

#include <cstdio>
#include <cstdlib>

#include <QByteArray>
#include <QString>

// A broken promise of the code under test is a finding like a crash: libFuzzer keeps the input.
#define FUZZ_CHECK(condition)                                                                                          \
    do {                                                                                                               \
        if (!(condition)) {                                                                                            \
            std::fprintf(stderr, "broken promise at %s:%d: %s\n", __FILE__, __LINE__, #condition);                     \
            std::abort();                                                                                              \
        }                                                                                                              \
    } while (false)

inline QByteArray fuzzBytes(const uint8_t* data, size_t size)
{
    return QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
}

// Reads the input from the front: small numbers for choices, the rest as text.
class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size)
        : m_data(data)
        , m_size(size)
    {
    }

    quint32 number(int bytes)
    {
        quint32 value = 0;
        for (int i = 0; i < bytes && m_at < m_size; ++i)
            value = value << 8 | m_data[m_at++];
        return value;
    }
    // Up to `units` UTF-16 units taken as they are, lone surrogates included.
    QString utf16(qsizetype units)
    {
        QString text;
        while (units-- > 0 && m_at + 1 < m_size) {
            text.append(QChar(char16_t(m_data[m_at] | m_data[m_at + 1] << 8)));
            m_at += 2;
        }
        return text;
    }
    // Bytes up to the next NUL (dropped) or the end.
    QByteArray chunk()
    {
        const size_t start = m_at;
        while (m_at < m_size && m_data[m_at] != 0)
            ++m_at;
        QByteArray bytes(reinterpret_cast<const char*>(m_data + start), qsizetype(m_at - start));
        if (m_at < m_size)
            ++m_at;
        return bytes;
    }
    bool atEnd() const { return m_at >= m_size; }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_at = 0;
};
