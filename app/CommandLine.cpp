#include "app/CommandLine.h"

#include "registers/ExclusionRegister.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

#include <algorithm>

namespace Vacuola {

namespace {

const QString SweepOption = QStringLiteral("sweep");
const QString SweepWithValue = QStringLiteral("--sweep=");
const QString ExcludeOption = QStringLiteral("exclude");
const QString UndoOption = QStringLiteral("undo");
const QString JobsOption = QStringLiteral("jobs");
constexpr int MaxJobs = 64;

// An option as the user wrote it: "-x" for a letter, "--name" for a word.
QString written(const QString &name)
{
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

// The number of --jobs: a whole number from 1 to MaxJobs.
bool readJobs(const QString &text, int &jobs)
{
    bool number = false;
    const int value = text.toInt(&number);
    if (!number || value < 1 || value > MaxJobs)
        return false;
    jobs = value;
    return true;
}

} // namespace

CommandLine CommandLine::parse(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    const QCommandLineOption sweep(SweepOption);
    const QCommandLineOption dryRun(QStringList{QStringLiteral("n"), QStringLiteral("dry-run")});
    const QCommandLineOption yes(QStringList{QStringLiteral("y"), QStringLiteral("yes")});
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringList{QStringLiteral("V"), QStringLiteral("version")});
    const QCommandLineOption exclude(ExcludeOption, QString(), QStringLiteral("PATTERN"));
    const QCommandLineOption trash(QStringLiteral("trash"));
    const QCommandLineOption noTrash(QStringLiteral("no-trash"));
    const QCommandLineOption undo(UndoOption);
    const QCommandLineOption jobs(JobsOption, QString(), QStringLiteral("N"));
    parser.addOptions({sweep, dryRun, yes, help, version, exclude, trash, noTrash, undo, jobs});

    // "--sweep=FOLDER" is "--sweep FOLDER" with the folder first among the
    // folders; the parser knows values only for options that always take one.
    QStringList given{QStringLiteral("vacuola")};
    QStringList folders;
    QString valued; // the first "--option=value" other than the sweep's
    bool optionsEnded = false;
    for (const QString &argument : arguments) {
        optionsEnded = optionsEnded || argument == QLatin1String("--");
        if (!optionsEnded && argument.startsWith(SweepWithValue)) {
            given << written(SweepOption);
            folders << argument.mid(SweepWithValue.size());
        } else {
            if (!optionsEnded && valued.isEmpty() && argument.startsWith(QLatin1String("--")) &&
                argument.contains(QLatin1Char('=')) && !argument.startsWith(written(ExcludeOption) + u'=') &&
                !argument.startsWith(written(JobsOption) + u'='))
                valued = argument.left(argument.indexOf(QLatin1Char('=')));
            given << argument;
        }
    }
    const bool parsed = parser.parse(given);
    folders << parser.positionalArguments();

