#include "ui/ExclusionDialog.h"

#include "registers/ExclusionRegister.h"
#include "ui/Dialogs.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace Vacuola {

namespace {

QPushButton *button(QWidget *parent, const QString &name, const QString &caption)
{
    auto *made = new QPushButton(caption, parent);
    made->setObjectName(name);
    made->setAutoDefault(false);
    return made;
}

} // namespace

ExclusionDialog::ExclusionDialog(QWidget *parent, const QStringList &patterns, Dialogs &dialogs)
    : QDialog(parent), m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("ExclusionDialog"));
    setWindowTitle(QStringLiteral("除外フォルダ"));
    auto *layout = new QVBoxLayout(this);
    auto *note = new QLabel(QStringLiteral("空きフォルダとして削除せず、中にも入らないフォルダ\n"
                                           "名前 (* と ? を使えます) か、/ で始まるフォルダのパス"),
                            this);
    layout->addWidget(note);

    auto *row = new QHBoxLayout;
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("ExclusionList"));
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    row->addWidget(m_list, 1);
    auto *side = new QVBoxLayout;
    QPushButton *add = button(this, QStringLiteral("ExclusionAdd"), QStringLiteral("追加(&A)..."));
    QPushButton *remove = button(this, QStringLiteral("ExclusionDelete"), QStringLiteral("削除(&D)"));
    QPushButton *defaults = button(this, QStringLiteral("ExclusionDefaults"), QStringLiteral("既定に戻す"));
    side->addWidget(add);
    side->addWidget(remove);
    side->addWidget(defaults);
    side->addStretch(1);
    row->addLayout(side);
    layout->addLayout(row, 1);

    m_message = new QLabel(this);
    m_message->setObjectName(QStringLiteral("ExclusionMessage"));
    m_message->setTextFormat(Qt::PlainText);
    layout->addWidget(m_message);

    auto *box = new QDialogButtonBox(this);
    QPushButton *ok = box->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("ExclusionOk"));
    ok->setDefault(true);
    box->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole)
        ->setObjectName(QStringLiteral("ExclusionCancel"));
    layout->addWidget(box);

    connect(add, &QPushButton::clicked, this, &ExclusionDialog::addClicked);
    connect(remove, &QPushButton::clicked, this, &ExclusionDialog::deleteClicked);
    connect(defaults, &QPushButton::clicked, this, &ExclusionDialog::defaultsClicked);
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    showPatterns(patterns);
}

ExclusionDialog::~ExclusionDialog() = default;

QStringList ExclusionDialog::patterns() const
{
    return m_patterns;
}

QString ExclusionDialog::message() const
{
    return m_message->text();
}

void ExclusionDialog::addClicked()
{
    QString text;
    if (!m_dialogs.input(this, QStringLiteral("除外フォルダの追加"),
                         QStringLiteral("除外するフォルダの名前か、/ で始まるパスを入力して下さい"), text))
        return;
    const QString refusal = ExclusionRegister::refusal(m_patterns, text);
    m_message->setText(refusal);
    if (!refusal.isEmpty())
        return;
    QStringList patterns = m_patterns;
    patterns.append(ExclusionRegister::normalized(text));
    showPatterns(patterns);
    m_list->setCurrentRow(int(patterns.size()) - 1);
}

void ExclusionDialog::deleteClicked()
{
    QList<int> rows;
    for (const QListWidgetItem *item : m_list->selectedItems())
        rows.append(m_list->row(item));
    // From the end, so that the rows still to go keep their numbers.
    std::sort(rows.begin(), rows.end(), std::greater<>());
    QStringList patterns = m_patterns;
    for (const int row : std::as_const(rows))
        patterns.removeAt(row);
    m_message->clear();
    showPatterns(patterns);
}

void ExclusionDialog::defaultsClicked()
{
    m_message->clear();
    showPatterns(ExclusionRegister::defaultPatterns());
}

void ExclusionDialog::showPatterns(const QStringList &patterns)
{
    m_patterns = patterns;
    m_list->clear();
    m_list->addItems(m_patterns);
}

} // namespace Vacuola
