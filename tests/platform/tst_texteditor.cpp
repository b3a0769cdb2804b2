#include "platform/TextEditor.h"
#include "tests/support/TestDir.h"

#include <QFile>
#include <QTest>

namespace Vacuola::Test {

// The desktop is faked: a PATH holding only our programs, an xdg-mime that
// names a desktop file id, and XDG data folders holding that file.
class TestTextEditor final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void findsTheEditor_data();
    void findsTheEditor();

private:
    void program(const QString &name, const QByteArray &script = "#!/bin/sh\nexit 0\n");

    std::unique_ptr<TestDir> m_dir;
    QByteArray m_path;
    QByteArray m_dataDirs;
    QByteArray m_dataHome;
};

void TestTextEditor::init()
{
    m_path = qgetenv("PATH");
    m_dataDirs = qgetenv("XDG_DATA_DIRS");
    m_dataHome = qgetenv("XDG_DATA_HOME");
    m_dir = std::make_unique<TestDir>();
    qputenv("PATH", QFile::encodeName(m_dir->createDir(QStringLiteral("bin"))));
    qputenv("XDG_DATA_DIRS", QFile::encodeName(m_dir->createDir(QStringLiteral("share"))));
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_dir->createDir(QStringLiteral("home"))));
}

void TestTextEditor::cleanup()
{
    qputenv("PATH", m_path);
    qputenv("XDG_DATA_DIRS", m_dataDirs);
    qputenv("XDG_DATA_HOME", m_dataHome);
    m_dir.reset();
}

void TestTextEditor::program(const QString &name, const QByteArray &script)
{
    const QString path = m_dir->createFile(QStringLiteral("bin/") + name, script);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void TestTextEditor::findsTheEditor_data()
{
    QTest::addColumn<QString>("handlerId");   // what xdg-mime answers; empty: no xdg-mime
    QTest::addColumn<QString>("desktopPath"); // below share/applications; empty: none
    QTest::addColumn<QString>("exec");
    QTest::addColumn<QStringList>("onPath");
    QTest::addColumn<QString>("expected"); // below bin/; empty: none

    const QStringList none;
    QTest::newRow("desktop handler") << QStringLiteral("notes.desktop") << QStringLiteral("notes.desktop")
                                     << QStringLiteral("notes %U")
                                     << QStringList{QStringLiteral("notes"), QStringLiteral("gedit")}
                                     << QStringLiteral("notes");
    QTest::newRow("quoted program") << QStringLiteral("notes.desktop") << QStringLiteral("notes.desktop")
                                    << QStringLiteral("\"notes\" %f") << QStringList{QStringLiteral("notes")}
                                    << QStringLiteral("notes");
    QTest::newRow("dashed id in a subfolder")
        << QStringLiteral("kde-notes.desktop") << QStringLiteral("kde/notes.desktop")
        << QStringLiteral("notes") << QStringList{QStringLiteral("notes")} << QStringLiteral("notes");
    QTest::newRow("launcher with arguments falls back")
        << QStringLiteral("notes.desktop") << QStringLiteral("notes.desktop")
        << QStringLiteral("notes run org.x %U")
        << QStringList{QStringLiteral("notes"), QStringLiteral("kate")} << QStringLiteral("kate");
    QTest::newRow("handler program missing")
        << QStringLiteral("notes.desktop") << QStringLiteral("notes.desktop") << QStringLiteral("notes %U")
        << QStringList{QStringLiteral("mousepad")} << QStringLiteral("mousepad");
    QTest::newRow("no desktop file") << QStringLiteral("gone.desktop") << QString() << QString()
                                     << QStringList{QStringLiteral("pluma")} << QStringLiteral("pluma");
    QTest::newRow("editor list order")
        << QString() << QString() << QString()
        << QStringList{QStringLiteral("leafpad"), QStringLiteral("mousepad")} << QStringLiteral("mousepad");
    QTest::newRow("a generic opener is not an editor")
        << QString() << QString() << QString() << QStringList{QStringLiteral("xdg-open")} << QString();
    QTest::newRow("nothing at all") << QString() << QString() << QString() << none << QString();
}

void TestTextEditor::findsTheEditor()
{
    QFETCH(QString, handlerId);
    QFETCH(QString, desktopPath);
    QFETCH(QString, exec);
    QFETCH(QStringList, onPath);
    QFETCH(QString, expected);

    if (!handlerId.isEmpty())
        program(QStringLiteral("xdg-mime"), "#!/bin/sh\necho '" + handlerId.toUtf8() + "'\n");
    if (!desktopPath.isEmpty())
        m_dir->createFile(QStringLiteral("share/applications/") + desktopPath,
                          "[Desktop Entry]\nType=Application\nName=Notes\nExec=" + exec.toUtf8() +
                              "\n\n[Desktop Action New]\nExec=other\n");
    for (const QString &name : onPath)
        program(name);

    const QString found = systemTextEditor().find();
    QCOMPARE(found, expected.isEmpty() ? QString() : m_dir->absolute(QStringLiteral("bin/") + expected));
}

} // namespace Vacuola::Test

QTEST_GUILESS_MAIN(Vacuola::Test::TestTextEditor)
#include "tst_texteditor.moc"