    CommandLine command;
    command.dryRun = parser.isSet(dryRun);
    command.yes = parser.isSet(yes);
    command.excludes = parser.values(exclude);
    // The names in the order given: the last of --trash and --no-trash counts.
    QString sweepOnly; // the first option given that needs --sweep
    for (const QString &name : parser.optionNames()) {
        const bool trashing = trash.names().contains(name) || noTrash.names().contains(name);
        if (trashing)
            command.trash = trash.names().contains(name);
        if (sweepOnly.isEmpty() &&
            (trashing || yes.names().contains(name) || name == ExcludeOption || name == JobsOption))
            sweepOnly = yes.names().contains(name) ? QStringLiteral("--yes") : written(name);
    }
    if (parser.isSet(help)) {
        command.mode = Mode::Help;
    } else if (parser.isSet(version)) {
        command.mode = Mode::Version;
    } else if (!parsed) {
        command.mode = Mode::UsageError;
        const QStringList unknown = parser.unknownOptionNames();
        // The parser refuses only unknown options, values given to options that take none, and a
        // missing value of --exclude.
        if (!unknown.isEmpty())
            command.error = QStringLiteral("不明なオプションです: ") + written(unknown.first());
        else if (!valued.isEmpty())
            command.error = QStringLiteral("値を取らないオプションです: ") + valued;
        else
            // An option that takes a value takes the next argument: only the last one can lack it.
            command.error = QStringLiteral("値が必要なオプションです: ") +
                            (given.last() == written(JobsOption) ? given.last() : written(ExcludeOption));
    } else if (command.excludes.contains(QString())) {
        command.mode = Mode::UsageError;
        command.error = QStringLiteral("値が必要なオプションです: ") + written(ExcludeOption);
    } else if (const auto odd = std::find_if_not(command.excludes.cbegin(), command.excludes.cend(),
                                                 ExclusionRegister::isMatchable);
               odd != command.excludes.cend()) {
        command.mode = Mode::UsageError;
        command.error = QStringLiteral("除外フォルダには名前か / で始まるパスを指定して下さい: ") + *odd;
    } else if (parser.isSet(jobs) && !readJobs(parser.value(jobs), command.jobs)) {
        command.mode = Mode::UsageError;
        command.error = QStringLiteral("--jobs には 1 から ") + QString::number(MaxJobs) +
                        QStringLiteral(" までの数を指定して下さい");
    } else if (parser.optionNames().isEmpty()) {
        // The window takes the first argument and leaves the rest, as without options.
        command.mode = Mode::Window;
        command.folder = folders.value(0);
    } else if (parser.isSet(undo)) {
        command.mode = Mode::UsageError;
        if (parser.isSet(sweep))
            command.error = QStringLiteral("--undo と --sweep は同時に指定できません");
        else if (command.yes || !command.excludes.isEmpty() || parser.isSet(jobs))
            command.error = (command.yes ? QStringLiteral("--yes")
                                         : written(command.excludes.isEmpty() ? JobsOption : ExcludeOption)) +
                            QStringLiteral(" は --sweep と共に指定して下さい");
        else if (folders.size() > 1 || (folders.size() == 1 && folders.constFirst().isEmpty()))
            command.error = QStringLiteral("--undo にはフォルダを1つまで指定して下さい");
        else {
            command.mode = Mode::Undo;
            command.folder = folders.value(0);
        }
    } else if (!parser.isSet(sweep) && !command.dryRun) {
        command.mode = Mode::UsageError;
        command.error = sweepOnly + QStringLiteral(" は --sweep と共に指定して下さい");
    } else if (folders.size() != 1 || folders.constFirst().isEmpty()) {
        command.mode = Mode::UsageError;
        command.error = QStringLiteral("フォルダを1つ指定して下さい");
    } else {
        command.mode = Mode::Sweep;
        command.folder = folders.constFirst();
    }
    return command;
}

CommandLine CommandLine::withoutDisplay(const QString &display)
{
    CommandLine command;
    command.mode = Mode::NoDisplay;
    command.error =
        (display.isEmpty() ? QStringLiteral("DISPLAY も WAYLAND_DISPLAY も設定されていません")
                           : QStringLiteral("ディスプレイ ") + display + QStringLiteral(" を開けません")) +
        QStringLiteral("。ウィンドウにはディスプレイが必要です。"
                       "ディスプレイなしで削除するには --sweep を使って下さい");
    return command;
}

QString CommandLine::usage()
{
    return QStringLiteral(
        "使い方: vacuola [--] [FOLDER]\n"
        "        vacuola --sweep [--dry-run] [--yes] [--trash | --no-trash]\n"
        "                [--exclude=PATTERN]... [--jobs=N] [--] FOLDER\n"
        "        vacuola --undo [--dry-run] [--] [FOLDER]\n"
        "        vacuola --help | --version\n"
        "\n"
        "オプションなしではウィンドウを開き、FOLDER を検索フォルダに登録します。\n"
        "-- の後の引数はオプションではなく FOLDER です。\n"
        "\n"
        "  --sweep        ウィンドウを開かずに FOLDER 配下の空きフォルダを削除します\n"
        "                 (設定ファイルの管理ファイルとオプション、ログを使います)\n"
        "                 --sweep=FOLDER とも書けます\n"
        "  -n, --dry-run  何も変更せずに、削除されるフォルダを表示します\n"
        "  -y, --yes      読取専用属性の付いたフォルダも属性を解除して削除します\n"
        "  --trash        この実行に限り、管理ファイルを削除せずにごみ箱へ移動します\n"
        "  --no-trash     この実行に限り、管理ファイルをごみ箱へ移動せずに削除します\n"
        "                 (どちらもなければ 設定 → 管理ファイルをごみ箱へ移動 に従います。\n"
        "                 ごみ箱を置けないファイルシステムでは削除します)\n"
        "  --exclude=PATTERN, --exclude PATTERN\n"
        "                 この実行に限り、設定ファイルの除外フォルダに PATTERN を加えます\n"
        "                 (繰り返して指定できます)\n"
        "  --jobs=N, --jobs N\n"
        "                 N 個のスレッドで先にフォルダを読みます (1 から 64、1 は読みながら削除する\n"
        "                 スレッドだけ)。既定は環境変数 VACUOLA_JOBS、なければローカルのファイル\n"
        "                 システムでは 1、ネットワークや FUSE のファイルシステムではコア数の 4 倍\n"
        "                 (8 から 16)。判断と削除はいつも1つのスレッドが順に行います\n"
        "  --undo         最後の削除 (FOLDER を指定すると FOLDER の最後の削除) を元に戻します\n"
        "                 削除したフォルダを属性と日時とともに作り直し、ごみ箱へ移した\n"
        "                 管理ファイルを戻します。既にある名前には手を付けません\n"
        "                 -n と共に指定すると、元に戻すものを表示するだけです\n"
        "  -h, --help     この説明を表示します\n"
        "  -V, --version  バージョンを表示します\n"
        "\n"
        "短いオプションはまとめて書けます (-ny)。\n"
        "\n"
        "除外フォルダは中身があるものとして扱い、中に入らず削除もしません。\n"
        "/ を含まない PATTERN はフォルダ名に合わせ (* は任意の文字列、? は任意の1文字)、\n"
        "/ で始まる PATTERN はそのパスのフォルダです。既定の一覧は\n"
        "  .git .hg .svn .bzr _darcs CVS lost+found .Trash .Trash-*\n"
        "で、ウィンドウの 設定 → 除外フォルダ で変更できます。ごみ箱 ($XDG_DATA_HOME/Trash)、\n"
        "XDG のユーザーフォルダ (~/.config/user-dirs.dirs、ホーム自身を除く)、\n"
        "/etc/fstab のマウントポイントも常に除外されます。\n"
        "\n"
        "終了状態: 0 エラーなし、1 削除できなかったフォルダがある (--undo では\n"
        "          元に戻せなかったものがある)、2 指定の誤り (--undo では元に戻す削除がない)、\n"
        "          129/130/143 SIGHUP/SIGINT/SIGTERM で中止した");
}

} // namespace Vacuola
