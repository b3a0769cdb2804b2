#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <initializer_list>
#include <vector>

namespace Vacuola {

class FileAppend;
class FolderNodes;

/**
 * The lines of a sweep's log block. A folder's line is its path followed by a
 * tail (what was done, or the failure); only the folder and the tail are kept,
 * and the path is made from the sweep's folder tree whenever the line is read.
 * A log's lines hold whole paths, so the log of a deep tree grows with the
 * square of its depth; what is kept here grows with the number of lines.
 */
class LogLines final
{
    Q_DISABLE_COPY_MOVE(LogLines)

public:
    /** Lines of whole texts only. */
    LogLines();
    /** Lines that may tell of the folders of `nodes`. */
    explicit LogLines(const FolderNodes &nodes);
    ~LogLines();

    void clear();
    qsizetype size() const;
    bool isEmpty() const;
    static constexpr quint32 NoFolder = ~0u;

    /** Adds one line made of the given pieces at the end. */
    void append(std::initializer_list<QStringView> pieces);
    /** Adds the line of a folder: its path, each control character as "?", then `tail`. */
    void appendFolder(quint32 folder, QStringView tail);
    void insertFirst(QStringView line);
    QStringList toStringList() const;
    /** Each line in order, made only for its call. */
    void visit(const std::function<void(const QString &line)> &line) const;
    /**
     * Sorts by the locale's collation of whole lines with case ignored; lines
     * that compare equal keep no defined order. `places`, indexed by folder,
     * is an order of the folders close to the sorted one: lines taken in it
     * are mostly in order already, and sorting costs little more than checking
     * that they are.
     */
    void sort(const std::vector<quint32> &places = {});
    /**
     * Appends the lines in order as code page 932 bytes, each followed by
     * CR LF, a piece at a time: the whole block is never held at once.
     */
    int write(FileAppend &append) const;

private:
    struct Line
    {
        quint32 folder;
        quint32 tail; // index of the tail, or NoTail
    };
    static constexpr quint32 NoTail = ~0u;
    QStringView tail(const Line &line) const;

    const FolderNodes *m_nodes = nullptr;
    // The tails one after another; each ends where the next one starts.
    QString m_tails;
    std::vector<qsizetype> m_tailStarts;
    std::vector<Line> m_lines; // in the list's order
};

} // namespace Vacuola
