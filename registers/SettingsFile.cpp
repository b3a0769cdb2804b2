#include "registers/SettingsFile.h"

#include "core/IoError.h"
#include "core/OptionMarks.h"
#include "core/Version.h"
#include "platform/FileSystem.h"
#include "platform/Locale.h"
#include "platform/ProfileFile.h"
#include "registers/ExclusionRegister.h"
#include "registers/ManagementFileRegister.h"
#include "registers/SearchFolderRegister.h"

#include <QFileInfo>

#include <algorithm>
#include <cfenv>
#include <cmath>

namespace Vacuola {

namespace {

QString mainSection()
{
    return QStringLiteral("Vacuola");
}
QString folderSection()
{
    return QStringLiteral("検索フォルダ");
}
QString nameSection()
{
    return QStringLiteral("管理ファイル");
}
QString exclusionSection()
{
    return QStringLiteral("除外フォルダ");
}
QString exclusionCountKey()
{
    return QStringLiteral("除外フォルダ数");
}
QString versionKey()
{
    return QStringLiteral("Version");
}
QString topKey()
{
    return QStringLiteral("上端位置");
}
QString leftKey()
{
    return QStringLiteral("左端位置");
}
QString heightKey()
{
    return QStringLiteral("縦幅");
}
QString widthKey()
{
    return QStringLiteral("横幅");
}
QString logKey()
{
    return QStringLiteral("LOG保存設定");
}
QString readOnlyKey()
{
    return QStringLiteral("読取専用属性の解除");
}
QString nonStopKey()
{
    return QStringLiteral("エラーメッセージ抑止");
}
QString trashKey()
{
    return QStringLiteral("管理ファイルをごみ箱へ移動");
}
QString folderCountKey()
{
    return QStringLiteral("検索フォルダ数");
}
QString nameCountKey()
{
    return QStringLiteral("管理ファイル数");
}
QString numbered(const QString &section, int number)
{
    return section + QString::number(number);
}

QString lastOldLayoutVersion()
{
    return QStringLiteral("Vacuola V1.12");
}

/**
 * A stored count as a loop bound. A damaged count (say 2,147,483,647) must not
 * keep start-up busy for billions of missing keys, so each list reads at most
 * 65,535 numbered keys: far more than anyone registers by hand, and few enough
 * to read, show and save again at once.
 */
int countBound(int stored)
{
    const int ceiling = 65535;
    return std::clamp(stored, 0, ceiling);
}

int roundHalfEven(long double value)
{
    const int previous = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const long double rounded = std::nearbyint(value);
    std::fesetround(previous);
    return int(rounded);
}

} // namespace

SettingsFile::SettingsFile(const QString &path, FileSystem &fileSystem)
    : m_path(path), m_fileSystem(fileSystem)
{}

QString SettingsFile::currentVersion()
{
    return ProgramVersion;
}

QString SettingsFile::path() const
{
    return m_path;
}

SettingsFile::Loaded SettingsFile::load(SearchFolderRegister &folders, ManagementFileRegister &names,
                                        ExclusionRegister &exclusions, OptionMarks &marks,
                                        const SettingsWindow &window) const
{
    ProfileFile file;
    Loaded loaded;
    // An unreadable file reads as all defaults, like a missing one (load leaves
    // it empty); the error is kept so that the file is not taken for an old one.
    loaded.readError = file.load(m_fileSystem, m_path);
    loaded.version = file.readString(mainSection(), versionKey(), QString());

    const int folderCount = countBound(file.readInteger(folderSection(), folderCountKey(), 0));
    for (int i = 1; i <= folderCount; ++i) {
        const QString path = file.readString(folderSection(), numbered(folderSection(), i), QString());
        if (!path.isEmpty() && m_fileSystem.folderExists(path))
            folders.appendStored(path);
    }

    const int nameCount = countBound(file.readInteger(nameSection(), nameCountKey(), 0));
    for (int j = 1; j <= nameCount; ++j)
        names.loadStored(file.readString(nameSection(), numbered(nameSection(), j), QString()));

    // Without a stored count the list is the defaults; a count of 0 is a list the user emptied.
    const int exclusionCount = file.readInteger(exclusionSection(), exclusionCountKey(), -1);
    if (exclusionCount >= 0) {
        QStringList patterns;
        for (int k = 1; k <= countBound(exclusionCount); ++k) {
            const QString pattern = ExclusionRegister::normalized(
                file.readString(exclusionSection(), numbered(exclusionSection(), k), QString()));
            if (!pattern.isEmpty() && !patterns.contains(pattern))
                patterns.append(pattern);
        }
        exclusions.setPatterns(patterns);
    }

    loaded.logOption = file.readInteger(mainSection(), logKey(), 2);
    marks.setMarked(OptionMark::DisableReadOnly, file.readBool(mainSection(), readOnlyKey(), false));
    marks.setMarked(OptionMark::NonStop, file.readBool(mainSection(), nonStopKey(), false));
    marks.setMarked(OptionMark::MoveToTrash, file.readBool(mainSection(), trashKey(), false));

    const Placement current = window.placement();
    loaded.placement.top = file.readInteger(mainSection(), topKey(), current.top);
    loaded.placement.left = file.readInteger(mainSection(), leftKey(), current.left);
    loaded.placement.height = file.readInteger(mainSection(), heightKey(), current.height);
    loaded.placement.width = file.readInteger(mainSection(), widthKey(), current.width);
    return loaded;
}

QSize SettingsFile::minimumSize(double dpi)
{
    const long double widthFactor = 2.23L;
    const long double heightFactor = 1.8L;
    return QSize(roundHalfEven(dpi * widthFactor), roundHalfEven(dpi * heightFactor));
}

Placement SettingsFile::clampedPlacement(const Placement &stored, QSize minimum, QSize screen)
{
    // 64-bit sums: stored values may be anything a file holds.
    qint64 top = stored.top;
    qint64 left = stored.left;
    qint64 height = stored.height;
    qint64 width = stored.width;
    const qint64 screenHeight = screen.height();
    const qint64 screenWidth = screen.width();

    if (screenHeight < height)
        height = minimum.height();
    if (screenWidth < width)
        width = minimum.width();
    // The window never gets smaller than its minimum, so the edges are kept on
    // the screen with the size it will really have.
    height = std::max<qint64>(height, minimum.height());
    width = std::max<qint64>(width, minimum.width());
    if (top < 0)
        top = 0;
    if (left < 0)
        left = 0;
    if (top + height > screenHeight)
        top = screenHeight - height;
    if (left + width > screenWidth)
        left = screenWidth - width;
    // On a screen smaller than the window, keep the title bar reachable.
    top = std::max<qint64>(top, 0);
    left = std::max<qint64>(left, 0);

    Placement placed;
    placed.top = int(top);
    placed.left = int(left);
    placed.height = int(height);
    placed.width = int(width);
    return placed;
}

void SettingsFile::placeWindow(const Loaded &loaded, SettingsWindow &window) const
{
    const QSize minimum = minimumSize(window.logicalDpi());
    window.setMinimumSize(minimum.width(), minimum.height());
    window.setPlacement(clampedPlacement(loaded.placement, minimum, window.screenSize()));
}

void SettingsFile::applyLogOption(const Loaded &loaded, OptionMarks &marks,
                                  const std::function<void(const QDateTime &cutOff)> &purge,
                                  const QDateTime &now) const
{
    switch (loaded.logOption) {
    case 0:
        marks.setMarked(OptionMark::Log0, true);
        break;
    case 1:
        marks.setMarked(OptionMark::Log1, true);
        if (purge)
            purge(now.addDays(-7));
        break;
    case 2:
        marks.setMarked(OptionMark::Log2, true);
        if (purge)
            purge(now.addDays(-14));
        break;
    case 3:
        marks.setMarked(OptionMark::Log3, true);
        break;
    default:
        // An unknown value leaves the mark the menu starts with (Log1) standing and purges nothing.
        break;
    }
}

void SettingsFile::applyOldLayoutRule(const Loaded &loaded) const
{
    if (loaded.readError != 0)
        return;
    const bool oldLayout =
        loaded.version.isEmpty() || Locale::compareCaseSensitive(loaded.version, lastOldLayoutVersion()) <= 0;
    if (oldLayout && m_fileSystem.entryExists(m_path))
        m_fileSystem.deleteFile(m_path);
}

bool SettingsFile::versionNotesDue(const Loaded &loaded) const
{
    return loaded.version != currentVersion();
}

void SettingsFile::save(const SearchFolderRegister &folders, const ManagementFileRegister &names,
                        const ExclusionRegister &exclusions, const OptionMarks &marks,
                        const Placement &placement) const
{
    const auto failed = [this](int error) {
        return IoError(IoError::fromErrno(error).number(), QStringLiteral("%1 に書き込めません").arg(m_path));
    };

    int logOption = 0;
    if (marks.isMarked(OptionMark::Log1))
        logOption = 1;
    if (marks.isMarked(OptionMark::Log2))
        logOption = 2;
    if (marks.isMarked(OptionMark::Log3))
        logOption = 3;

    // Start from the file as it stands, so that keys beyond a shrunk count and
    // lines of other origin stay; a file that exists but cannot be read is not
    // overwritten with a partial copy.
    ProfileFile file;
    if (const int error = file.load(m_fileSystem, m_path); error != 0)
        throw failed(error);

    file.writeString(mainSection(), versionKey(), currentVersion());
    file.writeInteger(mainSection(), topKey(), placement.top);
    file.writeInteger(mainSection(), leftKey(), placement.left);
    file.writeInteger(mainSection(), heightKey(), placement.height);
    file.writeInteger(mainSection(), widthKey(), placement.width);

    const QStringList folderPaths = folders.folders();
    file.writeInteger(folderSection(), folderCountKey(), int(folderPaths.size()));
    for (int i = 1; i <= folderPaths.size(); ++i)
        file.writeString(folderSection(), numbered(folderSection(), i), folderPaths.at(i - 1));

    const QStringList fileNames = names.names();
    file.writeInteger(nameSection(), nameCountKey(), int(fileNames.size()));
    for (int j = 1; j <= fileNames.size(); ++j)
        file.writeString(nameSection(), numbered(nameSection(), j), fileNames.at(j - 1));

    // The defaults are not written, so that the file of a user who never changed
    // the list keeps its layout; once written, the list is kept up to date.
    if (!exclusions.isDefault() || file.hasKey(exclusionSection(), exclusionCountKey())) {
        const QStringList patterns = exclusions.patterns();
        file.writeInteger(exclusionSection(), exclusionCountKey(), int(patterns.size()));
        for (int k = 1; k <= patterns.size(); ++k)
            file.writeString(exclusionSection(), numbered(exclusionSection(), k), patterns.at(k - 1));
    }

    file.writeInteger(mainSection(), logKey(), logOption);
    file.writeBool(mainSection(), readOnlyKey(), marks.isMarked(OptionMark::DisableReadOnly));
    file.writeBool(mainSection(), nonStopKey(), marks.isMarked(OptionMark::NonStop));
    // Off, the default, is not written (the file of a user who never turned it
    // on keeps its bytes); once written, the key follows the mark.
    if (marks.isMarked(OptionMark::MoveToTrash) || file.hasKey(mainSection(), trashKey()))
        file.writeBool(mainSection(), trashKey(), marks.isMarked(OptionMark::MoveToTrash));

    // The folder of an installed program's settings is made on first need.
    const qsizetype slash = m_path.lastIndexOf(u'/');
    if (slash > 0) {
        if (const int error = m_fileSystem.makeFolders(m_path.left(slash)); error != 0)
            throw failed(error);
    }
    // One atomic replacement: a failure leaves the previous file whole.
    if (const int error = file.save(m_fileSystem, m_path); error != 0)
        throw failed(error);
}

} // namespace Vacuola
