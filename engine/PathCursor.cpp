#include "engine/PathCursor.h"

#include "platform/Cp932.h"

#include <algorithm>

namespace Vacuola {

void replaceControls(QString &text, qsizetype from)
{
    const auto isControl = [](QChar c) {
        const char16_t u = c.unicode();
        return u < 0x20 || (u >= 0x7F && u <= 0x9F);
    };
    const auto begin = text.cbegin() + from;
    if (std::none_of(begin, text.cend(), isControl))
        return;
    std::replace_if(text.begin() + from, text.end(), isControl, QLatin1Char('?'));
}

PathCursor::PathCursor(const FolderNodes &nodes, Form form)
    : m_nodes(nodes), m_form(form), m_onChain(nodes.count(), false)
{
    if (nodes.count() == 0)
        return;
    m_chain.push_back(nodes.root());
    m_onChain[nodes.root()] = true;
    m_name = nodes.rootPath().toString();
    if (m_form != Form::Exact)
        replaceControls(m_name);
    if (m_form != Form::Cp932)
        m_text = m_name;
    else
        m_bytes = Cp932::encode(m_name);
    m_ends.push_back(m_form != Form::Cp932 ? m_text.size() : m_bytes.size());
}

PathCursor::~PathCursor() = default;

const QString &PathCursor::text(FolderNodes::Id id)
{
    moveTo(id);
    return m_text;
}

const QByteArray &PathCursor::bytes(FolderNodes::Id id)
{
    moveTo(id);
    return m_bytes;
}

void PathCursor::moveTo(FolderNodes::Id id)
{
    // The folders between this one and its deepest ancestor on the held path.
    m_scratch.clear();
    FolderNodes::Id ancestor = id;
    while (!m_onChain[ancestor]) {
        m_scratch.push_back(ancestor);
        ancestor = m_nodes.parent(ancestor);
    }
    while (m_chain.back() != ancestor) {
        m_onChain[m_chain.back()] = false;
        m_chain.pop_back();
        m_ends.pop_back();
    }
    if (m_form != Form::Cp932)
        m_text.truncate(m_ends.back());
    else
        m_bytes.truncate(m_ends.back());
    for (auto it = m_scratch.rbegin(); it != m_scratch.rend(); ++it)
        appendLevel(*it);
}

void PathCursor::appendLevel(FolderNodes::Id id)
{
    m_name.clear();
    m_name += QLatin1Char('/');
    m_nodes.appendName(m_name, id);
    if (m_form != Form::Exact)
        replaceControls(m_name, 1);
    if (m_form != Form::Cp932) {
        m_text += m_name;
        m_ends.push_back(m_text.size());
    } else {
        m_bytes += Cp932::encode(m_name);
        m_ends.push_back(m_bytes.size());
    }
    m_chain.push_back(id);
    m_onChain[id] = true;
}

} // namespace Vacuola
