#include "engines/chat/ThinkFilter.h"

namespace {

const QString openTag = QStringLiteral("<think>");
const QString closeTag = QStringLiteral("</think>");

QString withoutLeadingSpace(const QString& text)
{
    qsizetype start = 0;
    while (start < text.size() && text[start].isSpace())
        ++start;
    return text.mid(start);
}

}

QString ThinkFilter::feed(const QString& fragment)
{
    switch (m_state) {
    case State::passing: return fragment;
    case State::afterThinking: return afterBlock(fragment);
    case State::opening: {
        m_held += fragment;
        const QString start = withoutLeadingSpace(m_held);
        if (openTag.startsWith(start))
            return {}; // still could become the opening tag
        if (!start.startsWith(openTag)) {
            m_state = State::passing;
            return std::exchange(m_held, {});
        }
        m_state = State::thinking;
        m_held = start.mid(openTag.size());
        return feed({});
    }
    case State::thinking: {
        m_held += fragment;
        const qsizetype end = m_held.indexOf(closeTag);
        if (end < 0) {
            m_held = m_held.right(closeTag.size() - 1); // only a split closing tag matters
            return {};
        }
        const QString rest = m_held.mid(end + closeTag.size());
        m_held.clear();
        m_state = State::afterThinking;
        return afterBlock(rest);
    }
    }
    return {};
}

QString ThinkFilter::afterBlock(const QString& text)
{
    const QString rest = withoutLeadingSpace(text);
    if (!rest.isEmpty())
        m_state = State::passing;
    return rest;
}

QString ThinkFilter::finish()
{
    return m_state == State::opening ? std::exchange(m_held, {}) : QString();
}

QString ThinkFilter::strip(const QString& answer)
{
    ThinkFilter filter;
    const QString shown = filter.feed(answer);
    return shown + filter.finish();
}
