#pragma once

#include "engine/FolderNodes.h"

#include <QByteArray>
#include <QString>

#include <vector>

namespace Vacuola {

/**
 * The printed paths of the folders of a sweep, as their log lines begin: the
 * path with every control character written as "?" (or the paths themselves). Each path is built from
 * the one built last, so that going through folders in the order of a walk of
 * the tree changes only the last few components, however deep the tree is.
 * Nothing may be added to the folders while a cursor is in use.
 */
class PathCursor final
{
    Q_DISABLE_COPY_MOVE(PathCursor)

public:
    enum class Form
    {
        Text,  // the path as text
        Cp932, // the path as code page 932 bytes, as the log file holds it
        Exact  // the path as text, control characters and all: the folder's own path
    };

    PathCursor(const FolderNodes &nodes, Form form);
    ~PathCursor();

    /** The printed path of a folder as text (Form::Text), or its own path (Form::Exact). Valid until the next
     * call. */
    const QString &text(FolderNodes::Id id);
    /** The printed path of a folder as bytes (Form::Cp932). Valid until the next call. */
    const QByteArray &bytes(FolderNodes::Id id);

private:
    void moveTo(FolderNodes::Id id);
    void appendLevel(FolderNodes::Id id);

    const FolderNodes &m_nodes;
    Form m_form;
    // The folders whose path is held, from the root down, and where each one's ends.
    std::vector<FolderNodes::Id> m_chain;
    std::vector<qsizetype> m_ends;
    std::vector<bool> m_onChain;
    std::vector<FolderNodes::Id> m_scratch;
    QString m_text;
    QByteArray m_bytes;
    QString m_name;
};

/** The text with every control character (C0, DEL and C1) written as "?". */
void replaceControls(QString &text, qsizetype from = 0);

} // namespace Vacuola
