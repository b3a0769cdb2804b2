#include "app/CommandLine.h"

namespace Vacuola {

CommandLine CommandLine::parse(const QStringList &arguments)
{
    CommandLine command;
    bool sweep = false;
    bool help = false;
    bool version = false;
    bool optionSeen = false;
    bool optionsEnded = false;
    QStringList folders;
    for (const QString &argument : arguments) {
        if (optionsEnded || !argument.startsWith(QLatin1Char('-')) || argument == QLatin1String("-")) {
            folders << argument;
            continue;
        }
        if (argument == QLatin1String("--")) {
            optionsEnded = true;
        } else if (argument == QLatin1String("--sweep")) {
            sweep = true;
        } else if (argument == QLatin1String("--dry-run") || argument == QLatin1String("-n")) {
            command.dryRun = true;
        } else if (argument == QLatin1String("--yes") || argument == QLatin1String("-y")) {
            command.yes = true;
        } else if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            help = true;
        } else if (argument == QLatin1String("--version") || argument == QLatin1String("-V")) {
            version = true;
        } else if (argument.startsWith(QLatin1String("--"))) {
            if (command.error.isEmpty())
                command.error = QStringLiteral("不明なオプションです: ") + argument;
        } else {
            // A single dash before anything else is the toolkit's (-platform, -style, ...).
            folders << argument;
            continue;
        }
        optionSeen = true;
    }

    if (!optionSeen) {
        // The window, exactly as without options.
        command.mode = Mode::Window;
        return command;
    }
    if (help) {
        command.mode = Mode::Help;
    } else if (version) {
        command.mode = Mode::Version;
    } else if (!command.error.isEmpty()) {
        command.mode = Mode::UsageError;
    } else if (!sweep && !command.dryRun) {
        command.mode = Mode::UsageError;
        command.error = QStringLiteral("--yes は --sweep と共に指定して下さい");
    } else if (folders.size() != 1 || folders.constFirst().isEmpty()) {
        command.mode = Mode::UsageError;
        command.error = QStringLiteral("フォルダを1つ指定して下さい");
    } else {
        command.mode = Mode::Sweep;
        command.folder = folders.constFirst();
    }
    return command;
}

QString CommandLine::usage()
{
    return QStringLiteral("使い方: vacuola [FOLDER]\n"
                          "        vacuola --sweep [--dry-run] [--yes] FOLDER\n"
                          "        vacuola --help | --version\n"
                          "\n"
                          "オプションなしではウィンドウを開き、FOLDER を検索フォルダに登録します。\n"
                          "\n"
                          "  --sweep        ウィンドウを開かずに FOLDER 配下の空きフォルダを削除します\n"
                          "                 (設定ファイルの管理ファイルとオプション、ログを使います)\n"
                          "  -n, --dry-run  何も変更せずに、削除されるフォルダを表示します\n"
                          "  -y, --yes      読取専用属性の付いたフォルダも属性を解除して削除します\n"
                          "  -h, --help     この説明を表示します\n"
                          "  -V, --version  バージョンを表示します\n"
                          "\n"
                          "終了状態: 0 エラーなし、1 削除できなかったフォルダがある、2 指定の誤り、\n"
                          "          129/130/143 SIGHUP/SIGINT/SIGTERM で中止した");
}

} // namespace Vacuola
