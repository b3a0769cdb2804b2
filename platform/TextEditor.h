#pragma once

#include <QString>

namespace Vacuola {

/** The desktop's plain-text editor, used to show the day's log. */
class TextEditor
{
public:
    virtual ~TextEditor() = default;
    /** The editor program to run (the one the desktop associates with text/plain, else one on PATH); empty
     * when none. */
    virtual QString find() = 0;
    /** Starts the editor detached with the file's path as its one parameter. */
    virtual void open(const QString &editor, const QString &file) = 0;
};

TextEditor &systemTextEditor();

} // namespace Vacuola
