#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

#include <initializer_list>
#include <vector>

namespace Vacuola {

/**
 * The lines of a sweep's log block, kept as bytes in one buffer: a sweep of a
 * hundred thousand folders gathers a line for nearly every one of them.
 */
class LogLines final
{
    Q_DISABLE_COPY_MOVE(LogLines)

public:
    LogLines();
    ~LogLines();

    void clear();
    qsizetype size() const;
    bool isEmpty() const;
    static constexpr quint32 NoFolder = ~0u;

    /** Adds one line made of the given pieces at the end; `folder` is the folder it tells of. */
    void append(std::initializer_list<QStringView> pieces, quint32 folder = NoFolder);
    void insertFirst(QStringView line);
    QString at(qsizetype index) const;
    QStringList toStringList() const;
    /**
     * Sorts by the locale's collation with case ignored; lines that compare
     * equal keep no defined order. `places`, indexed by folder, is an order of
     * the folders close to the sorted one: lines taken in it are mostly in order
     * already, and sorting costs little more than checking that they are.
     */
    void sort(const std::vector<quint32> &places = {});
    /**
     * The lines in order as code page 932 bytes, each followed by CR LF, as
     * pieces of one block; they point into this list and into `encoded`.
     */
    QList<QByteArrayView> block(QByteArray &encoded) const;

private:
    struct Line
    {
        quint32 start;
        quint32 size : 31; // bytes of UTF-8 before the CR LF that follows each line
        quint32 ascii : 1;
        quint32 folder;
    };
    QByteArrayView bytes(const Line &line) const;

    QByteArray m_bytes;
    std::vector<Line> m_lines; // in the list's order
};

} // namespace Vacuola
